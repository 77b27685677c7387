#!/bin/bash
# Window stack end to end in a real terminal: kitwin draws a full screen of
# text, box-drawing characters and accented letters, opens two nested
# windows and a message panel on keys, and closes them again. The pane must
# then read exactly as before, colours included, and the window file must
# be gone.
set -euo pipefail
kitwin="$QDEB_BINARY_DIR/tools/kitwin/kitwin"
sock="qdeb-windows-$$"
session=w
source "$QDEB_SOURCE_DIR/tests/tmux_lib.sh"

mkdir -p "$work/tmp"
tmux_start "env KITTMP='$work/tmp/' KITCONSOLE_SIZE=80x25 '$kitwin'; echo kitwin-exit=\$? > '$work/exit'; sleep 30"

capture() { tmux -L "$sock" capture-pane -p -e -t w > "$1"; pane > "$1.txt"; }

wait_for "Núñez ÇÀ ╔═╗"
sleep 0.3
capture "$work/before"
grep -qF "╔═╗" "$work/before.txt" || fail "no box-drawing characters on the screen"
grep -qF "Núñez" "$work/before.txt" || fail "no accented letters on the screen"

keys 1
wait_for "Primera finestra"
keys 2
wait_for "Segona finestra"
keys m
wait_for "PREMEU UNA TECLA PER CONTINUAR"
[ -f "$work/tmp/WinPush.tmp" ] || fail "no WinPush.tmp while windows are open"
capture "$work/open"
cmp -s "$work/before" "$work/open" && fail "opening the windows changed nothing"

# A terminal made smaller than the screen shows a message instead; made
# large enough again it shows the windows exactly as they were.
tmux -L "$sock" resize-window -t w -x 70 -y 24
wait_for "massa petita"
tmux -L "$sock" capture-pane -p -t w | grep -qF "Segona finestra" && fail "windows drawn over the message"
tmux -L "$sock" resize-window -t w -x 80 -y 25
wait_for "Segona finestra"
sleep 0.3
capture "$work/reopened"
cmp -s "$work/open" "$work/reopened" || fail "the screen did not come back after the resize"

keys c
keys c
keys c
sleep 0.3
capture "$work/after"
if ! cmp -s "$work/before.txt" "$work/after.txt"; then
  diff "$work/before.txt" "$work/after.txt" >&2 || true
  fail "the screen text was not restored"
fi
cmp -s "$work/before" "$work/after" || fail "the screen colours were not restored"
[ ! -e "$work/tmp/WinPush.tmp" ] || fail "WinPush.tmp left behind after the last close"

keys q
for _ in $(seq 1 50); do [ -f "$work/exit" ] && break; sleep 0.1; done
grep -qx 'kitwin-exit=0' "$work/exit" 2>/dev/null || fail "kitwin did not end cleanly: $(cat "$work/exit" 2>/dev/null)"
echo "windows e2e: ok"
