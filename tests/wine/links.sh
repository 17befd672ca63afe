#!/usr/bin/env bash
# A link in place of the output folder, on one Windows version: C:\tavrin\output
# replaced by a host symbolic link to C:\windows\system32 (which Wine reports
# as a reparse point, as Windows reports a junction). A job named "evil"
# whose bytes begin with "MZ" is refused at its start with one log line
# naming the link, and the system folder gains, loses and changes nothing;
# once the folder is a folder again a good job gives its PDF there. On the
# NT family the same with the link in place of the user's folder in it,
# C:\tavrin\output\<user> (a job "evil2"); Windows 9x has no such folder.
source "$(dirname "$0")/lib.sh"
new_case links "${1:?usage: links.sh win98|nt40|win2k|winxp|winxp64|win10}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)
BASE=$(OUTPUT_BASE)
SYSTEM="$C/windows/system32"

printf '%%!PS-Adobe-3.0\n/Helvetica findfont 14 scalefont setfont\n72 720 moveto\n(Tavrin good job) show\nshowpage\n' \
  >"$C/good.ps"
{ printf 'MZ'; head -c 20000 /dev/urandom; } >"$C/evil.bin"

# listing DIR: every folder below DIR, and every file with its size and
# time, sorted.
listing() { (cd "$1" && find . \( -type d -printf '%p/\n' \) -o -type f -printf '%p %s %T@\n' | LC_ALL=C sort); }

# link_job DOCUMENT LABEL LINK: prints evil.bin as DOCUMENT while LINK (an
# extended regular expression of a Windows path) is a link to the system
# folder: one log line refuses the job naming LINK, and the system folder
# is as it was, without a file of the job.
link_job() {
  listing "$SYSTEM" >"$CASE/$1-system-before.txt"
  read_monitor_log
  local before
  before=$(wc -l <"$MONITOR_LOG")
  print_job "$1" --raw 'C:\evil.bin'
  echo "$2: printdoc exit code $JOB_STATUS" >"$CASE/$1.txt"
  read_monitor_log
  tail -n +$((before + 1)) "$MONITOR_LOG" >"$CASE/$1-log.txt"
  check "$2: one log line" test "$(wc -l <"$CASE/$1-log.txt")" -eq 1
  check "$2: the log line names the link" grep -Eq \
    "\"$1\": job [0-9]+ refused: $3\\\\? is a link \\(junction or symbolic link\\): nothing is written through it\$" \
    "$CASE/$1-log.txt"
  listing "$SYSTEM" >"$CASE/$1-system-after.txt"
  check "$2: the system folder unchanged" cmp "$CASE/$1-system-before.txt" "$CASE/$1-system-after.txt"
  check "$2: no file of the job in it" \
    test -z "$(find "$SYSTEM" -iname "$1*" -o -iname 'tavrin-*')"
}

# good_job DOCUMENT LABEL: a good job gives its PDF in the user's folder,
# a folder, and nothing else.
good_job() {
  print_job "$1" --raw 'C:\good.ps'
  check "$2: printdoc succeeded" test "$JOB_STATUS" -eq 0
  check "$2: its PDF in the output folder" wait_for_pdfs 1 60
  check "$2: nothing else added" test "$(new_outputs '')" = "$1.pdf"
  check "$2: the output folder is a folder, no link" test -d "$OUT" -a ! -L "$OUT"
}

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
use_monitor_log

rm -rf "$BASE"
ln -s "$SYSTEM" "$BASE"
link_job evil "link as output folder" 'C:\\tavrin\\output'
rm -f "$BASE"
mkdir "$BASE"
good_job "Good after a link" "a good job after"

if [ -z "$OUTPUT_USER" ]; then
  echo "skip - link as the user's folder: not run, Windows 9x has no users' folders"
else
  rm -rf "$OUT"
  ln -s "$SYSTEM" "$OUT"
  link_job evil2 "link as the user's folder" "$(output_re C)"
  rm -f "$OUT"
  good_job "Good after a link as the user's folder" "a good job after the user's link"
fi

finish
