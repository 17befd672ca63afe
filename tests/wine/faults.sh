#!/usr/bin/env bash
# Faults on the way from a job to its PDF, on one Windows version: a
# converter that never reads (the port's "Timeout" ends it), one that reads
# a part and quits, an output folder that cannot be used, and a job the
# application cancels. Each fault case checks the monitor's log line, the
# kept PostScript's bytes, that no PDF (and no temporary file) came of it,
# and that a good job right after it gives its PDF.
source "$(dirname "$0")/lib.sh"
new_case faults "${1:?usage: faults.sh win98|nt40|win2k|winxp}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)
OUT_RE=$(output_re C)
[ -f "$W32/faultcmd.exe" ] || { echo "missing $W32/faultcmd.exe: build the win32 preset first" >&2; exit 1; }
cp "$W32/faultcmd.exe" "$C/faultcmd.exe"

pdf_text() { pdftotext "$1" - 2>/dev/null | sed -e 's/^ *//' -e 's/ *$//' | grep -v '^$' || true; }

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
use_monitor_log
COMMAND=$(port_text Command)
ARGUMENTS=$(port_text Arguments)
check "the port's Command and Arguments read" test -n "$COMMAND" -a -n "$ARGUMENTS"

printf '%%!PS-Adobe-3.0\n/Helvetica findfont 14 scalefont setfont\n72 720 moveto\n(Tavrin good job) show\nshowpage\n' \
  >"$C/good.ps"
python3 "$TOP/tests/wine/make_text_ps.py" 1.9 "$C/big.ps" >/dev/null
head -c 10000 "$C/big.ps" >"$C/small.ps"
BIG_BYTES=$(stat -c %s "$C/big.ps")

# good_job LABEL: a job right after a fault gives its PDF, and only that.
good_job() {
  print_job "Good after $1" --raw 'C:\good.ps'
  check "$1, then a good job: printdoc succeeded" test "$JOB_STATUS" -eq 0
  check "$1, then a good job: its PDF" wait_for_pdfs 1 60
  check "$1, then a good job: nothing else added" test "$(new_outputs '')" = "Good after $1.pdf"
  check "$1, then a good job: the PDF holds the job's text" \
    has_line <(pdf_text "$OUT/Good after $1.pdf") "Tavrin good job"
}

# failed_fault DOCUMENT LABEL SOURCE REASON: the last job (DOCUMENT, sent
# from SOURCE) failed with REASON (an extended regular expression) in the
# log, kept its whole PostScript and left nothing else.
failed_fault() {
  check "$2: the PostScript kept" wait_for_output .ps 30
  check "$2: only the PostScript added (no PDF, no temporary file)" \
    test "$(new_outputs '')" = "$1.ps"
  check "$2: the kept file is byte for byte what the application sent" cmp "$3" "$OUT/$1.ps"
  read_monitor_log
  grep -F "\"$1\": job" "$MONITOR_LOG" >"$CASE/line-$JOB.txt" || true
  check "$2: one log line" test "$(wc -l <"$CASE/line-$JOB.txt")" -eq 1
  check "$2: the log line gives the reason and the kept file" grep -Eq \
    "\"$1\": job [0-9]+ failed: $4; command line \"C:\\\\faultcmd\\.exe\" .*; PostScript kept in $OUT_RE\\\\$1\\.ps\$" \
    "$CASE/line-$JOB.txt"
}

# (a) A converter that never reads and never ends, with a 1.9 MB job: the
# port's "Timeout" (3 s) ends it, the job fails and printing returns.
set_port_value Command REG_SZ 'C:\faultcmd.exe'
set_port_value Arguments REG_SZ 'hang "%1"'
set_port_value Timeout REG_DWORD 3
START=$SECONDS
PRINT_TIMEOUT=180 print_job "Hung job" --raw 'C:\big.ps'
ELAPSED=$((SECONDS - START))
echo "hung converter: printdoc took $ELAPSED s" | tee "$CASE/hung-time.txt"
check "hung converter: printdoc handed the job over" test "$JOB_STATUS" -eq 0
check "hung converter: printing returned within 60 s" test "$ELAPSED" -lt 60
failed_fault "Hung job" "hung converter" "$C/big.ps" \
  "the program took no data for 3 seconds and was ended, after [0-9]+ of $BIG_BYTES bytes"
