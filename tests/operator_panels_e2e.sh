#!/bin/bash
# What the operator is told, end to end in a real terminal on a demo
# installation. A second copy of the program started on the work directory
# of a running one is refused with a message naming the directory, and the
# first one's catalogue is left alone. In the first: a range of remittances
# from 5 to 2 is refused with its reason; the panel of each file generated
# says that it waits for a key; Escape at the prompt for the second volume
# of a copy ends with a panel saying which volume the set lacks.
set -euo pipefail
sock="qdeb-panels-$$"
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"

file=$(cd "$root/REMESES" && ls REMESA_ANUAL_*.Q19)
floppy=$work/demo/floppy
prompt="PREMEU UNA TECLA PER CONTINUAR"

start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"

# The second copy, in a terminal of its own, on the same work directory.
catalogue=$(stat -c %i "$term/USort.dat")
tmux -u -L "$sock" new-session -d -s second -x 80 -y 25 \
  "env $quoted_environment '$qdebconv'; echo qdebconv-exit=\$? > '$work/second-exit'; sleep 60"
for _ in $(seq 1 50); do
  [[ -f $work/second-exit ]] && break
  sleep 0.1
done
second=$(tmux -L "$sock" capture-pane -J -p -t second)
grep -qx "qdebconv-exit=1" "$work/second-exit" 2>/dev/null || fail "the second copy was not refused: $second"
grep -qF "EL PROGRAMA JA S'ESTÀ EXECUTANT AMB AQUEST DIRECTORI DE TREBALL: D:\\term\\" <<<"$second" \
  || fail "no message naming the work directory: $second"
[[ $(stat -c %i "$term/USort.dat") == "$catalogue" ]] || fail "the second copy replaced the first's catalogue"

# Escape goes to the first field, and leaves the form from there.
back_to_main_form() {
  for _ in 1 2 3; do
    pane | grep -qF "OPERACI" && break
    keys Escape
  done
  wait_for "OPERACI"
}

# Remittances 5 to 2: refused, and why.
keys Enter
wait_for "DATA DE COBRAMENT"
keys Enter
keys 5 Enter
keys BSpace BSpace 2 Enter
wait_for "LA PRIMERA REMESA NO POT SER MÉS GRAN QUE L'ÚLTIMA: 5 > 2"
grep -qF "$prompt" <<<"$(pane)" || fail "the refusal does not ask for a key: $(pane)"
keys Enter
wait_for "DATA DE COBRAMENT"
back_to_main_form

# Remittance 1 alone: each file's panel asks for a key.
keys Enter
wait_for "DATA DE COBRAMENT"
keys Enter
keys BSpace BSpace 1 Enter
keys BSpace BSpace 1 Enter
wait_for "CONFIRMEU (S/N)"
keys S Enter
wait_for "GENERAT FITXER"
screen=$(pane)
grep -qF "$prompt" <<<"$screen" || fail "the generated file's panel does not ask for a key: $screen"
keys Enter
for _ in $(seq 1 20); do
  sleep 0.5
  if pane | grep -qF "GENERAT FITXER"; then keys Enter; continue; fi
  if pane | grep -qF "CONVERTITS"; then keys Enter; continue; fi
  pane | grep -qF "OPERACI" && break
done
wait_for "OPERACI"

# A copy given up at the prompt for its second volume.
start_copy "$file"
wait_for "INSERIU CÒPIA DE SEGURETAT NÚMERO 2 A A:\\"
keys Escape
wait_for "CÒPIA ABANDONADA: EL JOC ÉS INCOMPLET, LI FALTA EL VOLUM 2"
grep -qF "$prompt" <<<"$(pane)" || fail "the copy's end does not ask for a key: $(pane)"
keys Enter
wait_for "FITXER ...............: $file"
back_to_main_form
keys Escape
ended_cleanly
echo "a second copy refused; reversed range, generated files and a copy given up told"
