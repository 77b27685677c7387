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
grep -q 'record 3 not inserted (5 duplicate key); nothing loaded' err.txt || fail "duplicate message: $(cat err.txt)"
printf '5,abcde\r\n' > short.seq
if "$kitdb" load T3.dat short.seq 2> err.txt; then fail "short record loaded"; fi
grep -q 'record 1 is 5 bytes long' err.txt || fail "length message: $(cat err.txt)"
[ "$(records_of T3.dat)" = 0 ] || fail "nothing may stay after a failed load"

if "$kitdb" stat missing.dat 2> err.txt; then fail "stat of a missing file"; fi
grep -q 'missing.dat: cannot open (12 file not found)' err.txt || fail "missing message: $(cat err.txt)"
# A file that is not a record file: its status in words, and no lock side
# file left beside it (nor beside a missing one).
echo "not a record file" > foreign.txt
if "$kitdb" dump foreign.txt 2> err.txt; then fail "dump of a foreign file"; fi
grep -q 'foreign.txt: cannot open (30 not one of our record files)' err.txt || fail "foreign: $(cat err.txt)"
[ ! -e foreign.txt.lck ] && [ ! -e missing.dat.lck ] || fail "lock side files left: $(ls)"
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

# A save or dictionary that could not be put in place says so and exits
# non-zero; it never reports what it did not write.
mkdir adir
if "$kitdb" save T1.dat adir > out.txt 2> err.txt; then fail "save into a directory succeeded"; fi
grep -q 'adir: is a directory' err.txt || fail "directory target message: $(cat err.txt)"
[ ! -s out.txt ] || fail "a refused save printed: $(cat out.txt)"
[ -z "$(ls adir)" ] && [ ! -e adir.kitdb-tmp ] || fail "a refused save left files"
# A file another user owns in a sticky folder cannot be replaced: the
# rename fails, and that is what is reported.
if [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null; then
  chmod 755 "$work"
  mkdir -m 1777 sticky
  cp T1.dat sticky/T1.dat && chmod 644 sticky/T1.dat
  echo "root's" > sticky/owned.seq
  if setpriv --reuid=65534 --regid=65534 --clear-groups "$kitdb" save sticky/T1.dat sticky/owned.seq \
      > out.txt 2> err.txt; then
    fail "save over another user's file in a sticky folder succeeded: $(cat out.txt)"
  fi
  grep -q 'owned.seq: not written (access denied); nothing saved' err.txt || fail "sticky message: $(cat err.txt)"
  [ "$(cat sticky/owned.seq)" = "root's" ] || fail "the other user's file changed"
  [ ! -e sticky/owned.seq.kitdb-tmp ] || fail "temporary file left in the sticky folder"
fi

# Every input that is not a plain file is refused at once, with one line
# and a non-zero exit: a pipe never blocks, a device is never read.
mkfifo fifo
quick() {  # quick EXPECTED-MESSAGE kitdb-args...
  local expected=$1
  shift
  local rc=0
  timeout 1 "$kitdb" "$@" > /dev/null 2> err.txt || rc=$?
  [ "$rc" != 0 ] && [ "$rc" != 124 ] || fail "kitdb $* gave exit $rc"
  [ "$(wc -l < err.txt)" = 1 ] || fail "kitdb $*: not one line: $(cat err.txt)"
  grep -q -- "$expected" err.txt || fail "kitdb $*: $(cat err.txt)"
}
quick 'adir: is a directory' load T3.dat adir
quick 'fifo: is not a plain file' load T3.dat fifo
quick 'fifo: is not a plain file' create F.dat fifo
quick 'fifo: is not a plain file' xdf fifo out.xdf
quick 'fifo: is not a plain file' stat fifo
quick 'adir: is a directory' create adir "$ddf/TrasBanc.txt"
[ ! -e F.dat ] && [ ! -e out.xdf ] || fail "files made from refused inputs"
# Memory stays bounded whatever the input's size: 40 MB of address space
# (a whole-file read dies of std::bad_alloc under it). The sanitizers
# need more address space than that; their own resident-memory limit
# stands in for it there.
limit="ulimit -v 40000;"
if ldd "$kitdb" | grep -q libasan; then
  limit="export ASAN_OPTIONS=\${ASAN_OPTIONS:+\$ASAN_OPTIONS:}hard_rss_limit_mb=200;"
fi
limited=(bash -c "$limit \"\$@\"" kitdb "$kitdb")
rc=0; timeout 1 "${limited[@]}" load T3.dat /dev/zero > /dev/null 2> err.txt || rc=$?
[ "$rc" = 1 ] && [ "$(wc -l < err.txt)" = 1 ] || fail "/dev/zero: exit $rc: $(cat err.txt)"
{ head -c 779 in.seq; printf '9'; } > big.seq
truncate -s 1G big.seq  # a record, then a gigabyte of zeros
rc=0; timeout 1 "${limited[@]}" load T3.dat big.seq > /dev/null 2> err.txt || rc=$?
[ "$rc" = 1 ] || fail "a gigabyte load: exit $rc: $(cat err.txt)"
grep -q 'big.seq: record 2 (byte 780): a comma was expected after the length; nothing loaded' err.txt \
  || fail "gigabyte message: $(cat err.txt)"
# A record longer than the file's is refused, nothing loaded.
printf '780,%-780s\r\n' long > long.seq
if "$kitdb" load T3.dat long.seq 2> err.txt; then fail "a too long record loaded"; fi
grep -q 'record 1 is 780 bytes long, the file.s records 773; nothing loaded' err.txt || fail "long message: $(cat err.txt)"
# Many records across the reader's buffer, loaded under the limit and saved
# back byte for byte.
for i in $(seq 1000 1299); do printf '773,%-773s\r\n' "A$i"; done > many.seq
"$kitdb" create M.dat "$ddf/TrasBanc.txt"
"${limited[@]}" load M.dat many.seq > out.txt || fail "300 records under the limit: $(cat out.txt)"
[ "$(records_of M.dat)" = 300 ] || fail "300 records loaded"
"$kitdb" save M.dat many2.seq > /dev/null
cmp -s many.seq many2.seq || fail "300 records round trip"
[ "$(records_of T3.dat)" = 0 ] || fail "nothing may stay after the refused loads"

# The dictionary of a type the record manager refuses is never written.
printf 'record 10\nkey\n  segment 1 5 type=decimal\n' > dec.txt
if "$kitdb" xdf dec.txt dec.xdf 2> err.txt; then fail "xdf of a refused type"; fi
grep -q 'dec.txt: line 3: key 0: the record manager takes no DECIMAL segment of 5 bytes' err.txt \
  || fail "type message: $(cat err.txt)"
[ ! -e dec.xdf ] || fail "a dictionary of a refused type was written"
# Without a command: one line, then the command lines only.
rc=0; "$kitdb" > out.txt 2> err.txt || rc=$?
[ "$rc" = 2 ] && [ ! -s out.txt ] || fail "no command: exit $rc"
[ "$(head -1 err.txt)" = "kitdb: no command given" ] || fail "no command: $(head -1 err.txt)"
[ "$(wc -l < err.txt)" -le 14 ] || fail "no command prints the whole help"
echo "kitdb e2e: ok"