# The same with a job small enough for the pipe: the program is ended when
# it has not ended 3 s after its input.
print_job "Hung small job" --raw 'C:\small.ps'
check "hung converter, small job: printdoc handed it over" test "$JOB_STATUS" -eq 0
failed_fault "Hung small job" "hung converter, small job" "$C/small.ps" \
  "the program did not end within 3 seconds"
# Nothing of a job stays behind in the process that hosts the spooler (a
# spooler runs for months): six hung jobs, each program ended by the
# watchdog, leave no more handles (as the system's handle table counts
# them: printdoc's PrintCounts) and threads behind than six
# good jobs do, and good jobs leave none (the monitor stays loaded from its
# first job on, although Wine's spooler loads it for every job:
# docs/WINE.md).
# growth FILE FIELD: FIELD (1 handles, 2 threads) after job 6 less after job 2.
growth() {
  local from to
  from=$(sed -n "s/^after job 2: \([0-9]*\) handles, \(-\?[0-9]*\) threads\$/\\$2/p" "$1")
  to=$(sed -n "s/^after job 6: \([0-9]*\) handles, \(-\?[0-9]*\) threads\$/\\$2/p" "$1")
  [ -n "$from" ] && [ -n "$to" ] && echo $((to - from))
}
set_port_value Command REG_SZ "$COMMAND"
set_port_value Arguments REG_SZ "$ARGUMENTS"
print_job "Good baseline" --raw 'C:\good.ps' --repeat 6
cp "$JOB_OUT" "$CASE/baseline.txt"
check "six good jobs: each handed over" test "$JOB_STATUS" -eq 0 -a "$(grep -c '^after job' "$JOB_OUT")" -eq 6
check "six good jobs: no handle left behind" test "$(growth "$CASE/baseline.txt" 1)" = 0
wait_for_pdfs 6 60 || true
rm -f "$OUT"/Good\ baseline*.pdf
set_port_value Command REG_SZ 'C:\faultcmd.exe'
set_port_value Arguments REG_SZ 'hang "%1"'
set_port_value Timeout REG_DWORD 1
print_job "Hung again" --raw 'C:\big.ps' --repeat 6
echo "from job 2 to 6, good jobs: $(growth "$CASE/baseline.txt" 1) handles, $(growth "$CASE/baseline.txt" 2) threads;" \
  "hung jobs: $(growth "$JOB_OUT" 1) handles, $(growth "$JOB_OUT" 2) threads" | tee "$CASE/counts.txt"
check "six hung jobs: each handed over" test "$JOB_STATUS" -eq 0 -a "$(grep -c '^after job' "$JOB_OUT")" -eq 6
check "six hung jobs: no more handles left behind than by good jobs" \
  test -n "$(growth "$JOB_OUT" 1)" -a "$(growth "$JOB_OUT" 1)" = "$(growth "$CASE/baseline.txt" 1)"
check "six hung jobs: no thread left behind" test "$(growth "$JOB_OUT" 2)" = 0
rm -f "$OUT"/Hung\ again*.ps
set_port_value Command REG_SZ "$COMMAND"
set_port_value Arguments REG_SZ "$ARGUMENTS"
delete_port_value Timeout
good_job "a hung converter"

