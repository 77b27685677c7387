#!/usr/bin/env python3
"""Checks that scripts/demo builds every tool the README's tools table names.

A tool row names its program as `build/tools/NAME/NAME`; the demo's build
line (`cmake --build ... --target ...`) must list NAME among its targets, so
that whoever follows the README after running the demo finds the tool
there. Prints one line per tool missing and exits 1 when there is any.
"""
import os
import re
import sys


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    readme = open(os.path.join(root, "README.md"), encoding="utf-8").read()
    named = set(re.findall(r"`build/tools/([\w-]+)/\1`", readme))
    demo = open(os.path.join(root, "scripts", "demo"), encoding="utf-8").read()
    built = set()
    for line in demo.splitlines():
        m = re.search(r"cmake --build .*--target ((?:[\w-]+ ?)+)", line)
        if m:
            built.update(m.group(1).split())
    missing = sorted(named - built)
    for name in missing:
        print(f"README.md names build/tools/{name}/{name}, which scripts/demo does not build")
    if not named:
        print("README.md names no tool")
        return 1
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
