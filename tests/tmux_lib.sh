# What the terminal end-to-end tests share, sourced by them: a scratch
# directory ($work, removed at the end with the tmux server), fail, and a
# tmux pane of 80 x 25 on socket $sock and session $session (default g)
# with helpers to read it, wait for a text and type. The sourcing script
# sets sock and starts its program in the pane with tmux_start.
work=$(mktemp -d)
session=${session:-g}
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/tmux.conf" <<'CONF'
set -g status off
set -g escape-time 0
CONF
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# Runs the command line in a new pane.
tmux_start() {
  tmux -u -L "$sock" -f "$work/tmux.conf" new-session -d -s "$session" -x 80 -y 25 "$1"
}
pane() { tmux -L "$sock" capture-pane -p -t "$session"; }
wait_for() {
  for _ in $(seq 1 100); do
    pane | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "pane never showed '$1': $(pane)"
}
keys() { tmux -L "$sock" send-keys -t "$session" "$@"; sleep 0.3; }
