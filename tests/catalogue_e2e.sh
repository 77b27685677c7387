#!/bin/bash
# The lists end to end in a real terminal, on a demo installation: F4 on the
# generation form lists the remittances and puts the one picked in the
# field; on the copy form F4 walks the catalogue: the drives, the
# directories of the drive, and the remittance files of the directory with
# their collection date, total and debit count, newest first; the file
# picked comes back with its whole name.
set -euo pipefail
sock="qdeb-catalogue-$$"
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"

start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
keys Enter
wait_for "DATA DE COBRAMENT"
keys Enter
keys F4
wait_for "REMESES"
wait_for "06  "
keys Down Down
keys Enter
wait_for "DE LA REMESA .........:   3  AMPA ESCOLA LA SALUT"

keys Escape
keys Escape
wait_for "OPERACI"
keys T
keys Enter
wait_for "UNITAT D'ORIGEN"
wait_for "UNITAT DE DESTÍ ......: A: 3.5\" 1.44MB"
keys F4
wait_for "UNITATS"
pane | grep -qF "C:" || fail "no C: among the drives: $(pane)"
keys Escape
keys Enter
wait_for "DIRECTORI ............: \\kit\\CSB\\"
keys F4
wait_for "\\KIT\\REMESES\\"
# The directories of the drive in key order, from the root: as many Downs
# as come before \KIT\REMESES\.
downs=$(python3 - "$work/demo" <<'PY'
import os, sys
names = ["\\"] + ["\\" + os.path.relpath(d, sys.argv[1]).replace("/", "\\").upper() + "\\"
                  for d, _, _ in os.walk(sys.argv[1]) if d != sys.argv[1]]
print(sorted(names).index("\\KIT\\REMESES\\"))
PY
)
for _ in $(seq 1 "$downs"); do keys Down; done
keys Enter
wait_for "DIRECTORI ............: \\KIT\\REMESES\\"
keys F4
wait_for "FITXERS DE REMESES"
wait_for "SEPA_2027020 1/2/2027"
listing=$(pane)
python3 - "$listing" <<'PY' || fail "the file list is not as catalogued: $listing"
import re, sys
rows = [l.strip("║ ") for l in sys.argv[1].splitlines() if l.startswith(" ║") and l.strip("║ ")]
dates = []
for row in rows:
    # The name, cut so that a blank stays before the date.
    m = re.match(r"(.{12}) (\d+)/(\d+)/(\d{4}) +([\d.,]+) +([\d.,]+)$", row)
    assert m, row
    dates.append((int(m.group(4)), int(m.group(3)), int(m.group(2))))
assert len(rows) >= 5, rows
assert dates == sorted(dates, reverse=True), dates  # newest first
PY
keys Enter
wait_for "FITXER ...............: SEPA_20270201_QUOTES_ANUALS_V08.XML"
keys Escape
keys Escape
wait_for "OPERACI"
keys Escape
ended_cleanly
echo "lists end to end: remittances, drives, directories and files picked"
