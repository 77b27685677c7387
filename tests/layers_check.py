#!/usr/bin/env python3
"""Checks that the source tree keeps its layers in one direction.

The order, lowest first (ARCHITECTURE.md says why):

  util/ -> bank/ -> platform/process -> platform/{fs,console,recman,xml,pdf} -> env/
  -> ui/ -> db/, files/ -> forms/ -> remit/ -> app/

A file may include headers of its own folder and of lower layers only;
folders of the same layer do not include each other. tools/, bench/ and
tests/ stand above everything; a test of any folder may include tests/.
The CMake libraries must declare their dependencies in the same order.

Outside platform/, production code (tests and tools' test helpers aside)
must not include operating-system, ncurses or SQLite headers, nor use
std::filesystem, file streams or C stdio files; util/ and bank/ are pure
(no clock either). Only app/ and the tools' main programs end the process.

Mutable state lives in the named structs of ARCHITECTURE.md and nowhere
else: a namespace-scope variable or a static local that is not const,
constexpr or a struct instance of STATE_STRUCTS is a breach, unless
ALLOWED_STATE names its file and name together, with its reason.

Prints one line per breach and exits 1 when there is any.
"""
import os
import re
import sys

RANKS = {
    "util": 0,
    "bank": 1,
    "platform/process": 2,
    "platform/fs": 3,
    "platform/console": 3,
    "platform/recman": 3,
    "platform/xml": 3,
    "platform/pdf": 3,
    "env": 4,
    "ui": 5,
    "db": 6,
    "files": 6,
    "forms": 7,
    "remit": 8,
    "app": 9,
    "tools": 10,
    "bench": 10,
    "tests": 10,
}
PURE = {"util", "bank"}
MAY_END_PROCESS = {"app", "tools"}

OS_HEADERS = re.compile(
    r"^(unistd|fcntl|dirent|poll|termios|pwd|grp|signal|dlfcn|pthread|spawn|"
    r"sys/.*|linux/.*|curses|ncurses.*|ncursesw/.*|term|sqlite3|libpq-fe)\.h$"
    r"|^(filesystem|fstream|csignal|thread)$")
CLOCK_HEADERS = re.compile(r"^(chrono|ctime|time\.h|random)$")
OS_USES = re.compile(
    r"std::filesystem|std::[io]?fstream|\bfopen\s*\(|\bgetenv\s*\(|"
    r"\bsystem\s*\(|\bpopen\s*\(")
# Programs talk to their standard streams; libraries never do.
STANDARD_STREAMS = re.compile(r"std::cerr|std::cout|\bf?printf\s*\(|\bputs\s*\(")
ENDS_PROCESS = re.compile(r"(?<![\w:])(std::)?(exit|_exit|_Exit|quick_exit|abort)\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE = re.compile(r"\.(cc|h)$")


# The types whose one instance holds a module's process-wide state (each
# commented where it is declared), and the layer hooks.
STATE_STRUCTS = {
    "NumberFormat", "TextState", "WindowStack", "Keyboard", "KeyReader", "Session",
    "ProgramChoices", "RecordBuffers", "FormState", "FormTables", "PrintPage", "Spool",
    "LockIdentity", "FileStamp", "Listings", "LayerHooks", "ConsoleReport",
    "RunFacts", "ConsoleHooks", "SignalSafe", "CallGuard", "OpenFileTable", "DirCache",
    "FilesRun", "ServerSession", "ServerTable", "LockConnection", "ServerLiveness",
}
# Other process-wide variables, each with why it outlives every call, named by
# file and variable together: a name alone ("state", "table") would let a new
# variable of that name anywhere slip through.
ALLOWED_STATE = {
    ("platform/process/clock.cc", "clock_offset_seconds"):
        "the clock's offset, one for the whole process",
    ("platform/recman/store.cc", "BusyTimeoutMs"):
        "the record manager's wait, a setting of the process",
    ("platform/recman/store.h", "BusyTimeoutMs"): "the declaration of the one above",
    ("platform/recman/call.cc", "state"): "the record manager's handles, one per process",
    ("platform/recman/btrcall.cc", "files"): "the SQLite back end, an interface without state",
    ("platform/recman/pg_backend.cc", "files"): "the server back end, an interface without state",
    ("platform/console/state.cc", "state"): "the one console of the process",
    ("platform/console/headless.cc", "starvation"):
        "the headless console's dry spells, for the whole run",
    ("platform/console/terminal.cc", "terminal"): "the terminal back end of the one console",
    ("platform/fs/errors.cc", "last_error"): "the last failure of the file system, read after the call",
    ("files/lock_liveness.cc", "state"): "the one holders file of the process",
    ("db/operations.cc", "generator"): "the record layer's wait jitter, seeded once",
    ("db/operations.cc", "LockModeStack"): "the lock modes pushed and popped across calls",
    ("db/records.h", "LockModeStack"): "the declaration of the one above",
    ("db/table.cc", "table"): "the record layer's table of open files",
}
# A namespace-scope variable: "Type name;" / "Type name = ...;" / "Type name{...};"
# at column 0 (namespaces are not indented), not const, constexpr, a typedef,
# a declaration of a function or a type.
NAMESPACE_VARIABLE = re.compile(
    r"^(?!(?:const|constexpr|inline\s+constexpr|static\s+const|static\s+constexpr|"
    r"extern\s+const|using|typedef|namespace|template|struct|class|enum|union|return|"
    r"friend|case|default|public|private|protected|#)\b)"
    r"(?:static\s+|extern\s+|thread_local\s+|volatile\s+)*"
    r"([A-Za-z_][\w:<>,\s*&]*?[\w>*&])\s+\**([A-Za-z_]\w*)(\[[^\]]*\])*"
    r"\s*(=[^;]*|\{[^;]*\})?;")
STATIC_LOCAL = re.compile(
    r"^\s+static\s+(?!const\b|constexpr\b|inline\b|thread_local\s+const\b)"
    r"([A-Za-z_][\w:<>,\s*&]*?[\w>*&])\s+\**([A-Za-z_]\w*)(\[[^\]]*\])*\s*(=[^;(]*|\{[^;]*\})?;")


def state_breaches(relpath, code):
    """Mutable variables outside the named state structs."""
    found = []
    for number, line in enumerate(code.splitlines(), 1):
        for pattern in (NAMESPACE_VARIABLE, STATIC_LOCAL):
            m = pattern.match(line)
            if not m:
                continue
            kind, name = m.group(1), m.group(2)
            words = set(re.findall(r"\w+", kind))
            if words & STATE_STRUCTS or (relpath, name) in ALLOWED_STATE:
                continue
            found.append(f"{relpath}:{number}: {name} is mutable state outside "
                         f"the named state structs")
    return found


def folder_of(relpath):
    """The layer a path belongs to: the longest key of RANKS it starts with."""
    best = None
    for key in RANKS:
        if relpath == key or relpath.startswith(key + "/"):
            if best is None or len(key) > len(best):
                best = key
    return best


def is_test_code(relpath):
    name = os.path.basename(relpath)
    return (name.endswith("_test.cc") or name.endswith("_test.h")
            or name.endswith("test_support.h")
            or name.startswith("test_") or "/test_helpers/" in relpath
            or "/helper/" in relpath or relpath.startswith("tests/"))


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r'"(\\.|[^"\\\n])*"', '""', text)


