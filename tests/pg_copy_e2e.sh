#!/bin/bash
# kitdb copy of the demo's record files to the database server and back
# gives byte-identical saves in every key's order; a copy onto a file that
# holds records copies nothing; and a server that refuses the password is
# told with the file's name and the server's reason, never the password.
set -euo pipefail
source "$QDEB_SOURCE_DIR/tests/pg_lib.sh"
kitdb=$QDEB_BINARY_DIR/tools/kitdb/kitdb
work=$(mktemp -d)
trap 'pg_drop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

QDEB_BUILD=$QDEB_BINARY_DIR bash "$QDEB_SOURCE_DIR/scripts/demo-root" "$work/demo" > /dev/null
export KITROOT="$work/demo/kit/"
cd "$work/demo/kit"
keys_of() { "$kitdb" stat "$1" | sed -n 's/^keys: //p'; }

for file in TrasBanc TRemeses TGenerat; do
  local_file=DADES/$file.dat
  [[ -f $local_file ]] || fail "the demo has no $local_file"
  "$kitdb" copy "$local_file" "pg:$local_file" > out.txt || fail "$file to the server: $(cat out.txt)"
  # The server's file is named as the program names it, whatever the case.
  "$kitdb" stat "pg:dades/$(tr '[:upper:]' '[:lower:]' <<< "$file")" > /dev/null ||
    fail "$file is not found on the server by another spelling"
  "$kitdb" copy "pg:$local_file" "$work/$file.back.dat" > out.txt || fail "$file back: $(cat out.txt)"
  for key in $(seq 0 $(( $(keys_of "$local_file") - 1 ))); do
    "$kitdb" save "$local_file" "$work/$file.$key.seq" "$key" > /dev/null
    "$kitdb" save "pg:$local_file" "$work/$file.$key.pg.seq" "$key" > /dev/null
    "$kitdb" save "$work/$file.back.dat" "$work/$file.$key.back.seq" "$key" > /dev/null
    cmp -s "$work/$file.$key.seq" "$work/$file.$key.pg.seq" || fail "$file key $key differs on the server"
    cmp -s "$work/$file.$key.seq" "$work/$file.$key.back.seq" || fail "$file key $key differs after the round trip"
  done
  "$kitdb" stat "$local_file" | grep -v '^records' > "$work/stat.a"
  "$kitdb" stat "pg:$local_file" | grep -v '^records' > "$work/stat.b"
  cmp -s "$work/stat.a" "$work/stat.b" || fail "$file: another layout on the server: $(diff "$work/stat.a" "$work/stat.b")"
done
[[ -s $work/TrasBanc.0.seq ]] || fail "the demo's TrasBanc saved nothing"

# Onto a file that holds records: refused, and the file keeps what it had.
before=$("$kitdb" stat pg:DADES/TrasBanc | sed -n 's/^records: //p')
if "$kitdb" copy DADES/TrasBanc.dat pg:DADES/TrasBanc 2> err.txt; then fail "copied onto a full file"; fi
grep -q "holds $before records; nothing copied" err.txt || fail "full target: $(cat err.txt)"
[[ $("$kitdb" stat pg:DADES/TrasBanc | sed -n 's/^records: //p') == "$before" ]] || fail "the target changed"

# The password refused: the file's name and the server's words, without it.
tcp=$(sed -E 's/(^| )host=[^ ]*//' <<< "$KITDB")
port=$(sed -nE 's/.*port=([0-9]+).*/\1/p' <<< "$KITDB")
if KITDB="$tcp host=127.0.0.1 port=$port password=secret-x9" PGPASSFILE=/nonexistent \
   "$kitdb" stat pg:DADES/TrasBanc > out.txt 2> err.txt; then
  fail "a wrong password was taken"
fi
grep -q 'pg:DADES\\TRASBANC: cannot open (20 .*password' err.txt || fail "wrong password: $(cat err.txt)"
! grep -q 'secret-x9' err.txt out.txt || fail "the password was shown: $(cat err.txt)"
# Nobody listening: the same, with the reason.
if KITDB="host=127.0.0.1 port=1 dbname=x password=secret-x9" "$kitdb" stat pg:DADES/TrasBanc 2> err.txt; then
  fail "a server that is not there"
fi
grep -q 'pg:DADES\\TRASBANC: cannot open (20 .*refused' err.txt || fail "no server: $(cat err.txt)"
! grep -q 'secret-x9' err.txt || fail "the password was shown: $(cat err.txt)"
echo "ok"
