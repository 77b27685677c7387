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
tmux_ new-session -d -s keys -x 100 -y 30 \
  "KITCONSOLE_SIZE=80x28 '$bin'; echo \"kitkeys ended with \$?\"; sleep 30"
tmux_ set -g escape-time 0
wait_for_events 0 || fail "kitkeys did not start: $(tmux_ capture-pane -p -t keys)"

keys=(F1 S-F1 C-F1 M-F1 F11 F12 C-Left C-Right C-Home M-x BTab Home End PPage NPage IC DC
      Up Down Left Right)
expected=(3b00 5400 5e00 6800 8500 8600 7300 7400 7700 2d00 f00 4700 4f00 4900 5100 5200 5300
          4800 5000 4b00 4d00)
n=0
for key in "${keys[@]}"; do
  tmux_ send-keys -t keys "$key"
  n=$((n + 1))
  wait_for_events "$n" || fail "no event shown for $key"
done

# Lines of the framed area: "│ CODE   NAME ...".
tmux_ capture-pane -p -t keys | sed -n 's/^│ \([0-9a-f]\{1,4\}\) .*/\1/p' > "$work/got"
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
