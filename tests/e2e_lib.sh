# What the end-to-end tests of qdebconv share, sourced by them: a demo
# installation in a scratch directory (root, term), the environment the
# program runs with there, and the program in a tmux pane of 80 x 25 with
# helpers to type and to wait for the screen. The sourcing script sets sock.
build=$QDEB_BINARY_DIR
source_dir=$QDEB_SOURCE_DIR
qdebconv=$build/app/qdebconv
kitdb=$build/tools/kitdb/kitdb
work=$(mktemp -d)
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

environment=()
while IFS= read -r line; do environment+=("$line"); done \
  < <(QDEB_BUILD=$build bash "$source_dir/scripts/demo-root" "$work/demo")
root=$work/demo/kit
term=$work/demo/term

cat > "$work/tmux.conf" <<'CONF'
set -g status off
set -g escape-time 0
CONF
export LANG=C.UTF-8 LC_ALL=C.UTF-8
quoted_environment=$(printf '%q ' "${environment[@]}")
start() {
  tmux -u -L "$sock" -f "$work/tmux.conf" new-session -d -s g -x 80 -y 25 \
    "env $quoted_environment '$qdebconv'; echo qdebconv-exit=\$? > '$work/exit'; sleep 60"
}
pane() { tmux -L "$sock" capture-pane -p -t g; }
wait_for() {
  for _ in $(seq 1 100); do
    pane | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "pane never showed '$1': $(pane)"
}
keys() { tmux -L "$sock" send-keys -t g "$@"; sleep 0.3; }
wait_exit() {
  for _ in $(seq 1 50); do
    [[ -f $work/exit ]] && return 0
    sleep 0.1
  done
  fail "qdebconv did not end: $(pane)"
}

