#!/usr/bin/env python3
"""The layers check's rule on mutable state, on planted lines: a new
variable is refused even when it shares its name with an allowed one in
another file; the allowed ones pass only in their own file."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from layers_check import state_breaches  # noqa: E402

CASES = [
    # (file, code, breaches expected)
    ("util/basics.cc", "int counter;\n", 1),
    ("files/locks.cc", "namespace {\nint state;\n}\n", 1),
    ("util/text.cc", "void F() {\n  static std::string table;\n}\n", 1),
    ("forms/print_spool.cc", "std::mt19937 generator;\n", 1),
    ("platform/fs/paths.cc", "std::string last_error;\n", 1),
    ("db/table.cc", "Slots& T() {\n  static Slots table;\n  return table;\n}\n", 0),
    ("platform/fs/errors.cc", "FileError last_error;\n", 0),
    ("env/session.cc", "Session session;\n", 0),
    ("util/basics.cc", "constexpr int kLimit = 3;\nconst std::string kName = \"x\";\n", 0),
]


def main():
    failed = 0
    for path, code, expected in CASES:
        found = state_breaches(path, code)
        if len(found) != expected:
            failed += 1
            print(f"{path}: {code!r}: {len(found)} breaches, expected {expected}")
    print(f"{len(CASES)} cases, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
