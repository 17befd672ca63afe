#!/usr/bin/env bash
# Printing to the installed printer "TAVRIN" on one Windows version: a job
# of known text becomes a PDF with that text; two jobs of one name give two
# files; a name a file cannot carry gives a PDF with a safe name; PostScript
# that Ghostscript rejects gives no PDF, keeps the PostScript and logs why;
# a job of 50 MB goes through without the monitor's memory growing with it;
# documents named in any script, with an application's decorations or with
# '%' give PDFs under the names a user expects, and nothing else.
#
# With TAVRIN_GS_STANDIN=script the staged gswin32c.exe is a Unix script,
# which Wine gives neither a pipe nor a process handle: the monitor's way
# for a "Command" that is no Windows program. The memory part is skipped
# then (the job is not streamed on that way).
source "$(dirname "$0")/lib.sh"
STANDIN=${TAVRIN_GS_STANDIN:-relay}
new_case "printing-$STANDIN" "${1:?usage: printing.sh win98|nt40|win2k|winxp|winxp64|win10}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)

# pdf_text FILE: the text of a PDF, blank lines removed.
pdf_text() { pdftotext "$1" - 2>/dev/null | sed -e 's/^ *//' -e 's/ *$//' | grep -v '^$' || true; }
pdf_pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
only_one() { test "$(printf '%s\n' "$1" | grep -c .)" -eq 1; }

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
check "install: Wine's answer to the printer record, as the lifecycle case has it" has_line "$LOG" "AddPrinter: 87"

# (a) A GDI job of known text.
print_job "Tavrin test a" --pages 2
check "text job: printdoc succeeded" test "$JOB_STATUS" -eq 0
if wait_for_pdfs 1; then
  pass "text job: a PDF appeared"
else
  fail "text job: no complete PDF in C:${OUT#"$C"} within 120 s (the monitor's job path)"
  # Without a job path every later wait would run its full time too.
  WAIT_CAP=5
fi
PDF="$OUT/Tavrin test a.pdf"
check "text job: named after the document" test -f "$PDF"
check "text job: only that file" only_one "$(new_outputs .pdf)"
pdf_text "$PDF" >"$CASE/a.txt"
check "text job: two pages" test "$(pdf_pages "$PDF")" = 2
check "text job: the title" has_line "$CASE/a.txt" "Tavrin sample document"
check "text job: the paragraph" has_line "$CASE/a.txt" \
  "This document was printed to the Tavrin printer by an application."
check "text job: the last line of the paragraph" has_line "$CASE/a.txt" \
  "the quick brown fox jumps over the lazy dog 0123456789."
check "text job: page 1 numbered" has_line "$CASE/a.txt" "Page 1 of 2"
check "text job: page 2 numbered" has_line "$CASE/a.txt" "Page 2 of 2"

# (b) Two jobs with the same document name.
print_job "Twice" --pages 1
wait_for_pdfs 1 || true
FIRST=$(new_outputs .pdf)
print_job "Twice" --pages 2
check "same name: the second job printed" test "$JOB_STATUS" -eq 0
check "same name: the second job gave a PDF of its own" wait_for_pdfs 1
SECOND=$(new_outputs .pdf)
check "same name: the first file is Twice.pdf" test "$FIRST" = "Twice.pdf"
check "same name: the second file has another name" test -n "$SECOND" -a "$SECOND" != "$FIRST"
check "same name: the first file is still the one-page job" has_line <(pdf_text "$OUT/Twice.pdf") "Page 1 of 1"
[ -n "$SECOND" ] && check "same name: the second file is the two-page job" \
  has_line <(pdf_text "$OUT/$SECOND") "Page 2 of 2"

# (c) A document name with the characters a file name cannot hold.
UNSAFE='a/b:c*d?"e<f>g|h'
print_job "$UNSAFE" --pages 1
check "unsafe name: printdoc succeeded" test "$JOB_STATUS" -eq 0
check "unsafe name: a PDF appeared" wait_for_pdfs 1
SAFE=$(new_outputs .pdf)
printf '%s\n' "$SAFE" >"$CASE/c.txt"
check "unsafe name: one file" only_one "$SAFE"
check_not "unsafe name: none of \\ / : * ? \" < > | left" grep -q '[\\/:*?"<>|]' "$CASE/c.txt"
check "unsafe name: the letters kept in order" grep -qx 'a.*b.*c.*d.*e.*f.*g.*h.*\.pdf' "$CASE/c.txt"
[ -n "$SAFE" ] && check "unsafe name: the file is the job" has_line <(pdf_text "$OUT/$SAFE") "Tavrin sample document"

