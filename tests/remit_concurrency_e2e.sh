#!/bin/bash
# Two generations at once over the same receipts, as two terminals of the
# office would run them (each with its own work directory): every receipt
# ends up in exactly one file, none is left, none is written twice. Once
# over the same range, once over overlapping ranges, three rounds each.
#
# REMIT_BACKEND=pg (remit_concurrency_pg_e2e.sh): the same on the database
# server, the two generations on two hosts that share the root.
set -euo pipefail
source "$(dirname "$0")/remit_root.sh"
work=$(mktemp -d)
trap 'remit_drop; rm -rf "$work"' EXIT
shape=(5000 40 4)

for round in 1 2 3; do
  for ranges in "1 40|1 40" "1 30|10 40"; do
    make_root "$work/r"
    mkdir -p "$work/r/work2"
    cp "$work/r/work/VelaTerm.ini" "$work/r/work2/"
    use_root "$work/r"
    cd "$work/r/root"
    use_host hostA
    "${gen[@]}" fill "${shape[@]}" > /dev/null || fail "fill"
    KITTMP="C:$work/r/work/" "${gen[@]}" generate ${ranges%|*} > one.txt 2>&1 &
    first=$!
    use_host hostB
    KITTMP="C:$work/r/work2/" "${gen[@]}" generate ${ranges#*|} > two.txt 2>&1 &
    second=$!
    wait "$first" || fail "the first generation: $(cat one.txt)"
    wait "$second" || fail "the second generation: $(cat two.txt)"
    result=$(check_once "${shape[@]}")
    echo "round $round, ranges $ranges: $result; $(grep -c '^file' one.txt) and $(grep -c '^file' two.txt) files"
    [[ "$result" == "in-trasbanc 0 in-files 5000 "* ]] || fail "receipts left: $result"
  done
done
echo "every receipt in exactly one file"
