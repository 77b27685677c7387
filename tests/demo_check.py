#!/usr/bin/env python3
"""Checks the demo: what it builds and the data it writes.

- scripts/demo builds every tool the README's tools table names: a tool row
  names its program as `build/tools/NAME/NAME`, and the demo's build line
  (`cmake --build ... --target ...`) must list NAME, so that whoever follows
  the README after running the demo finds the tool there.
- The installation data the demo maker writes fits its fields (35
  characters each), so that the demo shows no name cut short.
Prints one line per fault and exits 1 when there is any.
"""
import os
import re
import subprocess
import sys
import tempfile


def installation_faults(root):
    with tempfile.TemporaryDirectory() as scratch:
        made = subprocess.run([sys.executable, os.path.join(root, "tools", "demo", "make_demo.py"),
                               os.path.join(scratch, "root"), os.path.join(scratch, "work"),
                               "--receipts", "10"], capture_output=True, text=True)
        if made.returncode != 0:
            return ["make_demo.py failed: " + made.stderr.strip().splitlines()[-1]]
        text = open(os.path.join(scratch, "root", "Vela.ini"), "rb").read().decode("cp850")
    faults = []
    section = None
    for line in text.split("\r\n"):
        if line.startswith("["):
            section = line.strip("[]")
        elif section == "Installacio" and line.startswith("Dada") and "=" in line:
            key, value = line.split("=", 1)
            if len(value) > 35:
                faults.append(f"the demo's {key} is {len(value)} characters, beyond 35: {value}")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    faults = installation_faults(root)
    readme = open(os.path.join(root, "README.md"), encoding="utf-8").read()
    named = set(re.findall(r"`build/tools/([\w-]+)/\1`", readme))
    demo = open(os.path.join(root, "scripts", "demo"), encoding="utf-8").read()
    built = set()
    for line in demo.splitlines():
        m = re.search(r"cmake --build .*--target ((?:[\w-]+ ?)+)", line)
        if m:
            built.update(m.group(1).split())
    for name in sorted(named - built):
        faults.append(f"README.md names build/tools/{name}/{name}, which scripts/demo does not build")
    if not named:
        faults.append("README.md names no tool")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
