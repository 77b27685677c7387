#!/usr/bin/env bash
# kitkeys in a real terminal (tmux) shows the program's code of every key
# tmux sends; and the same program driven headless by a key script.
set -euo pipefail

bin="${QDEB_BINARY_DIR:?}/tools/kitkeys/kitkeys"
[[ -x "$bin" ]] || { echo "kitkeys not built: $bin"; exit 1; }
work="$(mktemp -d)"
socket="kitkeys-e2e-$$"
export LC_ALL=C.UTF-8
tmux_() { env -u TMUX tmux -u -L "$socket" -f /dev/null "$@"; }
cleanup() {
  tmux_ kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# The count of events kitkeys shows at its foot, to know when a key is in.
events_shown() {
  tmux_ capture-pane -p -t keys | sed -n 's/^ Esdeveniments: \([0-9]*\).*/\1/p' | tail -1
}

wait_for_events() {
  local want=$1
  for _ in $(seq 1 100); do
    [[ "$(events_shown)" == "$want" ]] && return 0
    sleep 0.05
  done
  return 1
}

# --- the real terminal -------------------------------------------------------
# A session that lives through the whole test, so that ending the others
# never ends the server while the next one is being made.
tmux_ new-session -d -s keep "sleep 600"
tmux_ new-session -d -s keys -x 100 -y 30 \
  "KITCONSOLE_SIZE=80x28 '$bin'; echo \"kitkeys ended with \$?\"; sleep 30"
tmux_ set -g escape-time 0
wait_for_events 0 || fail "kitkeys did not start: $(tmux_ capture-pane -p -t keys)"

keys=(F1 S-F1 C-F1 M-F1 F11 F12 C-Left C-Right C-Home M-x BTab Home End PPage NPage IC DC
      Up Down Left Right
      F10 S-F10 C-F10 M-F10 S-F11 C-F11 M-F11 S-F12 C-F12 M-F12 F5 C-F5
      M-c M-f M-e M-X Tab Enter BSpace)
expected=(3b00 5400 5e00 6800 8500 8600 7300 7400 7700 2d00 f00 4700 4f00 4900 5100 5200 5300
          4800 5000 4b00 4d00
          4400 5d00 6700 7100 8700 8900 8b00 8800 8a00 8c00 3f00 6200
          2e00 2100 1200 2d00 9 d 8)
# The newest line of the framed area ("│ CODE   NAME ...") is the last one.
last_code() {
  tmux_ capture-pane -p -t keys | sed -n 's/^│ \([0-9a-f]\{1,4\}\) .*/\1/p' | tail -1
}
n=0
: > "$work/got"
for key in "${keys[@]}"; do
  tmux_ send-keys -t keys "$key"
  n=$((n + 1))
  wait_for_events "$n" || fail "no event shown for $key"
  last_code >> "$work/got"
done
printf '%s\n' "${expected[@]}" > "$work/want"
if ! diff -u "$work/want" "$work/got" > "$work/diff"; then
  echo "codes received differ from the PC codes (- expected, + shown):"
  cat "$work/diff"
  paste -d' ' <(printf '%s\n' "${keys[@]}") "$work/got"
  exit 1
fi
tmux_ capture-pane -p -t keys | grep -q "Alt+X" || fail "key names are not shown"

# A click reports its 1-based row and column.
tmux_ send-keys -t keys -l $'\e[<0;10;3M'
n=$((n + 1))
wait_for_events "$n" || fail "no event shown for a click"
tmux_ capture-pane -p -t keys | grep -q "clic fila 3 columna 10" || fail "click not shown"

# A lone Escape is taken at once: an x typed a moment later is its own key,
# not Alt+X (a long escape delay would merge them).
tmux_ send-keys -t keys Escape
n=$((n + 1))
wait_for_events "$n" || fail "no event shown for a lone Escape"
sleep 0.3
tmux_ send-keys -t keys x
n=$((n + 1))
wait_for_events "$n" || fail "no event shown for x after Escape"
tmux_ capture-pane -p -t keys | sed -n 's/^│ \([0-9a-f]\{1,4\}\) .*/\1/p' | tail -2 | tr '\n' ' ' |
  grep -qx '1b 78 ' || fail "Escape then x did not arrive as two keys: $(tmux_ capture-pane -p -t keys)"

# A terminal smaller than the screen shows a message until it is made large
# enough again; then the screen is back as it was.
tmux_ capture-pane -p -t keys > "$work/before-resize"
tmux_ resize-window -t keys -x 60 -y 20
small=""
for _ in $(seq 1 50); do
  small=$(tmux_ capture-pane -p -t keys)
  grep -q "massa petita" <<<"$small" && break
  sleep 0.05
done
grep -q "massa petita" <<<"$small" || fail "no message in a 60x20 terminal: $small"
grep -q "80 x 28" <<<"$small" || fail "the message does not say the size needed: $small"
grep -q "KITKEYS" <<<"$small" && fail "the screen is drawn over the message: $small"
tmux_ resize-window -t keys -x 79 -y 30
sleep 0.3
tmux_ capture-pane -p -t keys | grep -q "massa petita" || fail "no message one column short"
tmux_ resize-window -t keys -x 100 -y 30
for _ in $(seq 1 50); do
  tmux_ capture-pane -p -t keys | grep -q "KITKEYS" && break
  sleep 0.05
done
tmux_ capture-pane -p -t keys > "$work/after-resize"
diff -u "$work/before-resize" "$work/after-resize" > "$work/resize.diff" ||
  fail "the screen did not come back after the resize: $(cat "$work/resize.diff")"

# Escape twice ends it and gives the terminal back.
tmux_ send-keys -t keys Escape
sleep 0.2
tmux_ send-keys -t keys Escape
for _ in $(seq 1 60); do
  tmux_ capture-pane -p -t keys | grep -q "kitkeys ended with 0" && break
  sleep 0.05
done
tmux_ capture-pane -p -t keys | grep -q "kitkeys ended with 0" ||
  fail "kitkeys did not end on Escape twice: $(tmux_ capture-pane -p -t keys)"
tmux_ kill-session -t keys

# --- signals: the terminal is given back and taken again -----------------------
# kitkeys runs under a plain sh (no job control, so nothing else sets the
# line's modes); the modes are read from outside with stty -F.
start_under_sh() {
  tmux_ new-session -d -s sig -x 100 -y 30 \
    "sh -c 'KITCONSOLE_SIZE=80x28 \"$bin\"; echo status=\$?; sleep 30'"
  tmux_ set -g escape-time 0
  sh_pid=$(tmux_ display -p -t sig '#{pane_pid}')
  pane_tty=$(tmux_ display -p -t sig '#{pane_tty}')
  kk=""
  for _ in $(seq 1 100); do
    kk=$(pgrep -P "$sh_pid" -x kitkeys || true)
    [[ -n "$kk" ]] && tmux_ capture-pane -p -t sig | grep -q "Esdeveniments" && return 0
    sleep 0.05
  done
  fail "kitkeys did not start under sh: $(tmux_ capture-pane -p -t sig)"
}
modes() { stty -F "$pane_tty" -a | tr ' ;' '\n\n' | grep -x -e '-*icanon' -e '-*echo' -e '-*isig' | tr '\n' ' '; }
shows_screen() { tmux_ capture-pane -p -t sig | grep -q "Esdeveniments"; }

start_under_sh
[[ "$(modes)" == "-isig -icanon -echo " ]] || fail "kitkeys runs with the line modes '$(modes)'"
for sig in TERM HUP INT; do
  [[ $sig == TERM ]] || start_under_sh
  kill -"$sig" "$kk"
  for _ in $(seq 1 50); do tmux_ capture-pane -p -t sig | grep -q "status=" && break; sleep 0.05; done
  tmux_ capture-pane -p -t sig | grep -q "status=" || fail "kitkeys did not end on SIG$sig"
  shows_screen && fail "the screen stayed after SIG$sig"
  [[ "$(modes)" == "isig icanon echo " ]] || fail "SIG$sig left the line modes '$(modes)'"
  tmux_ kill-session -t sig
done

# A stop needs a shell with job control: there kitkeys is stopped, gives the
# screen back, and after fg takes the line again and redraws everything.
tmux_ new-session -d -s job -x 100 -y 30 "env PS1='$ ' bash --norc --noprofile -i"
tmux_ set -g escape-time 0
shell_pid=$(tmux_ display -p -t job '#{pane_pid}')
pane_tty=$(tmux_ display -p -t job '#{pane_tty}')
sleep 0.3
tmux_ send-keys -t job "KITCONSOLE_SIZE=80x28 '$bin'" Enter
kk=""
for _ in $(seq 1 100); do
  kk=$(pgrep -P "$shell_pid" -x kitkeys || true)
  [[ -n "$kk" ]] && tmux_ capture-pane -p -t job | grep -q "Esdeveniments" && break
  sleep 0.05
done
[[ -n "$kk" ]] || fail "kitkeys did not start under bash"
tmux_ send-keys -t job F3
sleep 0.2
kill -TSTP "$kk"
sleep 0.4
[[ "$(ps -o stat= -p "$kk")" == T* ]] || fail "kitkeys did not stop on SIGTSTP"
tmux_ capture-pane -p -t job | grep -q "Esdeveniments" && fail "the screen stayed while stopped"
tmux_ send-keys -t job "fg" Enter
for _ in $(seq 1 50); do tmux_ capture-pane -p -t job | grep -q "Esdeveniments" && break; sleep 0.05; done
tmux_ capture-pane -p -t job | grep -q "^│ 3d00 " || fail "no full redraw after fg: $(tmux_ capture-pane -p -t job)"
[[ "$(modes)" == "-isig -icanon -echo " ]] || fail "after fg the line modes are '$(modes)'"
tmux_ send-keys -t job F2
sleep 0.3
tmux_ capture-pane -p -t job | grep -q "^│ 3c00 " || fail "keys do not arrive after fg"
tmux_ kill-server 2>/dev/null || true

# --- headless ------------------------------------------------------------------
cat > "$work/script" <<'KEYS'
# every kind of line of a key script
F1
S-F12
C-PgDn
M-e
text:Ñu
click:4,7
Esc
Esc
KEYS
status=0
KITCONSOLE="headless:$work/script" KITCONSOLE_DUMP="$work/screen" "$bin" || status=$?
[[ $status == 0 ]] || fail "headless kitkeys ended with $status"
got=$(sed -n 's/^│ \([0-9a-f]\{1,4\}\) *\(.*[^ ]\) *│$/\1 \2/p' "$work/screen" | sed 's/  */ /g')
want="3b00 F1
8800 Shift+F12 Maj
7600 Ctrl+PgDn Ctrl
1200 Alt+E Alt
a5 Ñ
75 u
744 clic fila 4 columna 7 botó esquerre
1b Esc
1b Esc"
[[ "$got" == "$want" ]] || fail "headless screen differs:
$(diff <(echo "$want") <(echo "$got"))"
[[ -s "$work/screen.attr" ]] || fail "no attribute dump"

# A script that runs out while kitkeys waits ends it with status 3.
printf 'F2\n' > "$work/short"
status=0
KITCONSOLE="headless:$work/short" KITCONSOLE_DUMP="$work/short.screen" "$bin" 2>/dev/null || status=$?
[[ $status == 3 ]] || fail "exhausted script gave status $status, not 3"
grep -q "3c00" "$work/short.screen" || fail "no dump when the script ran out"

echo "kitkeys: all checks passed"