def check_source(root, relpath, breaches):
    layer = folder_of(relpath)
    if layer is None:
        return
    rank = RANKS[layer]
    test = is_test_code(relpath)
    with open(os.path.join(root, relpath), encoding="utf-8", errors="replace") as f:
        text = f.read()
    for number, line in enumerate(text.splitlines(), 1):
        m = INCLUDE.match(line)
        if not m:
            continue
        quote, header = m.groups()
        where = f"{relpath}:{number}"
        if quote == '"':
            target = folder_of(os.path.dirname(header))
            if target is None or target == layer:
                continue
            if target == "tests" and test:
                continue
            if RANKS[target] >= rank:
                breaches.append(f"{where}: {layer}/ includes {header} of the layer "
                                f"{target}/, which is not below it")
        elif not test and not layer.startswith("platform"):
            if OS_HEADERS.match(header) and layer not in ("tests", "bench"):
                breaches.append(f"{where}: <{header}> outside platform/")
            elif layer in PURE and CLOCK_HEADERS.match(header):
                breaches.append(f"{where}: <{header}> in the pure layer {layer}/")
    if test or layer in ("tests", "bench"):
        return
    code = strip_comments(text)
    breaches.extend(state_breaches(relpath, code))
    if layer.startswith("platform"):
        return
    for number, line in enumerate(code.splitlines(), 1):
        if OS_USES.search(line):
            breaches.append(f"{relpath}:{number}: host files outside platform/")
        if STANDARD_STREAMS.search(line) and layer not in MAY_END_PROCESS:
            breaches.append(f"{relpath}:{number}: a library writes to the standard streams")
        if ENDS_PROCESS.search(line) and layer not in MAY_END_PROCESS:
            breaches.append(f"{relpath}:{number}: only app/ ends the process")


def check_cmake(root, relpath, breaches):
    layer = folder_of(os.path.dirname(relpath))
    if layer is None or layer in ("tools", "bench", "tests"):
        return
    with open(os.path.join(root, relpath), encoding="utf-8") as f:
        text = f.read()
    for call in re.finditer(r"qdeb_module\(\s*(\w+)(.*?)\)", text, flags=re.S):
        deps = re.search(r"DEPS(.*?)(SYSTEM|TEST_DEPS|$)", call.group(2), flags=re.S)
        for dep in (deps.group(1).split() if deps else []):
            name = dep.removeprefix("qdeb_").replace("platform_", "platform/")
            if name not in RANKS:
                continue
            if RANKS[name] >= RANKS[layer]:
                breaches.append(f"{relpath}: the library of {layer}/ links {dep}, "
                                f"which is not below it")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    breaches = []
    files = 0
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames[:] = [d for d in dirnames
                       if not d.startswith(".") and not d.startswith("build")]
        for name in filenames:
            relpath = os.path.relpath(os.path.join(dirpath, name), root)
            if SOURCE.search(name):
                files += 1
                check_source(root, relpath, breaches)
            elif name == "CMakeLists.txt":
                check_cmake(root, relpath, breaches)
    for breach in breaches:
        print(breach)
    print(f"{files} source files checked, {len(breaches)} breaches of the layer order")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