# (b) A converter that reads 100000 bytes of a 1.9 MB job and quits with
# exit code 3: the rest of the job is still taken into the PostScript.
set_port_value Command REG_SZ 'C:\faultcmd.exe'
set_port_value Arguments REG_SZ 'quit 100000 3 "%1"'
print_job "Broken job" --raw 'C:\big.ps'
check "quitting converter: printdoc handed the job over" test "$JOB_STATUS" -eq 0
failed_fault "Broken job" "quitting converter" "$C/big.ps" \
  "the program ended with exit code 3 after taking [0-9]+ of $BIG_BYTES bytes"
set_port_value Command REG_SZ "$COMMAND"
set_port_value Arguments REG_SZ "$ARGUMENTS"
good_job "a quitting converter"

# (c) An output folder that cannot be used: a file in place of the user's
# folder (of C:\tavrin\output on 9x). The job is refused at its start with
# one log line and nothing is written anywhere.
mv "$OUT" "$OUT.saved"
printf 'not a folder\n' >"$OUT"
read_monitor_log
LOG_BEFORE=$(wc -l <"$MONITOR_LOG")
touch "$CASE/mark" && sleep 1
print_job "Nowhere job" --raw 'C:\good.ps'
echo "file in place of the output folder: printdoc exit code $JOB_STATUS" >"$CASE/nowhere.txt"
read_monitor_log
tail -n +$((LOG_BEFORE + 1)) "$MONITOR_LOG" >"$CASE/nowhere-log.txt"
check "file as output folder: one log line" test "$(wc -l <"$CASE/nowhere-log.txt")" -eq 1
check "file as output folder: the log line says why" grep -Eq \
  "\"Nowhere job\": job [0-9]+ refused: the output folder $OUT_RE\\\\ cannot be made: a file stands in its place \\(error 183\\)\$" \
  "$CASE/nowhere-log.txt"
check "file as output folder: the file untouched" test "$(cat "$OUT")" = "not a folder"
find "$C" -newer "$CASE/mark" -type f ! -path "$C/windows/*" ! -path "$C/users/*" \
  ! -name docname.txt ! -name monitor.log >"$CASE/nowhere-files.txt"
check "file as output folder: nothing written elsewhere" test ! -s "$CASE/nowhere-files.txt"
rm -f "$OUT"
mv "$OUT.saved" "$OUT"
good_job "an output folder that was a file"
# A folder without write access: Wine running as root grants every access.
if [ "$(id -u)" = 0 ]; then
  echo "skip - folder without write access: not run, Wine under root ignores the access rights"
else
  chmod 555 "$OUT"
  print_job "Locked job" --raw 'C:\good.ps'
  read_monitor_log
  check "folder without write access: refused with access denied" grep -Eq \
    "\"Locked job\": job [0-9]+ refused: no file can be made in $OUT_RE\\\\: access denied \\(error 5\\)\$" \
    "$MONITOR_LOG"
  check "folder without write access: nothing added" test -z "$(new_outputs '')"
  chmod 755 "$OUT"
  good_job "a folder without write access"
fi

# (d) A job the application cancels after one of three pages. With the
# debug lines on, the log shows whether the spooler handed the job to the
# monitor at all (a good job first proves that it would show).
set_port_value LogFileDebug REG_DWORD 1
good_job "the debug lines on"
read_monitor_log
check "debug lines: the log shows a job handed to the monitor" \
  grep -q '"Good after the debug lines on": StartDocPort job' "$MONITOR_LOG"
print_job "Cancelled job" --pages 3 --abort-after 1
check "cancelled job: printdoc cancelled it" has "$JOB_OUT" "job aborted after 1 pages"
sleep 3
read_monitor_log
set_port_value LogFileDebug REG_DWORD 0
if grep -q '"Cancelled job": StartDocPort' "$MONITOR_LOG"; then
  check "cancelled job: nothing added" test -z "$(new_outputs '')"
  check "cancelled job: the log says so" grep -Eq '"Cancelled job": job [0-9]+ cancelled after' "$MONITOR_LOG"
  good_job "a cancelled job"
else
  echo "skip - cancelled job: not run, Wine's spooler never hands a cancelled job to the monitor"
fi

finish