# (e) A small and a large RAW job of text: the same peak memory.
if [ "$STANDIN" = relay ]; then
  python3 "$TOP/tests/wine/make_text_ps.py" 1 "$C/small.ps" >"$CASE/small.pages"
  python3 "$TOP/tests/wine/make_text_ps.py" 50 "$C/large.ps" >"$CASE/large.pages"
  print_job "Small job" --raw 'C:\small.ps'
  SMALL_KB=$PEAK_KB
  check "1 MB job: printdoc succeeded" test "$JOB_STATUS" -eq 0
  check "1 MB job: a PDF appeared" wait_for_pdfs 1 300
  check "1 MB job: every page" test "$(pdf_pages "$OUT/Small job.pdf")" = "$(cat "$CASE/small.pages")"
  print_job "Large job" --raw 'C:\large.ps'
  LARGE_KB=$PEAK_KB
  echo "peak resident size of the printing process: 1 MB job $SMALL_KB kB, 50 MB job $LARGE_KB kB" |
    tee "$CASE/memory.txt"
  check "50 MB job: printdoc succeeded" test "$JOB_STATUS" -eq 0
  check "50 MB job: a PDF appeared" wait_for_pdfs 1 900
  check "50 MB job: every page" test "$(pdf_pages "$OUT/Large job.pdf")" = "$(cat "$CASE/large.pages")"
  check "50 MB job: the last page's text" has_line <(pdftotext -f "$(cat "$CASE/large.pages")" \
    -l "$(cat "$CASE/large.pages")" "$OUT/Large job.pdf" - 2>/dev/null) \
    "Page $(cat "$CASE/large.pages") line 64: the quick brown fox jumps over the lazy dog"
  # Within 10% of the small job's peak, plus 4 MB for what Wine itself keeps.
  check "50 MB job: peak memory within 10% (+4 MB) of the 1 MB job's" \
    test "$SMALL_KB" -gt 0 -a $((LARGE_KB * 10)) -le $((SMALL_KB * 11 + 40960))
  rm -f "$C/small.ps" "$C/large.ps"
fi

# (d) PostScript that Ghostscript rejects, with the monitor's log file on.
set_port_value LogFileUse REG_DWORD 1
set_port_value LogFileName REG_SZ 'C:\tavrin\monitor.log'
printf '%%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\n72 720 moveto\n(unbalanced) show\nthis_is_no_operator 1 2 3 }\nshowpage\n' \
  >"$CASE/bad.ps"
cp "$CASE/bad.ps" "$C/bad.ps"
print_job "Bad job" --raw 'C:\bad.ps'
check "rejected job: printdoc handed it over" test "$JOB_STATUS" -eq 0
check "rejected job: the PostScript kept" wait_for_output .ps 60
sleep 2
KEPT=$(new_outputs .ps)
check "rejected job: no PDF" test -z "$(new_outputs .pdf)"
check "rejected job: one file kept, named after the document" test "$KEPT" = "Bad job.ps"
check "rejected job: the kept file is the job's PostScript" cmp "$CASE/bad.ps" "$OUT/Bad job.ps"
tr -d '\r' <"$C/tavrin/monitor.log" >"$CASE/monitor.log" 2>/dev/null || : >"$CASE/monitor.log"
# Ghostscript's own message ("Error: /undefined in this_is_no_operator") or
# its exit code.
check "rejected job: the log gives Ghostscript's reason" \
  grep -Eqi 'this_is_no_operator|/undefined|exit code:? *[1-9]' "$CASE/monitor.log"

# (f) A "Command" that cannot be started, and one that ends well but leaves
# no PDF (the recorder, which reads nothing and writes nothing): each job
# keeps its PostScript, gives no PDF and says why in the log.
printf '%%!PS-Adobe-3.0\n/Helvetica findfont 12 scalefont setfont\n72 720 moveto\n(kept) show\nshowpage\n' \
  >"$CASE/good.ps"
cp "$CASE/good.ps" "$C/good.ps"
# failed_job DOCUMENT LABEL PATTERN: prints good.ps as DOCUMENT and checks
# that it failed, with PATTERN as the logged reason.
failed_job() {
  print_job "$1" --raw 'C:\good.ps'
  check "$2: printdoc handed it over" test "$JOB_STATUS" -eq 0
  check "$2: the PostScript kept" wait_for_output .ps 60
  check "$2: no PDF" test -z "$(new_outputs .pdf)"
  check "$2: the kept file is the job's PostScript" cmp "$CASE/good.ps" "$OUT/$1.ps"
  tr -d '\r' <"$C/tavrin/monitor.log" >"$CASE/monitor.log" 2>/dev/null || : >"$CASE/monitor.log"
  check "$2: the log says why" grep -Eq "\"$1\": job [0-9]+ failed: $3" "$CASE/monitor.log"
}
COMMAND=$(wine reg query "$PORT_REG_KEY" /v Command 2>/dev/null | tr -d '\r' |
  awk '$1 == "Command" {sub(/^ *Command +REG_SZ +/, ""); print}')
