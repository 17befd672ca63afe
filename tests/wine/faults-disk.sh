#!/usr/bin/env bash
# No room on the output folder's disk, on one Windows version: a small file
# system becomes Wine's drive D:, the install root "Path" is set to D:\ after
# the install, so the output folder is D:\tavrin\output\<user> (on 9x
# D:\tavrin\output), and a 1.9 MB job fills it. (Not a file system mounted
# on C:\tavrin\output itself: Wine reports a mount point as a reparse point,
# as Windows does a volume mounted in a folder, and the monitor refuses every
# reparse point on its paths.) No PDF may come of it, the log names the full
# disk and the part of the PostScript kept, EndDocPort fails (not even the
# PostScript holds the job), and once room is made the next job gives its
# PDF.
#
# Mounting needs a host that allows it (root, tmpfs); where it cannot be
# done the case reports itself as not run (exit code 77), never as passed.
source "$(dirname "$0")/lib.sh"
new_case faults-disk "${1:?usage: faults-disk.sh win98|nt40|win2k|winxp}"
source "$(dirname "$0")/printlib.sh"
SMALL="$CASE/small"
OUTPUT_BASE() { echo "$SMALL/tavrin/output"; }
OUT=$(OUTPUT_DIR)
SKIPPED=77

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
use_monitor_log
mkdir -p "$SMALL"
if ! mount -t tmpfs -o size=512k,mode=0777 tmpfs "$SMALL" 2>"$CASE/mount.txt"; then
  echo "skip - no room on the disk: not run, a small file system cannot be mounted here ($(head -n 1 "$CASE/mount.txt"))"
  cleanup
  exit "$SKIPPED"
fi
# unmount_output: the small file system goes (lazily, should Wine still hold
# a file there).
unmount_output() { mountpoint -q "$SMALL" && { umount "$SMALL" 2>/dev/null || umount -l "$SMALL"; }; return 0; }
trap 'unmount_output; cleanup' EXIT
mkdir -p "$OUT"
ln -sfn "$SMALL" "$WINEPREFIX/dosdevices/d:"
wine reg add 'HKLM\Software\Tavrin' /v Path /t REG_SZ /d 'D:\' /f >/dev/null 2>&1

python3 "$TOP/tests/wine/make_text_ps.py" 1.9 "$C/big.ps" >/dev/null
BIG_BYTES=$(stat -c %s "$C/big.ps")
print_job "Full job" --raw 'C:\big.ps'
echo "printdoc exit code $JOB_STATUS" >"$CASE/full.txt"
# Wine's spooler hands a failed EndDocPort to the application as
# EndDocPrinter failing with 6 (docs/WINE.md); a job that went well does not.
check "full disk: the job failed towards the spooler (EndDocPrinter failed)" \
  grep -q "EndDocPrinter failed" "$JOB_OUT"
check "full disk: only the PostScript added (no PDF, no temporary file)" \
  test "$(new_outputs '')" = "Full job.ps"
KEPT_BYTES=$(stat -c %s "$OUT/Full job.ps" 2>/dev/null || echo 0)
check "full disk: a part of the PostScript kept" test "$KEPT_BYTES" -gt 0 -a "$KEPT_BYTES" -lt "$BIG_BYTES"
check "full disk: the part kept is the job's beginning" cmp -n "$KEPT_BYTES" "$OUT/Full job.ps" "$C/big.ps"
read_monitor_log
grep -F '"Full job": job' "$MONITOR_LOG" >"$CASE/full-line.txt" || true
check "full disk: one log line" test "$(wc -l <"$CASE/full-line.txt")" -eq 1
check "full disk: the log line names the full disk, the part kept and the spooler's failure" grep -Eq \
  "\"Full job\": job [0-9]+ failed: .*; PostScript copy $(output_re D)\\\\Full job\\.ps incomplete \\($KEPT_BYTES of [0-9]+ bytes\\): disk full \\(error 112\\); the job is failed towards the spooler\$" \
  "$CASE/full-line.txt"
# The count is what the monitor took. Ghostscript writes its PDF to the same
# full disk and may quit before the job's end; with the copy failed too the
# data has nowhere to go, WritePort fails and the spooler sends no more.
TAKEN=$(sed -nE 's/.* incomplete \([0-9]+ of ([0-9]+) bytes\).*/\1/p' "$CASE/full-line.txt")
check "full disk: the log counts the bytes the monitor took" \
  test "${TAKEN:-0}" -gt 0 -a "${TAKEN:-0}" -le "$BIG_BYTES"

# Room made: the next job gives its PDF.
rm -f "$OUT/Full job.ps"
printf '%%!PS-Adobe-3.0\n/Helvetica findfont 14 scalefont setfont\n72 720 moveto\n(Tavrin good job) show\nshowpage\n' \
  >"$C/good.ps"
print_job "Good after a full disk" --raw 'C:\good.ps'
check "room made: printdoc succeeded" test "$JOB_STATUS" -eq 0
check "room made: the PDF" wait_for_pdfs 1 60
check "room made: nothing else added" test "$(new_outputs '')" = "Good after a full disk.pdf"

wineserver -k >/dev/null 2>&1 || true
unmount_output
finish
