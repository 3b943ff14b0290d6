"""Starts a throwaway PostgreSQL with the reference schema and imports gateways."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "host"))

import pgserver  # noqa: E402


def main():
    with pgserver.ThrowawayPostgres() as server:
        import gateways
        print(f"PostgreSQL running at {server.url}, reference schema loaded.")
        print(f"gateways imported from {gateways.__file__}")
    print("Server stopped and removed.")


if __name__ == "__main__":
    main()
