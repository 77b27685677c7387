#!/bin/bash
# A generation whose file cannot be written (past the file size limit of
# "ulimit -f") commits nothing: every receipt stays in TrasBanc, no
# temporary file or journal is left, and the message says what failed and
# where. The same generation without the limit then writes them all.
set -euo pipefail
source "$(dirname "$0")/remit_root.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shape=(500 5 1)

make_root "$work/r"
use_root "$work/r"
cd "$work/r/root"
"$driver" fill "${shape[@]}" > /dev/null || fail "fill"

# 64 KiB: the group's file is 300 KiB.
status=0
( ulimit -f 64; "$driver" generate 1 5 > out.txt 2>&1 ) || status=$?
(( status == 4 )) || fail "the failed group is not reported (status $status): $(cat out.txt)"
grep -q '^message FITXER NO GENERAT\. .*\\CSB\\[0-9A-Z]\{8\}\.E19\.tmp' out.txt \
  || fail "the message does not name the file: $(cat out.txt)"
grep -q 'MASSA GRAN' out.txt || fail "the message does not say why: $(cat out.txt)"
grep -q '^file ' out.txt && fail "a file is listed: $(cat out.txt)"
[ -z "$(ls CSB)" ] || fail "files are left: $(ls CSB)"
check_once "${shape[@]}" | grep -q '^in-trasbanc 500 in-files 0 files 0$' || fail "receipts left TrasBanc"
echo "over the limit: $(grep '^message' out.txt)"

"$driver" generate 1 5 > out.txt 2>&1 || fail "the run without a limit: $(cat out.txt)"
check_once "${shape[@]}" | grep -q '^in-trasbanc 0 in-files 500 files 1$' || fail "receipts not written"
echo "without the limit: every receipt written"
