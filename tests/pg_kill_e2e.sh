#!/bin/bash
# Processes inserting, deleting and holding record locks inside
# transactions on a record file of the database server, killed with SIGKILL
# at 30 moments. After each kill every acknowledged commit is there and
# nothing else, and every lock of the dead is free within a second.
set -euo pipefail
shopt -s nullglob
source "$QDEB_SOURCE_DIR/tests/pg_lib.sh"
driver=$QDEB_BINARY_DIR/tests/pg_kill_driver
kitdb=$QDEB_BINARY_DIR/tools/kitdb/kitdb
work=$(mktemp -d)
trap 'pg_drop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/root/ddf" "$work/root/DADES" "$work/logs"
printf 'record 32\nfield ID 1 10\nkey 0 unique\nsegment ID\n' > "$work/kill.txt"
"$kitdb" xdf "$work/kill.txt" "$work/root/ddf/KILL.xdf"
export KITROOT="$work/root/"
cd "$work/root"

workers=3
for round in $(seq 1 30); do
  pids=()
  for w in $(seq 1 "$workers"); do
    id=$(( round * 10 + w ))
    "$driver" work "$work/logs/log.$id" "$id" 2> "$work/logs/err.$id" &
    pids+=($!)
  done
  sleep "0.$(printf '%03d' $(( RANDOM % 400 + 50 )))"
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2> /dev/null || fail "round $round: a worker ended by itself: $(cat "$work/logs/err."*)"
  done
  kill -KILL "${pids[@]}"
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  "$driver" check "$work/logs"/log.* > "$work/check.txt" 2>&1 || fail "round $round: $(cat "$work/check.txt")"
done
grep -q '^ok [1-9]' "$work/check.txt" || fail "no record was ever committed: $(cat "$work/check.txt")"
# On the server, not in a file of this host.
[[ ! -e DADES/KILL.dat ]] || fail "the records went to a file of this host"
[[ "ok $("$kitdb" stat pg:DADES/KILL | sed -n 's/^records: //p') records" == "$(cat "$work/check.txt")" ]] ||
  fail "the server's file holds other records than the check saw"
echo "30 kills: $(cat "$work/check.txt")"
