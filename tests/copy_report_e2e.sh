#!/bin/bash
# The copy and report operations end to end in a real terminal, on a demo
# installation. "T" copies the demo's remittance file of about 3 MB to A:,
# a folder the size of a 1.44 MB diskette, over three volumes, the test
# taking each volume's two files away before it answers the prompt for the
# next, and is told at the end how many volumes the set has; the volumes
# then give back the file. The report operation verifies
# the CSB 19 remittance held as a three-volume set on B: and shows its
# report in KITSCR: the ordering parties' lines, the general totals and the
# error line of the defect planted in the demo's remittance.
set -euo pipefail
sock="qdeb-copy-report-$$"
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"

file=$(cd "$root/REMESES" && ls REMESA_ANUAL_*.Q19)
floppy=$work/demo/floppy

start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
start_copy "$file"
for volume in 2 3; do
  wait_for "SEGURETAT NÚMERO $volume A A:\\"
  mkdir -p "$work/volumes/$((volume - 1))"
  mv "$floppy"/* "$work/volumes/$((volume - 1))/"
  keys Enter
done
# The copy says how it ended before the form comes back.
wait_for "CÒPIA ACABADA. VOLUMS ESCRITS: 3"
grep -qF "PREMEU UNA TECLA PER CONTINUAR" <<<"$(pane)" || fail "the end panel does not ask for a key: $(pane)"
keys Enter
wait_for "FITXER ...............: $file"
mkdir -p "$work/volumes/3"
mv "$floppy"/* "$work/volumes/3/"
# The three volumes, their data laid end to end in the order of their
# control files, are the file; only the last says it is the last.
python3 - "$work/volumes" "$root/REMESES/$file" <<'PY' || fail "the volumes do not give back the file"
import struct, sys
data = b""
for v in (1, 2, 3):
    control = open(f"{sys.argv[1]}/{v}/CONTROL.{v:03d}", "rb").read()
    assert control[0] == 139 and control[1:9] == b"BACKUP  ", control[:9]
    assert struct.unpack_from("<H", control, 9)[0] == v
    assert control[138] == (0xFF if v == 3 else 0), control[138]
    entry = control[139 + 70:139 + 70 + 34]
    offset, length = struct.unpack_from("<II", entry, 20)
    part = open(f"{sys.argv[1]}/{v}/BACKUP.{v:03d}", "rb").read()
    data += part[offset:offset + length]
assert data == open(sys.argv[2], "rb").read(), (len(data),)
PY

# The report of the remittance on B:, on the screen.
keys Escape
wait_for "OPERACI"
keys I
keys Enter
wait_for "SORTIDA DE L'INFORME"
keys Left
keys Enter
keys B
keys Enter
wait_for "CONFIRMEU"
keys S
keys Enter
for volume in 1 2 3; do
  wait_for "INSERIU CÒPIA DE SEGURETAT NÚMERO $volume A B:"
  keys Enter
done
wait_for "ORDENANT"
screen=$(pane)
for text in "VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS" "ORDENANT" "PRESENTADOR" \
            "*** error ***" "el registre 5683 no està en seqüència"; do
  grep -qF -- "$text" <<< "$screen" || fail "the report lacks '$text': $screen"
done
[[ $(grep -c "ORDENANT" <<< "$screen") == 3 ]] || fail "three ordering parties expected: $screen"
keys Escape
wait_for "SORTIDA DE L'INFORME"
keys Escape
wait_for "OPERACI"
keys Escape
ended_cleanly
echo "copy to three volumes and verification report end to end"