set_port_value Command REG_SZ 'C:\tavrin\res\convert\no-such-program.exe'
failed_job "Unstarted job" "program missing" "the program could not be started \\(error 2\\)"
cp "$W32/recorder.exe" "$C/recorder.exe"
set_port_value Command REG_SZ 'C:\recorder.exe'
failed_job "Empty job" "no output" "the program (left no output file|stopped reading)"
set_port_value Command REG_SZ "$COMMAND"
check "the port's Command is back" test -n "$COMMAND"

# (g) Names as users expect them: RAW jobs named in UTF-16 as a Unicode
# application names them. Each gives exactly one new file in the folder (no
# temporary file left) under the expected name, holding the job's text.
printf '%%!PS-Adobe-3.0\n/Helvetica findfont 14 scalefont setfont\n72 720 moveto\n(Tavrin named job) show\nshowpage\n' \
  >"$CASE/named.ps"
cp "$CASE/named.ps" "$C/named.ps"
# named_job DOCUMENT FILE LABEL: prints named.ps as DOCUMENT and checks that
# FILE is the only file it added, a PDF with the job's text.
named_job() {
  print_job "$1" --raw 'C:\named.ps'
  check "$3: printdoc succeeded" test "$JOB_STATUS" -eq 0
  check "$3: a PDF appeared" wait_for_pdfs 1 60
  printf '%s\n' "$(new_outputs '')" >"$CASE/named-$JOB.txt"
  check "$3: exactly \"$2\" added" test "$(new_outputs '')" = "$2"
  check "$3: the PDF holds the job's text" has_line <(pdf_text "$OUT/$2") "Tavrin named job"
}
named_job "Отчёт за квартал" "Отчёт за квартал.pdf" "Cyrillic name"
named_job "Отчёт за квартал" "Отчёт за квартал (2).pdf" "Cyrillic name again"
check "Cyrillic name again: the first PDF is still there" complete_pdf "$OUT/Отчёт за квартал.pdf"
named_job "会议纪要 第三季度" "会议纪要 第三季度.pdf" "CJK name"
named_job "letter.txt" "letter.pdf" "Notepad's name"
named_job 'C:\Documents and Settings\ann\report.doc' "report.pdf" "a full path"
named_job "Microsoft Word - Brief an Anna.doc" "Brief an Anna.pdf" "Word's name"
named_job "Q3 growth 15%" "Q3 growth 15%.pdf" "a percent sign"
named_job "100%d sure" "100%d sure.pdf" "a page-number format"

# A file of the job's name that appears while the job runs is not
# replaced: the PDF takes the next number.
python3 "$TOP/tests/wine/make_text_ps.py" 2 "$C/late.ps" >/dev/null
( deadline=$((SECONDS + 120))
  until [ -e "$OUT/Späte Datei.ps" ] || [ $SECONDS -ge $deadline ]; do sleep 0.02; done
  printf 'planted\n' >"$OUT/Späte Datei.pdf" ) &
PLANTER=$!
print_job "Späte Datei" --raw 'C:\late.ps'
wait "$PLANTER" || true
check "name taken meanwhile: printdoc succeeded" test "$JOB_STATUS" -eq 0
check "name taken meanwhile: the planted file untouched" grep -qx planted "$OUT/Späte Datei.pdf"
check "name taken meanwhile: the PDF under the next number" complete_pdf "$OUT/Späte Datei (2).pdf"
check "name taken meanwhile: nothing else added" test \
  "$(new_outputs '' | tr '\n' '/')" = "Späte Datei (2).pdf/Späte Datei.pdf/"
rm -f "$C/late.ps"

# A rejected job named in Cyrillic keeps its PostScript under that name and
# the log names it legibly (UTF-8).
REJECTED="Отклонённый отчёт"
print_job "$REJECTED" --raw 'C:\bad.ps'
check "rejected Cyrillic name: printdoc handed it over" test "$JOB_STATUS" -eq 0
check "rejected Cyrillic name: the PostScript kept" wait_for_output .ps 60
sleep 2
check "rejected Cyrillic name: only the PostScript added" test "$(new_outputs '')" = "$REJECTED.ps"
check "rejected Cyrillic name: the kept file is the job's PostScript" cmp "$CASE/bad.ps" "$OUT/$REJECTED.ps"
tr -d '\r' <"$C/tavrin/monitor.log" >"$CASE/monitor.log" 2>/dev/null || : >"$CASE/monitor.log"
check "rejected Cyrillic name: the log names the document" \
  grep -Eq "\"$REJECTED\": job [0-9]+ failed: .*PostScript kept in $(output_re C)\\\\$REJECTED\\.ps" "$CASE/monitor.log"
check "the log is UTF-8 with a byte-order mark" test "$(head -c 3 "$C/tavrin/monitor.log" | od -An -tx1 | tr -d ' ')" = efbbbf

finish
