#!/bin/bash
# The spool viewer KITSCR in a real terminal: a report of two pages, paged
# down to its second page, scrolled sideways to the columns past the
# screen's 80, and left with Escape; then a missing spool, told with its
# path, and left with a key.
set -euo pipefail
kitscr="$QDEB_BINARY_DIR/tools/kitscr/kitscr"
sock="qdeb-kitscr-$$"
session=v
source "$QDEB_SOURCE_DIR/tests/tmux_lib.sh"

mkdir -p "$work/tmp" "$work/empty"
python3 "$QDEB_SOURCE_DIR/tests/spool_sample.py" "$work/tmp/kitprint.tmp" 70
start() {
  rm -f "$work/exit"
  tmux_start "env KITTMP='$1' '$kitscr'; echo kitscr-exit=\$? > '$work/exit'; sleep 30"
}
wait_exit() {
  for _ in $(seq 1 50); do
    [[ -f $work/exit ]] && break
    sleep 0.1
  done
  grep -qx "kitscr-exit=$1" "$work/exit" 2>/dev/null ||
    fail "kitscr did not end with status $1: $(cat "$work/exit" 2>/dev/null) $(pane)"
}

start "$work/tmp/"
wait_for "PÀGINA 1 DE 2"
wait_for "VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS"
pane | grep -qF "ORDENANT B12345000000 ......" || fail "the first party is not on the screen: $(pane)"
pane | grep -qF "REGISTRES" && fail "columns past 80 shown before scrolling sideways"

# 66 lines on page 1: three screens of 24 lines, then page 2.
keys NPage
wait_for "LÍNIA 25"
pane | grep -qF "ORDENANT B12345018000" || fail "PgDn did not show the next lines: $(pane)"
keys NPage
keys NPage
wait_for "PÀGINA 2 DE 2"
wait_for "el registre 5683 no està en seqüència"

keys Right
wait_for "COLUMNA 11"
# The report is 95 columns wide: the view stops with its last column at the
# screen's right edge.
keys Right
keys Right
wait_for "COLUMNA 16"
pane | grep -qE "REGISTRES *$" || fail "Right did not bring the last column in: $(pane)"
keys Left
wait_for "COLUMNA 6 "
keys Left
wait_for "COLUMNA 1 "
# Back from the top of page 2 to the last screen of page 1 (66 - 24 + 1).
keys PPage
wait_for "PÀGINA 1 DE 2  LÍNIA 43"
keys Home
wait_for "PÀGINA 1 DE 2  LÍNIA 1 "
keys Escape
wait_exit 0
tmux -L "$sock" kill-server 2>/dev/null || true

start "$work/empty/"
wait_for "kitprint.tmp: NO EXISTEIX"
pane | grep -qF 'empty\kitprint.tmp' || fail "the message does not name the spool's path: $(pane)"
keys x
wait_exit 1
echo "kitscr e2e: ok"
