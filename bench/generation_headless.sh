#!/usr/bin/env bash
# The generation of about generation_bench's shape (100,000 receipts, 99
# remittances, as the demo numbers them up to 99, creditor suffixes 0, 1 and
# 2) through the whole program, headless: start, main form, generation form,
# the progress window, a panel per file, and the end; timed from the
# program's start to its end and set beside generation_bench's in-process
# figure, run just before it on the same machine. Target: at most 1.2 times
# that figure (the screen must not cost the generation). The converter is
# left out of the installation: it is a program of its own.
# Run by bench/run (which builds build-bench/); QDEB_BUILD names another build.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${QDEB_BUILD:-$repo/build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/inprocess"
inprocess=$(cd "$work/inprocess" && "$build/bench/generation_bench" | sed -n 's/^generation: .* in \([0-9.]*\) s,.*/\1/p')
[[ -n $inprocess ]] || { echo "generation_bench gave no figure" >&2; exit 1; }

mapfile -t environment < <(QDEB_BUILD=$build \
  QDEB_DEMO_ARGS="--receipts 100000 --remittances 99 --suffixes 0,1,2" \
  bash "$repo/scripts/demo-root" "$work/demo" 2>/dev/null)
root=$work/demo/kit
rm -f "$root/bin/QXCONVRT"
# "G", the date kept, remittances 1 to 99, confirmed; a panel per file;
# Escape on the generation form and on the main form.
printf '%s\n' Enter Enter 1 Enter BSpace BSpace BSpace BSpace 9 9 Enter S Enter \
  Enter Enter Enter Esc Esc > "$work/keys"
start=$(date +%s.%N)
env "${environment[@]}" KITCONSOLE="headless:$work/keys" KITCONSOLE_DUMP="$work/dump" \
  "$build/app/qdebconv" || { echo "the program ended with $?: $(cat "$work/dump")" >&2; exit 1; }
end=$(date +%s.%N)
left=$("$build/tools/kitdb/kitdb" stat "$root/DADES/TrasBanc.dat" | sed -n 's/^records: *//p')
files=$(find "$root/CSB" -name '*.E19' | wc -l)
if [[ $left != 0 || $files != 3 ]]; then
  echo "the headless run left $left receipts and wrote $files files: $(cat "$work/dump")" >&2
  exit 1
fi
awk -v whole="$(echo "$end - $start" | bc)" -v inprocess="$inprocess" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "whole program, headless: 100000 receipts in 3 files in %.2f s; in process %.2f s; ratio %.2f (target <= 1.2); load %s\n",
         whole, inprocess, whole / inprocess, load
}'
