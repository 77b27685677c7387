#!/bin/bash
# qxconvrt end to end. The files of a generation (made by the generation
# driver, listed in its work list) are converted by a run without
# arguments; fixtures cover one and several creditor blocks, the three
# message versions (the third by the office's setting), accented and
# filtered names, the longest concept and amounts from 0.01 to
# 999,999,999.99 euros. Every message must pass xmllint against the
# official schema of its version and say what its file says (read back
# with an XML parser). Bad input (truncated, another format, garbage in an
# amount, a wrong IBAN, totals that do not add up, a missing file, an
# unwritable folder, a message its schema refuses) gets a message naming
# the file and the record, leaves no ".XML" nor temporary file, ends with
# a non-zero status, and the other files are still converted.
set -euo pipefail
source "$QDEB_SOURCE_DIR/tests/remit_root.sh"
qxconvrt=$QDEB_BINARY_DIR/tools/qxconvrt/qxconvrt
helpers=$QDEB_SOURCE_DIR/tools/qxconvrt/test_helpers
schemas=$QDEB_BINARY_DIR/sepa-schemas
python=/usr/bin/python3  # Debian's, with python3-stdnum
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
export LANG=C.UTF-8

# settings FOLDER [VERSIO4 [VERSIO2 VERSIO3]]: the conversion's settings in
# the root's Vela.ini.
settings() {
  printf '[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\nDada7=B12345678\r\n' > "$root/Vela.ini"
  printf '[Usuari]\r\nDecCaracter=,\r\nMilCaracter=.\r\n' >> "$root/Vela.ini"
  printf '[ConversioXML]\r\nEsquemes=%s\r\nVersio4=%s\r\nVersio2=%s\r\nVersio3=%s\r\n' \
    "$1" "${2:-}" "${3:-}" "${4:-}" >> "$root/Vela.ini"
}
# The 2019 version's schema is not Debian's: where the shared folder lacks
# it, the converter must say that it wrote those messages unchecked.
v08=pain.008.001.08
have_v08() { [[ -s $schemas/$v08.xsd ]]; }
schema_valid() {  # VERSION FILE...
  local version=$1
  shift
  xmllint --noout --schema "$schemas/$version.xsd" "$@" 2>"$work/xmllint.log" \
    || fail "xmllint refuses: $(cat "$work/xmllint.log")"
}

