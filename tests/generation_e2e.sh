#!/bin/bash
# Operation "G" end to end in a real terminal: on a demo installation the
# operator chooses "G", keeps the collection date, asks for remittances 1 to
# 4 and confirms; the program writes one Cuaderno 19.14 file per creditor
# suffix (0 and 2), shows a panel for each, and lists them in the work list.
# The files are read back here from the record layout, the receipts of the
# range must be gone from TrasBanc and the others kept, and a second run of
# the same selection must produce nothing. A damaged form file ends the
# program with its path on a terminal given back as it was.
set -euo pipefail
sock="qdeb-generation-$$"
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"
receipts_before=$("$kitdb" stat "$root/DADES/TrasBanc.dat" | sed -n 's/^records: *//p')
[[ $receipts_before == 300 ]] || fail "the demo root holds $receipts_before receipts, not 300"


# One generation of remittances 1 to 4; answers every panel with Enter.
# With an argument, the converter's summary to wait for and answer.
generate() {
  choose_range
  for _ in $(seq 1 20); do
    sleep 0.5
    if pane | grep -qF "GENERAT FITXER"; then keys Enter; continue; fi
    pane | grep -qF "PROCESSANT" || break
  done
  if [[ -n ${1:-} ]]; then
    wait_for "$1"
    keys Enter
  fi
  wait_for "OPERACI"
  keys Escape
  ended_cleanly
  close_pane
}

generate "CONVERTITS 2 DE 2 FITXERS: 200 ADEUDAMENTS"
shopt -s nullglob
files=("$root"/CSB/*.E19)
((${#files[@]} == 2)) || fail "${#files[@]} files instead of one per suffix (0 and 2)"
for f in "${files[@]}"; do
  [[ -f ${f%.E19}.XML ]] || fail "no SEPA XML message beside $f: $(ls "$root/CSB")"
done
[[ -z $(ls "$root"/CSB | grep -v '\.E19$\|\.XML$' || true) ]] || fail "leftovers in CSB: $(ls "$root/CSB")"

# The files read from the record layout: 600 characters and CR LF a record,
# 01, then per creditor 02, 03s, 04, 05, then 99 with the totals.
written=$(python3 - "${files[@]}" <<'PY'
import sys
total_debits = 0
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    assert len(data) % 602 == 0, (path, len(data))
    records = [data[i:i + 600].decode("cp850") for i in range(0, len(data), 602)]
    assert all(data[i + 600:i + 602] == b"\r\n" for i in range(0, len(data), 602)), path
    assert records[0][:10] == "0119143001" and records[-1][:2] == "99", path
    debits = amount = 0
    block_debits = block_amount = 0
    for r in records[1:-1]:
        code = r[:2]
        if code == "02":
            block_debits = block_amount = 0
        elif code == "03":
            block_debits += 1
            block_amount += int(r[88:99])
        elif code == "04":
            assert int(r[45:62]) == block_amount and int(r[62:70]) == block_debits, path
            debits += block_debits
            amount += block_amount
        elif code != "05":
            raise AssertionError((path, code))
    assert int(r[37:54]) == block_amount, path  # the 05 record
    last = records[-1]
    assert int(last[2:19]) == amount and int(last[19:27]) == debits, path
    assert int(last[27:37]) == len(records), path
    total_debits += debits
print(total_debits)
PY
) || fail "a file does not read as Cuaderno 19.14"

left=$("$kitdb" stat "$root/DADES/TrasBanc.dat" | sed -n 's/^records: *//p')
# Remittances 1 to 4 of the six hold 200 of the 300 receipts, less those
# whose amount is no direct debit (none in the demo).
[[ $written == 200 && $left == 100 ]] || fail "$written receipts written, $left left, of 300"
"$kitdb" dump "$root/DADES/TrasBanc.dat" 1 -d "$source_dir/install/ddf/TrasBanc.txt" \
  | grep -v 'ReceiptRemittanceLow=0[56] ' | grep -q . && fail "receipts of the range are still in TrasBanc"

list=$(tr -d '\r' < "$term/QXCONVRT.INI")
grep -qx "Maxim= 2" <<<"$list" || fail "work list: $list"
grep -qx "Tornar=REMESES" <<<"$list" || fail "work list: $list"
for k in 1 2; do
  grep -q "^Fitx$k=[A-Z]:.*CSB.*\\.E19$" <<<"$list" || fail "work list lacks Fitx$k: $list"
done

# The same selection again finds nothing to write, and says so; the
# converter, with nothing to convert, is not started: the selection form
# comes back.
choose_range
wait_for "CAP REBUT PENDENT A LES REMESES 1-4"
pane | grep -qF "GENERAT FITXER" && fail "a second run of the same selection told a file"
keys Enter
sleep 0.5
wait_for "DATA DE COBRAMENT"
pane | grep -qF "QXCONVRT" && fail "the converter ran with nothing to convert: $(pane)"
keys Escape
wait_for "OPERACI"
keys Escape
ended_cleanly
close_pane
files=("$root"/CSB/*.E19)
((${#files[@]} == 2)) || fail "a second run of the same selection wrote files"

# Headless, by a key script: Escape on the generation form goes back to the
# main form without generating, Escape there ends the program with status 0.
printf 'Enter\nEsc\nEsc\n' > "$work/keys"
env "${environment[@]}" KITCONSOLE="headless:$work/keys" KITCONSOLE_DUMP="$work/dump" \
  "$qdebconv" || fail "a headless run ended with $?"
[[ $("$kitdb" stat "$root/DADES/TrasBanc.dat" | sed -n 's/^records: *//p') == "$left" ]] \
  || fail "leaving the generation form with Escape generated"
grep -q "OPERACI" "$work/dump" || fail "the headless run did not end on the main form: $(cat "$work/dump")"

# A damaged form file: a clear message with its path, the terminal as it was.
head -c 300 "$source_dir/install/FORMS/QDEBCONV.JPN" > "$root/FORMS/QDEBCONV.JPN"
set +e
message=$(env "${environment[@]}" "$qdebconv" 2>&1 < /dev/null)
status=$?
set -e
((status != 0)) || fail "a damaged form file did not end the program"
grep -q "QDEBCONV.JPN" <<<"$message" || fail "no path in: $message"
echo "generation end to end: 2 files, $written receipts, work list and second run as expected"
