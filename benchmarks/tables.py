"""The benchmarks' tables: a title, a header, aligned rows (the first column to the left)."""


def table(title, header, rows):
    widths = [max(len(str(cell)) for cell in column) for column in zip(header, *rows)]
    print(f"\n{title}")
    line = "  ".join(f"{h:<{w}}" if i == 0 else f"{h:>{w}}" for i, (h, w) in enumerate(zip(header, widths)))
    print(line)
    print("-" * len(line))
    for row in rows:
        print("  ".join(f"{c:<{w}}" if i == 0 else f"{c:>{w}}" for i, (c, w) in enumerate(zip(row, widths))))
