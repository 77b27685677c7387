#!/bin/bash
# Operation "G" on the demo with its record files on the database server
# writes the same files as on SQLite, byte for byte: two copies of one demo
# installation, one left on SQLite, the other put on the server by
# scripts/demo-on-server (which names it in Vela.ini and sets the SQLite
# files aside), each generates remittances 1 to 4 in a terminal at the same
# fixed moment (KITCLOCK: the same file names, time stamps and messages);
# the Cuaderno 19.14 files, their XML messages, the work list and the
# records left must be the same, and the run on the server must have
# created no record file of its own under the root.
set -euo pipefail
sock="qdeb-pg-demo-$$"
source "$QDEB_SOURCE_DIR/tests/pg_lib.sh"
server=$KITDB
unset KITDB
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"
trap 'pg_drop; cleanup' EXIT

sqlite_dir=$work/demo
pg_dir=$work/pgdemo
cp -a "$sqlite_dir" "$pg_dir"
KITDB=$server QDEB_BUILD=$build bash "$source_dir/scripts/demo-on-server" "$pg_dir" ||
  fail "the demo's records could not be put on the server"
grep -q "^Servidor=.*dbname=" "$pg_dir/kit/Vela.ini" || fail "Vela.ini names no server: $(cat "$pg_dir/kit/Vela.ini")"
[[ -z $(find "$pg_dir/kit" -iname '*.dat') ]] || fail "record files left under the root: $(find "$pg_dir/kit" -iname '*.dat')"

moment=$(date +%Y%m%d)100000
# Remittances 1 to 4 generated in the demo of $1, every panel answered.
generate_in() {
  environment=()
  while IFS= read -r line; do environment+=("$line"); done \
    < <(QDEB_BUILD=$build bash "$source_dir/scripts/demo-root" "$1")
  environment+=("KITCLOCK=$moment")
  quoted_environment=$(printf '%q ' "${environment[@]}")
  choose_range
  for _ in $(seq 1 40); do
    sleep 0.5
    if pane | grep -qF "GENERAT FITXER"; then keys Enter; continue; fi
    pane | grep -qF "PROCESSANT" || break
  done
  wait_for "CONVERTITS 2 DE 2 FITXERS: 200 ADEUDAMENTS"
  keys Enter
  wait_for "OPERACI"
  keys Escape
  ended_cleanly
  close_pane
}
generate_in "$sqlite_dir"
generate_in "$pg_dir"

shopt -s nullglob
files=("$sqlite_dir"/kit/CSB/*.E19)
((${#files[@]} == 2)) || fail "SQLite: ${#files[@]} files instead of 2: $(ls "$sqlite_dir/kit/CSB")"
diff -r "$sqlite_dir/kit/CSB" "$pg_dir/kit/CSB" > "$work/diff" ||
  fail "the generated files differ: $(head -c 2000 "$work/diff")"
cmp "$sqlite_dir/term/QXCONVRT.INI" "$pg_dir/term/QXCONVRT.INI" || fail "the work lists differ"

# What is left of the records, on SQLite and on the server, key by key.
export KITROOT=$pg_dir/kit/
for file in TrasBanc TGenerat TRemeses; do
  keys=$("$kitdb" stat "$sqlite_dir/kit/DADES/$file.dat" | sed -n 's/^keys: //p')
  for key in $(seq 0 $((keys - 1))); do
    "$kitdb" save "$sqlite_dir/kit/DADES/$file.dat" "$work/$file.$key.seq" "$key" > /dev/null
    KITDB=$server "$kitdb" save "pg:$pg_dir/kit/DADES/$file.dat" "$work/$file.$key.pg.seq" "$key" > /dev/null ||
      fail "$file is not on the server"
    cmp -s "$work/$file.$key.seq" "$work/$file.$key.pg.seq" || fail "$file key $key differs on the server"
  done
done
left=$("$kitdb" stat "pg:$pg_dir/kit/DADES/TrasBanc.dat" | sed -n 's/^records: *//p')
[[ $left == 100 ]] || fail "the server's TrasBanc holds $left receipts, not 100"
[[ -z $(find "$pg_dir/kit" -iname '*.dat') ]] ||
  fail "the program made record files of its own: $(find "$pg_dir/kit" -iname '*.dat')"
echo "G on the server: ${#files[@]} files and their messages as on SQLite, byte for byte"
