#!/usr/bin/env bash
# Printing to the installed printer "TAVRIN" on one Windows version: a job
# of known text becomes a PDF with that text; two jobs of one name give two
# files; a name a file cannot carry gives a PDF with a safe name; PostScript
# that Ghostscript rejects gives no PDF, keeps the PostScript and logs why;
# a job of 50 MB goes through without the monitor's memory growing with it;
# documents named in any script, with an application's decorations or with
# '%' give PDFs under the names a user expects, and nothing else.
#
# Every conversion runs through the product's own Ghostscript for Windows.
# With TAVRIN_PRINTING_COMMAND=unix-script the port's "Command" is instead a
# Unix script running the host's gs, which Wine gives neither a pipe nor a
# process handle: the monitor's way for a "Command" that is no Windows
# program. The memory part is skipped then (the job is not streamed on that
# way).
source "$(dirname "$0")/lib.sh"
COMMAND_KIND=${TAVRIN_PRINTING_COMMAND:-windows}
new_case "printing-$COMMAND_KIND" "${1:?usage: printing.sh win98|nt40|win2k|winxp|winxp64|win10}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)

# use_host_gs_script: makes the port's "Command" C:\testtools\gs-host.exe, a
# "#!/bin/sh" script that runs the host's gs with the same arguments, the
# Windows paths of "@file" and "-sOutputFile=" turned into Unix paths (Wine
# runs it as a Unix program, the arguments split by the Windows rules).
use_host_gs_script() {
  mkdir -p "$C/testtools"
  cat >"$C/testtools/gs-host.exe" <<'SCRIPT'
#!/bin/sh
# unix_path PATH: the Unix path of a Windows path on a drive of the prefix.
unix_path() {
  case "$1" in
    [A-Za-z]:\\*)
      drive=$(printf '%s' "$1" | cut -c1 | tr 'A-Z' 'a-z')
      printf '%s' "${WINEPREFIX:-$HOME/.wine}/dosdevices/$drive:$(printf '%s' "$1" | cut -c3- | tr '\\' '/')" ;;
    *) printf '%s' "$1" ;;
  esac
}
n=$#
while [ "$n" -gt 0 ]; do
  arg=$1; shift; n=$((n - 1))
  case "$arg" in
    @*) arg="@$(unix_path "${arg#@}")" ;;
    -sOutputFile=*) arg="-sOutputFile=$(unix_path "${arg#-sOutputFile=}")" ;;
  esac
  set -- "$@" "$arg"
done
exec gs "$@"
SCRIPT
  chmod 755 "$C/testtools/gs-host.exe"
  set_port_value Command REG_SZ 'C:\testtools\gs-host.exe'
}

# pdf_text FILE: the text of a PDF, blank lines removed.
pdf_text() { pdftotext "$1" - 2>/dev/null | sed -e 's/^ *//' -e 's/ *$//' | grep -v '^$' || true; }
pdf_pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
only_one() { test "$(printf '%s\n' "$1" | grep -c .)" -eq 1; }

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
[ "$COMMAND_KIND" = unix-script ] && use_host_gs_script
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

# (a2) What a user sees of a 3-page document. The driver's PostScript is
# captured once (printed to a file) and sent as a RAW job: the PDF holds the
# three pages and their text with every font embedded (Wine's driver embeds
# its TrueType fonts). A RAW job naming four of the base fonts without
# embedding them, as many applications' PostScript does, gets them from
# the URW fonts staged beside Ghostscript: embedded, under the names asked
# for. Each page, rendered by the host's gs, matches the host gs's rendering
# of the same PostScript (with Debian's copy of the same fonts) within 0.5%
# of its pixels.
# embedded_fonts PDF LABEL: the PDF has fonts, each of them embedded; their
# list is left in $CASE/LABEL-fonts.txt.
embedded_fonts() {
  pdffonts "$1" >"$CASE/$2-fonts.txt" 2>&1 || true
  check "$2: fonts in the PDF, every one embedded" \
    awk 'NR > 2 && $(NF - 4) != "yes" {bad = 1} END {exit bad || NR < 3}' "$CASE/$2-fonts.txt"
}
# looks_as_drawn PS PDF PAGES LABEL: each page of PDF drawn by the host's gs
# differs from its drawing of PS in at most 0.5% of the pixels.
looks_as_drawn() {
  if ! command -v gs >/dev/null 2>&1; then
    echo "skip - $4: the rendering comparison needs the host's gs"
    return
  fi
  # PostScript that names no paper gets the converter's default: US Letter
  # from Ghostscript for Windows, A4 from Debian's gs (libpaper).
  local paper=letter
  [ "$COMMAND_KIND" = windows ] || paper=a4
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pgmraw -r50 -sPAPERSIZE=$paper -o "$CASE/$4-ps-%d.pgm" "$1" \
    >/dev/null 2>&1 || true
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pgmraw -r50 -o "$CASE/$4-pdf-%d.pgm" "$2" >/dev/null 2>&1 || true
  local page result
  for page in $(seq "$3"); do
    if result=$(python3 "$TOP/tests/wine/compare_pages.py" "$CASE/$4-ps-$page.pgm" "$CASE/$4-pdf-$page.pgm" 0.5 2>&1); then
      pass "$4: page $page as the host gs draws the PostScript ($result)"
    else
      fail "$4: page $page as the host gs draws the PostScript ($result)"
    fi
  done
}
print_job "Look capture" --pages 3 --output 'C:\look.ps'
check "3-page document: the driver's PostScript captured" test -s "$C/look.ps"
cp "$C/look.ps" "$CASE/look.ps" 2>/dev/null || true
print_job "Three pages" --raw 'C:\look.ps'
check "3-page document: a PDF appeared" wait_for_pdfs 1 120
check "3-page document: three pages" test "$(pdf_pages "$OUT/Three pages.pdf")" = 3
check "3-page document: the text of page 3" has_line <(pdf_text "$OUT/Three pages.pdf") "Page 3 of 3"
embedded_fonts "$OUT/Three pages.pdf" "3-page document"
looks_as_drawn "$CASE/look.ps" "$OUT/Three pages.pdf" 3 "3-page document"
rm -f "$C/look.ps"

