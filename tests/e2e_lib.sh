# What the end-to-end tests of qdebconv share, sourced by them: a demo
# installation in a scratch directory (root, term), the environment the
# program runs with there, and the program in a tmux pane of 80 x 25 with
# helpers to type and to wait for the screen. The sourcing script sets sock.
build=$QDEB_BINARY_DIR
source_dir=$QDEB_SOURCE_DIR
qdebconv=$build/app/qdebconv
kitdb=$build/tools/kitdb/kitdb
source "$source_dir/tests/tmux_lib.sh"

environment=()
while IFS= read -r line; do environment+=("$line"); done \
  < <(QDEB_BUILD=$build bash "$source_dir/scripts/demo-root" "$work/demo")
root=$work/demo/kit
term=$work/demo/term

quoted_environment=$(printf '%q ' "${environment[@]}")
start() {
  tmux_start "env $quoted_environment '$qdebconv'; echo qdebconv-exit=\$? > '$work/exit'; sleep 60"
}
wait_exit() {
  for _ in $(seq 1 50); do
    [[ -f $work/exit ]] && return 0
    sleep 0.1
  done
  fail "qdebconv did not end: $(pane)"
}
# Waits for the program's end and fails unless it ended with status 0.
ended_cleanly() {
  wait_exit
  grep -qx "qdebconv-exit=0" "$work/exit" || fail "qdebconv ended with $(cat "$work/exit")"
}
# Ends the pane, so that start can run the program again.
close_pane() {
  tmux -L "$sock" kill-server 2>/dev/null || true
  rm -f "$work/exit"
}


# From the main form: "T", the demo's remittance file $1 of \kit\REMESES\
# picked by name, the destination left at A:, and "S" to the confirmation.
start_copy() {
  keys T
  keys Enter
  wait_for "UNITAT D'ORIGEN"
  keys Enter
  keys $(printf 'BSpace %.0s' $(seq 1 40))
  keys '\kit\REMESES\'
  keys Enter
  keys "$1"
  keys Enter
  keys Enter
  wait_for "CONFIRMEU"
  keys S
  keys Enter
}

# The program started and remittances 1 to 4 chosen and confirmed for "G".
choose_range() {
  start
  wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
  keys Enter
  wait_for "DATA DE COBRAMENT"
  keys Enter
  keys 1 Enter
  keys BSpace BSpace 4 Enter
  wait_for "CONFIRMEU (S/N)"
  keys S Enter
}
