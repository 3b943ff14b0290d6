"""Instructions per call, counted by callgrind: a measure of the module's own work that
does not move with the machine's load.

Each case runs over the null host (its answers are prebuilt objects) in a child under
``valgrind --tool=callgrind``, twice: with a few calls and with many more. The difference
of the two totals divided by the difference in calls is the cost of one call, start-up
and import excluded.

    python benchmarks/instructions.py [--calls N] [case ...]
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# name: (set-up run once, the call)
CASES = {
    "get_alert_level": ("obj = classes['CapReport'](None)", "obj.get_alert_level()"),
    "increment_transaction_counts": (
        "obj = classes['CapReport'](None)",
        "obj.increment_transaction_counts(17, 'nmi', 2, True)",
    ),
    "next_app_step_id": ("obj = classes['GatewaySteps'](None)", "obj.next_app_step_id()"),
}

CHILD = """
import sys
sys.path[:0] = [{host!r}]
from null_host import PANDAS, NullBase, subclasses
import gateways
gateways.pd, gateways.ClientStructure, gateways.Db = PANDAS, NullBase, NullBase
classes = subclasses(gateways)
{setup}
for _ in range({calls}):
    {call}
"""


def total_instructions(setup, call, calls):
    script = CHILD.format(host=str(ROOT / "host"), setup=setup, call=call, calls=calls)
    with tempfile.TemporaryDirectory() as folder:
        out = Path(folder) / "callgrind.out"
        subprocess.run(
            ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", sys.executable, "-c", script],
            check=True,
            capture_output=True,
            env=dict(os.environ, PYTHONHASHSEED="0"),
        )
        summary = re.search(r"^summary:\s+(\d+)", out.read_text(), re.MULTILINE)
        assert summary, "callgrind wrote no summary"
        return int(summary.group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", type=int, default=20000, help="calls in the longer run")
    parser.add_argument("cases", nargs="*", default=list(CASES))
    args = parser.parse_args()
    few = args.calls // 10
    print(f"{'call':<32} {'instructions per call':>22}")
    for name in args.cases:
        setup, call = CASES[name]
        print(f"counting {name} ...", file=sys.stderr, flush=True)
        short, long = (total_instructions(setup, call, n) for n in (few, args.calls))
        print(f"{name:<32} {(long - short) / (args.calls - few):>22.0f}", flush=True)


if __name__ == "__main__":
    main()
