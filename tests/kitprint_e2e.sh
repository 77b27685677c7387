#!/bin/bash
# The print program KITPRINT, not at a terminal (it tells on standard
# output). Without a print command on PATH it leaves the report as a PDF in
# the work directory, one sheet per report page, the text in its columns;
# with one it sends that PDF to it, and a print command that refuses it
# leaves the PDF and says why. A missing spool is told with its path.
set -euo pipefail
kitprint="$QDEB_BINARY_DIR/tools/kitprint/kitprint"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
if ! command -v pdftotext >/dev/null; then
  echo "kitprint e2e: skipped, pdftotext (poppler-utils) is missing"
  exit 0
fi
pdftotext=$(command -v pdftotext)

mkdir -p "$work/term" "$work/nolp" "$work/lp" "$work/badlp" "$work/empty"
python3 "$QDEB_SOURCE_DIR/tests/spool_sample.py" "$work/term/kitprint.tmp" 70
export LANG=C.UTF-8 LC_ALL=C.UTF-8
run() {  # PATH, work directory; sets out and status
  status=0
  out=$(env -u KITCONSOLE PATH="$1" KITTMP="$2" "$kitprint" < /dev/null 2>&1) || status=$?
}

run "$work/nolp" "$work/term/"
[[ $status == 0 ]] || fail "kitprint without a printer ended with $status: $out"
pdf=$work/term/kitprint.pdf
[[ -s $pdf ]] || fail "no PDF in the work directory: $out"
grep -qF "NO HI HA CAP IMPRESSORA" <<<"$out" || fail "no word of the missing printer: $out"
grep -qF "$pdf" <<<"$out" || fail "the message does not say where the PDF is: $out"
# One sheet per report page: pdftotext ends every page with a form feed.
pages=$("$pdftotext" -layout "$pdf" - | tr -cd '\f' | wc -c)
[[ $pages == 2 ]] || fail "$pages PDF pages instead of 2"
page1=$("$pdftotext" -layout -f 1 -l 1 "$pdf" -)
page2=$("$pdftotext" -layout -f 2 -l 2 "$pdf" -)
grep -qE "^DESPATX GARCIA +PÀGINA +1$" <<<"$page1" || fail "no heading on page 1: $page1"
grep -qF "VERIFICACIÓ DISKETTE DE TRASPÀS DE REBUTS" <<<"$page1" || fail "no title on page 1"
grep -qE "ORDENANT B12345059000 \.{26} +60 +3 +5$" <<<"$page1" ||
  fail "the 60th party is not the last line of page 1: $page1"
grep -qF "B12345060000" <<<"$page1" && fail "the 61st party is on page 1"
grep -qE "PÀGINA +2$" <<<"$page2" || fail "no heading on page 2: $page2"
grep -qF "ORDENANT B12345069000" <<<"$page2" || fail "the last party is not on page 2"
grep -qF "el registre 5683 no està en seqüència" <<<"$page2" || fail "no error line on page 2"
grep -qF "*@e" <<<"$page1$page2" && fail "the printer command was printed as text"
# The numbers end in one column under their heading.
heading=$(grep -m1 "REGISTRES" <<<"$page1")
number=$(grep -m1 "ORDENANT B12345000000" <<<"$page1")
[[ ${#heading} == "${#number}" ]] ||
  fail "the records column does not line up: '$heading' / '$number'"

# A print command that takes the PDF.
cat > "$work/lp/lp" <<LP
#!/bin/sh
printf '%s\n' "\$@" > "$work/lp-arguments"
echo "request id is printer-7 (1 file(s))"
LP
chmod +x "$work/lp/lp"
rm -f "$pdf"
run "$work/lp" "$work/term/"
[[ $status == 0 ]] || fail "kitprint with a printer ended with $status: $out"
grep -qF "L'INFORME S'HA ENVIAT A LA IMPRESSORA (request id is printer-7" <<<"$out" ||
  fail "no word of the printer taking the report: $out"
[[ $(cat "$work/lp-arguments") == "$pdf" ]] || fail "lp was given $(cat "$work/lp-arguments")"
[[ -s $pdf ]] || fail "no PDF for the printer"

# A print command that refuses it: the PDF stays and the reason is told.
cat > "$work/badlp/lp" <<'LP'
#!/bin/sh
echo "lp: Error - no default destination available." >&2
exit 1
LP
chmod +x "$work/badlp/lp"
run "$work/badlp" "$work/term/"
[[ $status == 2 ]] || fail "a refused print ended with $status: $out"
grep -qF "LA IMPRESSORA NO HA ACCEPTAT L'INFORME (lp: Error - no default destination available.)" <<<"$out" ||
  fail "the refusal is not told: $out"
grep -qF "$pdf" <<<"$out" || fail "the refusal does not say where the PDF is: $out"

run "$work/nolp" "$work/empty/"
[[ $status == 1 ]] || fail "a missing spool ended with $status: $out"
grep -qF 'empty\kitprint.tmp: NO EXISTEIX' <<<"$out" || fail "the missing spool is not told: $out"
echo "kitprint e2e: ok"
