#!/bin/bash
# The generation killed with SIGKILL at 30 moments of runs over 5,000
# receipts: at random times, and at each step of a group's way to the disk.
# After each kill the recovery runs as at the next start-up, and every
# receipt must be exactly once: in TrasBanc or in one whole ".E19" file,
# never both, never neither, with no temporary file left. A full run then
# puts every receipt in a file.
#
# REMIT_BACKEND=pg (remit_kill_pg_e2e.sh): the same on the database server,
# the rounds taking turns between two hosts that share the root. After a
# kill the other host's start-up runs first and must leave what the dead
# workstation left to that workstation's own start-up, which settles it.
set -euo pipefail
source "$(dirname "$0")/remit_root.sh"
work=$(mktemp -d)
trap 'remit_drop; rm -rf "$work"' EXIT
shape=(5000 40 4)  # receipts, remittances, suffixes: four groups a run

fresh_root() {
  make_root "$work/r"
  use_root "$work/r"
  use_host "${1:-hostA}"
  cd "$work/r/root"
  "${gen[@]}" fill "${shape[@]}" > /dev/null || fail "fill"
}

# How long an uninterrupted run takes, in milliseconds, to spread the kills.
fresh_root
start=$(date +%s%N)
"${gen[@]}" generate 1 40 > /dev/null || fail "a full run"
run_ms=$(( ($(date +%s%N) - start) / 1000000 ))
check_once "${shape[@]}" | grep -q '^in-trasbanc 0 in-files 5000 files 4$' || fail "a full run left receipts"
echo "an uninterrupted run takes ${run_ms} ms"

# A file killed between its rename and its listing is listed by the
# recovery, once.
fresh_root
status=0
( REMIT_KILL_AT="published:1" "${gen[@]}" generate 1 40 > out.txt 2>&1 ) 2> /dev/null || status=$?
(( status == 137 )) || fail "not killed at published:1 (status $status)"
ls "$work/r/root/CSB/"*.E19 > /dev/null 2>&1 || fail "no file was put in place before the kill"
"${gen[@]}" recover | grep -q '^message GENERAT FITXER ' || fail "the recovery did not tell the file it listed"
"${gen[@]}" listed > /dev/null || fail "after a kill before the listing: $("${gen[@]}" listed)"

steps=(created sealed committed renamed published listed unmarked)
for round in $(seq 1 30); do
  host=hostA other=hostB
  (( round % 2 == 0 )) && host=hostB other=hostA
  fresh_root "$host"
  if (( round % 3 == 0 )); then
    # At a step of a group, the k-th time it is reached.
    step=${steps[$(( RANDOM % ${#steps[@]} ))]}
    k=$(( RANDOM % 4 + 1 ))
    status=0
    # In a subshell of its own, whose notice of the kill is not wanted.
    ( REMIT_KILL_AT="$step:$k" "${gen[@]}" generate 1 40 > out.txt 2>&1 ) 2> /dev/null || status=$?
    (( status == 137 )) || fail "round $round: not killed at $step:$k (status $status)"
    what="at $step:$k"
  else
    ms=$(( RANDOM % (run_ms + 1) ))
    "${gen[@]}" generate 1 40 > out.txt 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $(( ms / 1000 )) $(( ms % 1000 )))"
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    what="after ${ms} ms"
  fi
  if [[ ${REMIT_BACKEND:-} == pg ]]; then
    # The other workstation's start-up leaves everything to this one.
    before=$(ls "$work/r/root/CSB" 2> /dev/null || true)
    use_host "$other"
    "${gen[@]}" recover > other.txt || fail "round $round: the other host's recovery"
    # It only tells the files this one committed and has still to list.
    LC_ALL=C grep -av "^message FITXER QUE HA DE LLISTAR L'ESTACI.* $host: " other.txt | grep -aq '^file\|^message' &&
      fail "round $round: $other settled what $host left: $(cat other.txt)"
    [[ $(ls "$work/r/root/CSB" 2> /dev/null || true) == "$before" ]] ||
      fail "round $round: $other touched the files $host left"
    use_host "$host"
  fi
  "${gen[@]}" recover > /dev/null || fail "round $round: recovery"
  echo "round $round, killed $what: $(check_once "${shape[@]}")"
  "${gen[@]}" listed > /dev/null || fail "round $round, killed $what: $("${gen[@]}" listed)"
  if (( round % 5 == 0 )); then
    # What is left after a crash is generated as usual.
    "${gen[@]}" generate 1 40 > /dev/null || fail "round $round: the run after the kill"
    check_once "${shape[@]}" | grep -q '^in-trasbanc 0 in-files 5000 ' || fail "round $round: receipts left"
  fi
done
echo "30 kills, every receipt exactly once"