# A generation's files, converted from its work list.
make_root "$work/gen"
use_root "$work/gen"
root=$work/gen/root
settings "C:$schemas/"
"$driver" fill 60 3 2 >/dev/null
"$driver" generate 1 3 >/dev/null
shopt -s nullglob
generated=("$root"/CSB/*.E19)
((${#generated[@]} == 2)) || fail "the generation made ${#generated[@]} files, not 2"
out=$("$qxconvrt") || fail "converting the work list ended with $?: $out"
grep -q "CONVERTITS 2 DE 2 FITXERS: 60 ADEUDAMENTS" <<<"$out" || fail "summary: $out"
pairs=()
for f in "${generated[@]}"; do
  [[ -f ${f%.E19}.XML ]] || fail "no message beside $f"
  pairs+=(pain.008.001.02 "$f" "${f%.E19}.XML")
  schema_valid pain.008.001.02 "${f%.E19}.XML"
done
"$python" "$helpers/check_messages.py" "${pairs[@]}" || fail "a message differs from its file"
[[ -z $(ls "$root/CSB" | grep -v '\.E19$\|\.XML$' || true) ]] || fail "leftovers: $(ls "$root/CSB")"
# The same files as pain.008.001.08, as a new installation's Vela.ini asks.
settings "C:$schemas/" $v08 $v08 $v08
out=$("$qxconvrt") || fail "converting the work list as $v08 ended with $?: $out"
pairs=()
for f in "${generated[@]}"; do
  pairs+=($v08 "$f" "${f%.E19}.XML")
  if have_v08; then schema_valid $v08 "${f%.E19}.XML"; fi
done
"$python" "$helpers/check_messages.py" "${pairs[@]}" || fail "a $v08 message differs from its file"
settings "C:$schemas/"

# The fixtures, by path, with the schemas at hand; then "4" as 001.04.
files=$work/files
"$python" "$helpers/c19_fixtures.py" "$files"
out=$("$qxconvrt" "$files/one_block.E19" "$files/several_blocks.E19" "$files/version3.E19") \
  || fail "converting the fixtures ended with $?: $out"
[[ $(grep -c "validat amb l'esquema" <<<"$out") == 3 ]] || fail "not every message was checked: $out"
schema_valid pain.008.001.02 "$files/one_block.XML" "$files/several_blocks.XML"
schema_valid pain.008.003.02 "$files/version3.XML"
"$python" "$helpers/check_messages.py" pain.008.001.02 "$files/one_block.E19" "$files/one_block.XML" \
  pain.008.001.02 "$files/several_blocks.E19" "$files/several_blocks.XML" \
  pain.008.003.02 "$files/version3.E19" "$files/version3.XML" || fail "a fixture's message differs"
# Two sequence types in the first creditor block: two payment blocks for it.
[[ $(grep -c "<PmtInf>" "$files/several_blocks.XML") == 3 ]] || fail "sequence types not grouped"
grep -q "<Nm>ANGELS MUNOZ I CANADELL</Nm>" "$files/one_block.XML" || fail "accents not mapped"
grep -q "<Nm>O'NEILL   FILLS  SL</Nm>" "$files/one_block.XML" || fail "names not filtered"
grep -q '<InstdAmt Ccy="EUR">0.01</InstdAmt>' "$files/one_block.XML" || fail "0.01"
grep -q '<InstdAmt Ccy="EUR">999999999.99</InstdAmt>' "$files/one_block.XML" || fail "999999999.99"
concept=$(sed -n 's:.*<Ustrd>\(QUOTA ANUAL[^<]*\)</Ustrd>.*:\1:p' "$files/one_block.XML")
((${#concept} == 140)) || fail "the longest concept is ${#concept} characters: $concept"
settings "C:$schemas/" pain.008.001.04
"$qxconvrt" "$files/one_block.E19" >/dev/null || fail "version 4 as pain.008.001.04 failed"
schema_valid pain.008.001.04 "$files/one_block.XML"
"$python" "$helpers/check_messages.py" pain.008.001.04 "$files/one_block.E19" "$files/one_block.XML" \
  || fail "the pain.008.001.04 message differs"
# Every fixture as pain.008.001.08: valid, and saying what its file says.
settings "C:$schemas/" $v08 $v08 $v08
out=$("$qxconvrt" "$files/one_block.E19" "$files/several_blocks.E19" "$files/version3.E19") \
  || fail "converting the fixtures as $v08 ended with $?: $out"
if have_v08; then
  [[ $(grep -c "$v08, .*validat amb l'esquema" <<<"$out") == 3 ]] || fail "not every $v08 checked: $out"
  schema_valid $v08 "$files/one_block.XML" "$files/several_blocks.XML" "$files/version3.XML"
else
  [[ $(grep -c "sense validar amb l'esquema: no hi ha .*$v08.xsd" <<<"$out") == 3 ]] \
    || fail "the skipped check of $v08 was not told: $out"
  echo "qxconvrt end to end: no $v08.xsd in the shared folder, its schema check skipped" >&2
fi
"$python" "$helpers/check_messages.py" $v08 "$files/one_block.E19" "$files/one_block.XML" \
  $v08 "$files/several_blocks.E19" "$files/several_blocks.XML" \
  $v08 "$files/version3.E19" "$files/version3.XML" || fail "a fixture's $v08 message differs"
grep -q '<InstdAmt Ccy="EUR">999999999.99</InstdAmt>' "$files/one_block.XML" || fail "$v08 999999999.99"
grep -q "<Nm>O'NEILL   FILLS  SL</Nm>" "$files/one_block.XML" || fail "$v08 names not filtered"
settings "C:$schemas/"

# Bad input in a work list, a good file among them.
printf '[Convertir]\r\nTornar=REMESES\r\nMaxim= 8\r\n' > "$work/gen/work/QXCONVRT.INI"
k=0
for name in bad_truncated bad_format bad_amount bad_iban bad_totals missing several_blocks bad_none; do
  k=$((k + 1))
  if [[ $name == bad_none ]]; then  # an empty entry
    printf 'Fitx%d=\r\n' $k >> "$work/gen/work/QXCONVRT.INI"
    continue
  fi
  printf 'Fitx%d=C:%s\r\n' $k "$files/$name.E19" >> "$work/gen/work/QXCONVRT.INI"
done
rm -f "$files/several_blocks.XML"
set +e
out=$("$qxconvrt")
status=$?
set -e
((status == 1)) || fail "bad input ended with status $status: $out"
expect() { grep -qF -- "$1" <<<"$out" || fail "no '$1' in: $out"; }
expect "bad_truncated.E19, registre 4: el registre és incomplet"
expect "bad_format.E19, registre 1: no és un fitxer del quadern 19.14"
expect "bad_amount.E19, registre 4: l'import \"00000ABC000\" no és un número"
expect "bad_iban.E19, registre 4: l'IBAN del deutor"
expect "bad_totals.E19, registre 8: el registre diu 5 cèntims"
expect "missing.E19: NO ES POT OBRIR"
expect "ERROR Fitx8: l'entrada de la llista és buida"
expect "CONVERTITS 1 DE 8 FITXERS"
expect "CONVERTITS 1 DE 8 FITXERS: 4 ADEUDAMENTS, 1.590,90 EUR"
[[ -f $files/several_blocks.XML ]] || fail "the good file of the list was not converted"
leftovers=("$files"/bad_*.XML "$files"/*.tmp)
((${#leftovers[@]} == 0)) || fail "left behind: ${leftovers[*]}"

# A message its schema refuses is not put in place; the old one stays.
mkdir -p "$work/wrong"
cp "$schemas/pain.008.003.02.xsd" "$work/wrong/pain.008.001.02.xsd"
settings "C:$work/wrong/"
echo old > "$files/several_blocks.XML"
set +e
out=$("$qxconvrt" "$files/several_blocks.E19")
status=$?
set -e
((status == 1)) || fail "a refused message ended with status $status"
expect "no compleix l'esquema"
[[ $(cat "$files/several_blocks.XML") == old ]] || fail "a refused message replaced the old one"
leftovers=("$files"/*.tmp)
((${#leftovers[@]} == 0)) || fail "left behind: ${leftovers[*]}"

# A folder the converter cannot write: a clear message, the next file done
# (a fresh record of message ids: the copy of one_block.E19 is another
# message with the same id, which the record would refuse).
# The root stays writable to the user the test runs as, as an
# installation's root is to its users (the record is kept there).
rm -f "$root/QXCONVRT.IDS"
chmod 755 "$work/gen" && chmod 777 "$root"
mkdir -p "$work/locked" "$work/open"
cp "$files/version3.E19" "$work/locked/"
cp "$files/one_block.E19" "$work/open/"
chmod 755 "$work" "$work/open" && chmod 555 "$work/locked" && chmod 777 "$work/open"
settings ""
run_as=()
if (($(id -u) == 0)); then run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
set +e
out=$("${run_as[@]}" "$qxconvrt" "$work/locked/version3.E19" "$work/open/one_block.E19")
status=$?
set -e
((status == 1)) || fail "an unwritable folder ended with status $status: $out"
expect "locked/version3.E19: NO ES POT"
[[ -f $work/open/one_block.XML && ! -e $work/locked/version3.XML ]] || fail "unwritable folder: $out"

# On the console (headless): the outcomes and the summary wait for a key
# (the screen is dumped when the script runs out, status 3); a key ends it.
: > "$work/keys"
set +e
KITCONSOLE="headless:$work/keys" KITCONSOLE_DUMP="$work/dump" "$qxconvrt" "$files/version3.E19" \
  2>/dev/null
status=$?
set -e
((status == 3)) || fail "the console run did not wait for a key ($status)"
grep -q "version3.E19 -> " "$work/dump" && grep -q "pain.008.003.02, 3 adeudaments" "$work/dump" || fail "console: $(cat "$work/dump")"
[[ $(grep -c "CONVERTITS 1 DE 1 FITXERS" "$work/dump") == 1 ]] || fail "one summary: $(cat "$work/dump")"
# Long lines fold at blanks, not inside a word (the outcome's line is wider
# than the window: the message's name and version stay together).
grep -q "version3.XML: pain.008.003.02" "$work/dump" || fail "a word cut at the window's edge: $(cat "$work/dump")"
grep -q "PREMEU UNA TECLA PER ACABAR" "$work/dump" || fail "no key asked for: $(cat "$work/dump")"
printf 'Enter\n' > "$work/keys"
KITCONSOLE="headless:$work/keys" "$qxconvrt" "$files/version3.E19" || fail "a key did not end it: $?"
# The command line: --help tells how to use it; with no work list there is
# nothing to do, which it says with the same usage line.
"$qxconvrt" --help | grep -q '^usage: qxconvrt \[FILE...\]' || fail "--help: $("$qxconvrt" --help 2>&1)"
rm -f "$work/gen/work/QXCONVRT.INI"
set +e
out=$("$qxconvrt" 2>&1)
status=$?
set -e
((status == 2)) && grep -q '^usage: qxconvrt' <<<"$out" || fail "no work list ($status): $out"
echo "qxconvrt end to end: generated files and fixtures converted and valid, bad input refused"
