# Printing through the installed printer "TAVRIN" in a case's prefix, for the
# print cases, the demo and the benchmarks. Source after lib.sh, once
# new_case has set up $C and $CASE.
#
# Jobs go through printdoc.exe, which prints as an application does (GDI)
# or sends a file as a RAW job; under Wine the spooler and the port monitor
# run inside that process, and the monitor's Ghostscript turns the job into
# C:\tavrin\output\<user>\<document name>.pdf (C:\tavrin\output\ on 9x).

[ -f "$W32/printdoc.exe" ] || { echo "missing $W32/printdoc.exe: build the win32 preset first" >&2; exit 1; }
# Run from the prefix, not from build/win32: Windows looks for a library in
# the program's folder first, so the spooler would load build/win32's
# tavmon.dll instead of the installed one.
cp "$W32/printdoc.exe" "$C/printdoc.exe"
PRINTDOC='C:\printdoc.exe'
PRINTERS_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers'
PORT_REG_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\TAVRIN Monitor\Ports\TAVRINPORT'
# OUTPUT_BASE is C:\tavrin\output, which holds the default log and, on the NT
# family, a folder for each user: OUTPUT_DIR, where the jobs' files go, is
# the folder of the job's owner, named $OUTPUT_USER (empty on 9x, where the
# jobs' files go to OUTPUT_BASE itself). Wine's spooler names no printer to
# the monitor, which then takes its own user: GetUserNameW, which Wine
# answers from WINEUSERNAME ($USER, or without it the Unix account's name).
# A case may put OUTPUT_BASE elsewhere.
OUTPUT_BASE() { echo "$C/tavrin/output"; }
OUTPUT_DIR() { echo "$(OUTPUT_BASE)${OUTPUT_USER:+/$OUTPUT_USER}"; }
OUTPUT_USER=
if [ "${VERSION:-winxp}" != win98 ]; then
  OUTPUT_USER=$(wine cmd /c 'echo %WINEUSERNAME%' 2>/dev/null | tr -d '\r')
  # Only a name the monitor takes for a folder as it is can be predicted.
  [[ $OUTPUT_USER =~ ^[A-Za-z0-9_][A-Za-z0-9._-]*$ && $OUTPUT_USER != *. ]] ||
    { echo "no user's folder to look in: Wine names the user '$OUTPUT_USER'" >&2; exit 1; }
fi
# output_re DRIVE: OUTPUT_DIR as the monitor's log lines name it on that
# drive (C:\tavrin\output\<user>, without a backslash at its end), as an
# extended regular expression.
output_re() { printf '%s:\\\\tavrin\\\\output%s\n' "$1" "${OUTPUT_USER:+\\\\${OUTPUT_USER//./\\.}}"; }
JOB=0

# enable_printer: the Wine workarounds that make the installed printer
# usable (docs/WINE.md). Wine created the printer's key without "Datatype"
# and refused the record (87); a key without it cannot be opened (1801).
# In the 9x modes Wine looks for the print processor in prtprocs\win40,
# which a new prefix lacks. Returns non-zero when the printer key is absent.
enable_printer() {
  wine reg query "$PRINTERS_KEY\\TAVRIN" >/dev/null 2>&1 || return 1
  wine reg add "$PRINTERS_KEY\\TAVRIN" /v Datatype /t REG_SZ /d RAW /f >/dev/null 2>&1 || return 1
  if [ "${VERSION:-winxp}" = win98 ]; then
    local procs="$C/windows/system32/spool/prtprocs"
    mkdir -p "$procs/win40"
    cp "$procs/w32x86/winprint.dll" "$procs/win40/"
  fi
}

# install_printer: runs the setup (run_setup) and makes the printer usable
# (enable_printer). Under load Wine was once seen to leave no printer key
# behind the setup's AddPrinter, which it answered with 87 as every time:
# the setup then runs once more, and the case says so in a line of its
# own. Returns non-zero when there is still no key.
install_printer() {
  run_setup
  enable_printer && return 0
  echo "note - Wine left no key for TAVRIN after the setup's AddPrinter: the setup runs once more"
  run_setup
  enable_printer
}

# set_port_value NAME TYPE DATA: one value of the port record (reg add type).
set_port_value() { wine reg add "$PORT_REG_KEY" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }

# output_files: the names in the output folder, one a line, sorted.
output_files() { (cd "$(OUTPUT_DIR)" 2>/dev/null && LC_ALL=C ls -1A) || true; }

