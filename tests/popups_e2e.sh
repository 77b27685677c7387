#!/bin/bash
# The calculator, the calendar and the help pages end to end in a real
# terminal. On the generation form of a demo installation: Alt+C opens the
# calendar at the work date, PgDn and Right move it, "F" types the date into
# the collection-date field; Alt+X on a range field adds up 12 + 30 and "F"
# types the result; F1 shows the program's help page, Down scrolls it and
# Escape comes back to the form with the field as it was. The tape is still
# there in a second run, and a damaged KITCALC.TMP opens a working
# calculator whose next save replaces the file whole.
set -euo pipefail
sock="qdeb-popups-$$"
source "$QDEB_SOURCE_DIR/tests/e2e_lib.sh"
field() { pane | grep -F -- "$1" | head -1; }
gone() {
  for _ in $(seq 1 50); do
    pane | grep -qF -- "$1" || return 0
    sleep 0.1
  done
  fail "pane still shows '$1': $(pane)"
}

# The work date of the demo's terminal, PgDn (three months, the day cut to
# the month's length), then Right (a day), as the installation writes dates
# (day and month without leading zeros).
expected_date=$(python3 - "$term/VelaTerm.ini" <<'PY'
import calendar, datetime, re, sys
data = open(sys.argv[1], encoding="cp850").read()
d = datetime.datetime.strptime(re.search(r"Data=(\d{8})", data).group(1), "%Y%m%d").date()
month = d.month + 3
year = d.year + (month - 1) // 12
month = (month - 1) % 12 + 1
d = datetime.date(year, month, min(d.day, calendar.monthrange(year, month)[1]))
d += datetime.timedelta(days=1)
print(f"{d.day}/{d.month}/{d.year}")
PY
)

start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
keys Enter
wait_for "DATA DE COBRAMENT"
# The calendar types over the field from its first character.
keys Home
keys M-c
wait_for "DL DT DC DJ DV DS DG"
keys NPage
keys Right
keys F
gone "DL DT DC DJ DV DS DG"
wait_for "DATA DE COBRAMENT ....: $expected_date"

# The range field: the result in hundredths, 4200, fills its two places.
keys Down
keys Home
keys M-x
wait_for "└────────────────────────┘"
keys 1 2 + 3 0 =
wait_for "42   │"
pane | grep -qF "12 + │" || fail "the tape lacks 12 +: $(pane)"
pane | grep -qF "30 = │" || fail "the tape lacks 30 =: $(pane)"
keys F
gone "└────────────────────────┘"
wait_for "DE LA REMESA .........: 42"

# The help page of the menu (REMESES), scrolled by a line, then back.
keys F1
wait_for "GESTIÓ DE REMESES DE REBUTS DOMICILIATS"
keys Down
gone "GESTIÓ DE REMESES DE REBUTS DOMICILIATS"
wait_for "G - GENERAR ELS FITXERS DEL QUADERN 19.14"
keys F1
wait_for "AJUDA GENERAL DELS PROGRAMES DE L'OFICINA"
keys Escape
gone "AJUDA GENERAL DELS PROGRAMES DE L'OFICINA"
keys Escape
gone "G - GENERAR ELS FITXERS DEL QUADERN 19.14"
wait_for "DE LA REMESA .........: 42"
wait_for "DATA DE COBRAMENT ....: $expected_date"

# Leaving the form drops what was typed; Escape on the main form ends.
keys Escape
keys Escape
wait_for "OPERACI"
keys Escape
ended_cleanly
close_pane
[[ -f $term/KITCALC.TMP ]] || fail "no KITCALC.TMP in the terminal directory"
ls "$term" | grep -qi '\.tmp\.[0-9]*\.tmp$' && fail "a temporary file was left: $(ls "$term")"

# A second run: the tape of the first is still there.
start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
keys M-x
wait_for "└────────────────────────┘"
pane | grep -qF "12 + │" || fail "the tape did not survive the program's end: $(pane)"
pane | grep -qF "42   │" || fail "the result did not survive the program's end: $(pane)"
keys Escape
gone "└────────────────────────┘"
keys Escape
wait_exit
close_pane

# A damaged state file: garbage, a line cut short and a number beyond any.
printf '\377\001garbage,"\r\n-1,99999\r\n1e999,%0400d\r\n' 7 > "$term/KITCALC.TMP"
start
wait_for "GENERAR ELS FITXERS DEL QUADERN 19.14"
keys M-x
wait_for "└────────────────────────┘"
keys 7 '*' 6 =
wait_for "42   │"
keys Escape
gone "└────────────────────────┘"
keys Escape
ended_cleanly
head -1 "$term/KITCALC.TMP" | grep -q '^1,20,42,42' \
  || fail "the damaged file was not replaced by the new state: $(head -3 "$term/KITCALC.TMP")"
echo "pop-ups end to end: calendar $expected_date, calculator 4200, help page and tape as expected"