cat >"$CASE/base.ps" <<'PS'
%!PS-Adobe-3.0
%%Pages: 1
%%EndComments
%%Page: 1 1
/Times-Roman findfont 28 scalefont setfont 72 700 moveto (Times-Roman: Tavrin base fonts) show
/Helvetica-Bold findfont 28 scalefont setfont 72 640 moveto (Helvetica-Bold: 0123456789) show
/Courier findfont 24 scalefont setfont 72 580 moveto (Courier: the quick brown fox) show
/Symbol findfont 28 scalefont setfont 72 520 moveto (abgdpSW) show
showpage
%%EOF
PS
cp "$CASE/base.ps" "$C/base.ps"
print_job "Base fonts" --raw 'C:\base.ps'
check "base fonts: a PDF appeared" wait_for_pdfs 1 120
check "base fonts: the text" has_line <(pdf_text "$OUT/Base fonts.pdf") "Courier: the quick brown fox"
embedded_fonts "$OUT/Base fonts.pdf" "base fonts"
for font in Times-Roman Helvetica-Bold Courier Symbol; do
  check "base fonts: $font embedded under its name" grep -Eq "^[A-Z]{6}\+$font " "$CASE/base fonts-fonts.txt"
done
looks_as_drawn "$CASE/base.ps" "$OUT/Base fonts.pdf" 1 "base fonts"
rm -f "$C/base.ps"

# (a3) Wine's Notepad printing a text file to TAVRIN, the default printer
# (its print dialog answered OK by boxwatch.exe): the PDF, named after the
# file, holds the file's lines.
# In the Windows 98 mode Wine's Notepad answers its print dialog but sends
# no job to any printer (seen with TAVRIN as the default in win.ini too).
if [ "$VERSION" = win98 ]; then
  echo "skip - Notepad: not run, Wine's Notepad in the Windows 98 mode sends no job"
else
  wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /v Device /t REG_SZ \
    /d 'TAVRIN,winspool,TAVRINPORT' /f >/dev/null 2>&1
  printf 'Notepad line one for Tavrin\r\nNotepad line two: the quick brown fox\r\n' >"$C/notes.txt"
  JOB=$((JOB + 1)); JOB_BEFORE="$CASE/job-$JOB.before"; output_files >"$JOB_BEFORE"
  rm -f "$C/notepad-boxes.txt" "$C/notepad-boxes.txt.stop"
  wine "$W32/boxwatch.exe" 'C:\notepad-boxes.txt' 120 ok >/dev/null 2>&1 &
  WATCHER=$!
  sleep 1
  wine notepad /p 'C:\notes.txt' >"$CASE/notepad.txt" 2>&1 &
  NOTEPAD=$!
  # notes_pdf: whether notes.pdf is there, complete (the temporary name the
  # job's PDF has before it is renamed is complete first).
  notes_pdf() {
    local deadline=$((SECONDS + $(wait_limit 120)))
    until complete_pdf "$OUT/notes.pdf"; do [ $SECONDS -ge $deadline ] && return 1; sleep 0.2; done
  }
  check "Notepad: a PDF named after the file" notes_pdf
  kill "$NOTEPAD" 2>/dev/null || true
  touch "$C/notepad-boxes.txt.stop"
  wait "$WATCHER" "$NOTEPAD" 2>/dev/null || true
  NOTEPAD_PDF=notes.pdf
  check "Notepad: its print dialog answered" grep -q '^Print' "$C/notepad-boxes.txt"
  check "Notepad: nothing but that file added" test "$(new_outputs '')" = "notes.pdf"
  check "Notepad: the first line" has_line <(pdf_text "$OUT/$NOTEPAD_PDF") "Notepad line one for Tavrin"
  check "Notepad: the second line" has_line <(pdf_text "$OUT/$NOTEPAD_PDF") "Notepad line two: the quick brown fox"
  embedded_fonts "$OUT/$NOTEPAD_PDF" "Notepad"
fi

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
if [ "$COMMAND_KIND" = windows ]; then
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
# Ghostscript's own message, then the monitor's line with its exit code.
check "rejected job: the log gives Ghostscript's error" grep -q \
  "^\(.*\)\?Error: /undefined in this_is_no_operator\$" "$CASE/monitor.log"
# A Unix program's exit code cannot be seen: its output tells instead.
[ "$COMMAND_KIND" = windows ] && check "rejected job: the log gives the exit code" \
  grep -Eq '"Bad job": job [0-9]+ failed: the program ended with exit code 1;' "$CASE/monitor.log"

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
