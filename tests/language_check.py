#!/usr/bin/env python3
"""Checks that the language file translates every text of the program.

Every text the program hands to the translation as a literal
(TranslateText(util::Cp850("...")), and every label, help text and list
header of the form file, must be the Catalan field of one record of
install/LOCALE/QDEBCONV.LNG, and every record must have its four fields.
Prints one line per text missing and exits 1 when there is any.
"""
import os
import re
import sys

LITERAL = re.compile(r'TranslateText\(\s*util::Cp850\(\s*"((?:[^"\\]|\\.)*)"\s*\)')
QUOTED = re.compile(r'"((?:[^"]|"")*)"')
KEY_LIST = re.compile(r"^[0-9a-fA-F,]*$")


def language_keys(path):
    keys = set()
    problems = []
    text = open(path, "rb").read().decode("cp850")
    for number, line in enumerate(text.split("\r\n"), 1):
        if not line.strip():
            continue
        fields = [f.replace('""', '"') for f in QUOTED.findall(line)]
        if len(fields) != 4:
            problems.append(f"{path}:{number}: {len(fields)} fields instead of 4")
            continue
        keys.add(fields[0])
    return keys, problems


def program_texts(root):
    for folder in ("app", "remit", "ui", "env", "files", "db"):
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if not name.endswith(".cc") or name.endswith("_test.cc"):
                    continue
                path = os.path.join(dirpath, name)
                source = open(path, encoding="utf-8").read()
                for m in LITERAL.finditer(source):
                    yield os.path.relpath(path, root), m.group(1).replace('\\"', '"').replace("\\\\", "\\")


def form_texts(path):
    text = open(path, "rb").read().decode("cp850")
    for line in text.split("\r\n"):
        if line.lstrip().startswith("'"):
            continue
        for field in QUOTED.findall(line):
            field = field.replace('""', '"')
            if field and not KEY_LIST.match(field):
                yield field


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    keys, problems = language_keys(os.path.join(root, "install", "LOCALE", "QDEBCONV.LNG"))
    checked = 0
    for where, text in program_texts(root):
        checked += 1
        if text not in keys:
            problems.append(f"{where}: {text!r} has no translation")
    for text in form_texts(os.path.join(root, "install", "FORMS", "QDEBCONV.JPN")):
        checked += 1
        if text not in keys:
            problems.append(f"install/FORMS/QDEBCONV.JPN: {text!r} has no translation")
    for problem in problems:
        print(problem)
    print(f"{checked} texts checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