# print_job DOCUMENT [printdoc OPTIONS]: prints to "TAVRIN" and records the
# output folder before the job ($CASE/job-N.before), printdoc's output
# ($CASE/job-N.txt) and exit code ($JOB_STATUS). Sets $PEAK_KB to the peak
# resident size of the printing process (which hosts Wine's spooler and the
# monitor), sampled from /proc while it runs. The document's name reaches
# printdoc.exe as UTF-8 in C:\docname.txt, whatever the code pages of the
# command line, and the spooler in UTF-16.
print_job() {
  JOB=$((JOB + 1))
  JOB_BEFORE="$CASE/job-$JOB.before" JOB_OUT="$CASE/job-$JOB.txt"
  output_files >"$JOB_BEFORE"
  printf '%s' "$1" >"$C/docname.txt"
  wine "$PRINTDOC" TAVRIN "$@" --name-file 'C:\docname.txt' >"$JOB_OUT" 2>&1 &
  local pid=$! value deadline=$((SECONDS + ${PRINT_TIMEOUT:-900}))
  PEAK_KB=0
  while kill -0 "$pid" 2>/dev/null; do
    value=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$value" ] && PEAK_KB=$value
    if [ $SECONDS -ge $deadline ]; then
      echo "printdoc: no end after ${PRINT_TIMEOUT:-900} s" >>"$JOB_OUT"
      kill "$pid" 2>/dev/null || true
    fi
    sleep 0.05
  done
  JOB_STATUS=0
  wait "$pid" || JOB_STATUS=$?
  tr -d '\r' <"$JOB_OUT" >"$JOB_OUT.tmp" && mv "$JOB_OUT.tmp" "$JOB_OUT"
  return 0
}

# new_outputs [SUFFIX]: the files of the output folder that the last job
# added, with that suffix (".pdf" when not given; "" for every file).
new_outputs() {
  local suffix=${1-.pdf}
  output_files | LC_ALL=C comm -13 "$JOB_BEFORE" - |
    awk -v s="$suffix" 'length($0) > length(s) && substr($0, length($0) - length(s) + 1) == s'
}

# wait_limit SECONDS: the time a wait may take; $WAIT_CAP, when set, caps it
# (a case whose first job gave nothing need not wait long for the others).
wait_limit() { if [ -n "${WAIT_CAP:-}" ] && [ "$1" -gt "$WAIT_CAP" ]; then echo "$WAIT_CAP"; else echo "$1"; fi; }

# complete_pdf FILE: whether FILE is a whole PDF (Ghostscript writes the
# cross-reference table last).
complete_pdf() { pdfinfo "$1" >/dev/null 2>&1; }

# wait_for_pdfs COUNT [SECONDS]: waits until the last job has added COUNT
# complete PDF files (Wine gives the monitor no handle of the Ghostscript
# it starts, so the file may come after the job). Returns non-zero when the
# time (120 s by default) runs out.
wait_for_pdfs() {
  local count=$1 deadline=$((SECONDS + $(wait_limit "${2:-120}"))) name done
  while :; do
    done=0
    while IFS= read -r name; do
      [ -n "$name" ] && complete_pdf "$(OUTPUT_DIR)/$name" && done=$((done + 1))
    done < <(new_outputs .pdf)
    [ "$done" -ge "$count" ] && return 0
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# wait_for_output SUFFIX [SECONDS]: waits until the last job has added a
# file with that suffix. Returns non-zero when the time runs out.
wait_for_output() {
  local deadline=$((SECONDS + $(wait_limit "${2:-60}")))
  until [ -n "$(new_outputs "$1")" ]; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# port_text NAME: a REG_SZ value of the port record as it is now.
port_text() { reg_text "$PORT_REG_KEY" "$1"; }

# delete_port_value NAME: removes an optional value of the port record.
delete_port_value() { wine reg delete "$PORT_REG_KEY" /v "$1" /f >/dev/null 2>&1; }

# use_monitor_log: failed jobs are logged to C:\tavrin\monitor.log, outside
# the output folder; read_monitor_log copies it without CRs to $MONITOR_LOG.
use_monitor_log() {
  set_port_value LogFileUse REG_DWORD 1
  set_port_value LogFileName REG_SZ 'C:\tavrin\monitor.log'
  MONITOR_LOG="$CASE/monitor.log"
}
read_monitor_log() { tr -d '\r' 2>/dev/null <"$C/tavrin/monitor.log" >"$MONITOR_LOG" || : >"$MONITOR_LOG"; }
