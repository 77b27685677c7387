#!/bin/bash
# kitdb end to end: files created from the installation's descriptions,
# save and load round trips in key order, and bad input that must leave
# nothing behind.
set -euo pipefail
kitdb="$QDEB_BINARY_DIR/tools/kitdb/kitdb"
ddf="$QDEB_SOURCE_DIR/install/ddf"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
records_of() { "$kitdb" stat "$1" | sed -n 's/^records: //p'; }
# The first bytes of each record of a sequential file, one line each.
heads() { tr -d '\r' < "$1" | cut -c"$(( ${#2} + 2 ))"-"$(( ${#2} + 1 + $3 ))"; }

# Receipts out of key order: kind, debtor code and receipt number (key 0),
# then the remittance (with key 0, key 1).
: > in.seq
for k in C0000030001B1 A0000010002C1 B0000020003B1 A0000010001C2; do
  printf '773,%-773s\r\n' "$k receipt" >> in.seq
done

"$kitdb" create T1.dat "$ddf/TrasBanc.txt"
"$kitdb" stat T1.dat | grep -qx 'record length: 773' || fail "record length"
"$kitdb" stat T1.dat | grep -q '^key 1: length 13, unique' || fail "key 1"
"$kitdb" load T1.dat in.seq > /dev/null
[ "$(records_of T1.dat)" = 4 ] || fail "4 records loaded"

"$kitdb" save T1.dat k0.seq > /dev/null
"$kitdb" save T1.dat k1.seq 1 > /dev/null
[ "$(heads k0.seq 773 13 | tr '\n' ' ')" = "A0000010001C2 A0000010002C1 B0000020003B1 C0000030001B1 " ] \
  || fail "key 0 order: $(heads k0.seq 773 13 | tr '\n' ' ')"
[ "$(heads k1.seq 773 13 | tr '\n' ' ')" = "B0000020003B1 C0000030001B1 A0000010002C1 A0000010001C2 " ] \
  || fail "key 1 order: $(heads k1.seq 773 13 | tr '\n' ' ')"

# What was saved loads into a new file as the same records in the same order.
"$kitdb" create T2.dat "$ddf/TrasBanc.txt"
"$kitdb" load T2.dat k1.seq > /dev/null
"$kitdb" save T2.dat k0b.seq > /dev/null
"$kitdb" save T2.dat k1b.seq 1 > /dev/null
cmp -s k0.seq k0b.seq || fail "key 0 round trip"
cmp -s k1.seq k1b.seq || fail "key 1 round trip"

# Bad input: a clear message, a non-zero exit, nothing half loaded.
"$kitdb" create T3.dat "$ddf/TrasBanc.txt"
head -c 1600 in.seq > truncated.seq
if "$kitdb" load T3.dat truncated.seq 2> err.txt; then fail "truncated file loaded"; fi
grep -q 'record 3 .*ends inside the record' err.txt || fail "truncated message: $(cat err.txt)"
{ head -c $(( 2 * 779 )) in.seq; head -c 779 in.seq; } > duplicate.seq
if "$kitdb" load T3.dat duplicate.seq 2> err.txt; then fail "duplicate loaded"; fi
grep -q 'record 3 not inserted (duplicate key); nothing loaded' err.txt || fail "duplicate message: $(cat err.txt)"
printf '5,abcde\r\n' > short.seq
if "$kitdb" load T3.dat short.seq 2> err.txt; then fail "short record loaded"; fi
grep -q 'record 1 is 5 bytes long' err.txt || fail "length message: $(cat err.txt)"
[ "$(records_of T3.dat)" = 0 ] || fail "nothing may stay after a failed load"

if "$kitdb" stat missing.dat 2> err.txt; then fail "stat of a missing file"; fi
grep -q 'missing.dat: cannot open (file not found)' err.txt || fail "missing message"
printf 'record 10\nfield X 8 5\n' > bad.txt
if "$kitdb" create T4.dat bad.txt 2> err.txt; then fail "bad description accepted"; fi
grep -q 'line 2: field "X" ends beyond the record' err.txt || fail "description message: $(cat err.txt)"
[ ! -e T4.dat ] || fail "no file from a bad description"
if "$kitdb" frobnicate 2> /dev/null; then fail "unknown command"; fi

# dump shows packed fields as digits.
"$kitdb" create R.dat "$ddf/TRemeses.txt"
{
  printf '76,'
  printf '\x85'
  for _ in 1 2 3 4 5 6 7 8 9 10; do printf '\x80'; done
  printf '\x81\x92001%-30s%-9sES1%-17s\x81\r\n' 'ACME SL' '' 'ESB12345678'
} > rem.seq
"$kitdb" load R.dat rem.seq > /dev/null
expected='RemittanceLow=05 CreditorAccount= ReceivingOffice=0118 CreditorSuffixNumber="001" CreditorName="ACME SL" CreditorIdSuffix="ES1" CreditorIdentifier="ESB12345678" RemittanceHigh=01'
[ "$("$kitdb" dump R.dat -d "$ddf/TRemeses.txt")" = "$expected" ] || fail "dump: $("$kitdb" dump R.dat -d "$ddf/TRemeses.txt")"

# The catalogue keeps two records with the same key.
"$kitdb" create U.dat "$ddf/USort.txt"
printf '160,%-80s%-80s\r\n160,%-80s%-80s\r\n' FX first FX second > u.seq
"$kitdb" load U.dat u.seq > /dev/null
[ "$(records_of U.dat)" = 2 ] || fail "USort keeps duplicates"
# A key with null segments leaves records out of its order: saving by it
# would lose them, so it is refused and no file is written.
printf 'record 8\nkey 0 unique\n  segment 1 4\nkey 1 duplicates\n  segment 5 4 null=32\n' > n.txt
"$kitdb" create N.dat n.txt
printf '8,0001AAAA\r\n8,0002    \r\n8,0003BBBB\r\n' > n.seq
"$kitdb" load N.dat n.seq > /dev/null
if "$kitdb" save N.dat n1.seq 1 2> err.txt; then fail "save by a key that leaves records out"; fi
grep -q 'key 1 gave 2 of the 3 records' err.txt || fail "null key message: $(cat err.txt)"
[ ! -e n1.seq ] || fail "no file from a refused save"
"$kitdb" save N.dat n0.seq 0 > /dev/null
[ "$(heads n0.seq 8 4 | tr '\n' ' ')" = "0001 0002 0003 " ] || fail "save by the full key"
echo "kitdb e2e: ok"
