"""Figures the reliability tests collect, written at the end of the run.

``make stress`` prints the file last; an ordinary run writes it too, for the curious.
"""

from collections import Counter
from pathlib import Path

COUNTS = Counter()
LEAKS = []  # (method, calls, traced growth in bytes, RSS growth in bytes)
FILE = Path(__file__).resolve().parent.parent / "build" / "reliability-summary.txt"


def write(stress):
    if not COUNTS and not LEAKS:
        return
    lines = [
        f"Reliability summary ({'stress' if stress else 'short'} run)",
        f"  hostile values tried:          {COUNTS['tried']:>8,}",
        f"    refused before sending:      {COUNTS['refused']:>8,}",
        f"    sent, treated as data:       {COUNTS['as data']:>8,}",
        f"    rows changed beyond intent:  {COUNTS['changed beyond intent']:>8,}",
        f"  faults survived:               {COUNTS['faults survived']:>8,}",
        f"  counter increments under load: {COUNTS['increments']:>8,} (lost: {COUNTS['lost increments']})",
        f"  deadlocks on a hot row, retried:{COUNTS['deadlocks retried']:>8,}",
    ]
    if LEAKS:
        worst_traced = max(LEAKS, key=lambda leak: leak[2])
        worst_rss = max(LEAKS, key=lambda leak: leak[3])
        lines += [
            f"  leak check: {len(LEAKS)} calls x {LEAKS[0][1]:,} on a null host, growth in the lesser half",
            f"    largest traced growth: {worst_traced[2]:,} bytes ({worst_traced[0]})",
            f"    largest RSS growth:    {worst_rss[3]:,} bytes ({worst_rss[0]})",
        ]
    FILE.parent.mkdir(exist_ok=True)
    FILE.write_text("\n".join(lines) + "\n")
