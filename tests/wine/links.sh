#!/usr/bin/env bash
# A link in place of the output folder, on one Windows version: C:\tavrin\output
# replaced by a host symbolic link to C:\windows\system32 (which Wine reports
# as a reparse point, as Windows reports a junction). A job named "evil"
# whose bytes begin with "MZ" is refused at its start with one log line
# naming the link, and the system folder gains, loses and changes nothing;
# once the folder is a folder again a good job gives its PDF there.
source "$(dirname "$0")/lib.sh"
new_case links "${1:?usage: links.sh win98|nt40|win2k|winxp|winxp64|win10}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)
SYSTEM="$C/windows/system32"

printf '%%!PS-Adobe-3.0\n/Helvetica findfont 14 scalefont setfont\n72 720 moveto\n(Tavrin good job) show\nshowpage\n' \
  >"$C/good.ps"
{ printf 'MZ'; head -c 20000 /dev/urandom; } >"$C/evil.bin"

# listing DIR: every file below DIR with its size and time, sorted.
listing() { (cd "$1" && find . -type f -printf '%p %s %T@\n' | LC_ALL=C sort); }

run_setup
check "install: the printer's key exists" enable_printer
use_monitor_log

rm -rf "$OUT"
ln -s "$SYSTEM" "$OUT"
listing "$SYSTEM" >"$CASE/system-before.txt"
read_monitor_log
LOG_BEFORE=$(wc -l <"$MONITOR_LOG")
print_job "evil" --raw 'C:\evil.bin'
echo "link in place of the output folder: printdoc exit code $JOB_STATUS" >"$CASE/evil.txt"
read_monitor_log
tail -n +$((LOG_BEFORE + 1)) "$MONITOR_LOG" >"$CASE/evil-log.txt"
check "link as output folder: one log line" test "$(wc -l <"$CASE/evil-log.txt")" -eq 1
check "link as output folder: the log line names the link" grep -Eq \
  '"evil": job [0-9]+ refused: C:\\tavrin\\output\\? is a link' "$CASE/evil-log.txt"
listing "$SYSTEM" >"$CASE/system-after.txt"
check "link as output folder: the system folder unchanged" \
  cmp "$CASE/system-before.txt" "$CASE/system-after.txt"
check "link as output folder: no file of the job in it" \
  test -z "$(ls "$SYSTEM" | grep -Ei '^(evil|tavrin-)')"

rm -f "$OUT"
mkdir "$OUT"
print_job "Good after a link" --raw 'C:\good.ps'
check "a good job after: printdoc succeeded" test "$JOB_STATUS" -eq 0
check "a good job after: its PDF in the output folder" wait_for_pdfs 1 60
check "a good job after: nothing else added" test "$(new_outputs '')" = "Good after a link.pdf"

finish
