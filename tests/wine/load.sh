#!/usr/bin/env bash
# Load on one Windows version: several hundred jobs printed one after the
# other by one process (under Wine the spooler and the port monitor run in
# the printing process; printing from several processes at once is no test
# of the product there, see docs/WINE.md). RAW jobs of about 200 KB of
# known text, every tenth a GDI job. Every job gives one PDF with its own
# text, the output folder holds those PDFs and nothing else, and the
# printing process's handles, file descriptors and resident memory after
# the last job are within 10% of what they were after the warm-up.
#
# How the process is measured, at rest after the warm-up job and after the
# last one (printdoc.exe waits for C:\load-go before it goes on):
#   handles  the entries the wineserver's handle table holds for the process,
#            counted by printdoc.exe itself through NtQuerySystemInformation
#            (SystemHandleInformation); GetProcessHandleCount answers 0 there
#   fds      the Unix file descriptors of the Wine process running
#            printdoc.exe (/proc/PID/fd): the files, pipes and sockets
#            behind its handles as the process holds them
#   server   the wineserver's own file descriptors: every file, pipe and
#            socket object of the prefix, open as long as any handle to it
#            is (for information: the prefix's other processes count too)
#   memory   VmRSS of that process (/proc/PID/status)
#
# LOAD_JOBS (300), LOAD_KB (200), LOAD_GDI_EVERY (10) and LOAD_WARMUP (20)
# size the run.
source "$(dirname "$0")/lib.sh"
new_case load "${1:?usage: load.sh win98|nt40|win2k|winxp|winxp64|win10}"
source "$(dirname "$0")/printlib.sh"
OUT=$(OUTPUT_DIR)
JOBS=${LOAD_JOBS:-300}
SIZE_KB=${LOAD_KB:-200}
GDI_EVERY=${LOAD_GDI_EVERY:-10}
WARMUP=${LOAD_WARMUP:-20}

if install_printer; then pass "install: the printer's key exists"; else fail "install: the printer's key exists"; fi
# A failed job's reason (and Ghostscript's own output) in C:\tavrin\monitor.log,
# outside the output folder; shown at the end when there is one.
use_monitor_log
PAGES=$(python3 "$TOP/tests/wine/make_load_ps.py" "$JOBS" "$SIZE_KB" "$C/load" "$GDI_EVERY")
echo "$JOBS jobs: RAW jobs of $SIZE_KB KB ($PAGES pages), every ${GDI_EVERY}th a GDI job"

# in_prefix PID: whether the process runs in this case's prefix (other
# cases, of other prefixes, may be printing at the same time).
in_prefix() { tr '\0' '\n' 2>/dev/null <"/proc/$1/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; }
# unix_pid_of PROGRAM: the Unix process of this prefix whose command line
# names PROGRAM (the Wine process running that Windows program).
unix_pid_of() {
  local entry
  for entry in /proc/[0-9]*; do
    tr '\0' ' ' 2>/dev/null <"$entry/cmdline" | grep -qi -- "$1" && in_prefix "${entry#/proc/}" &&
      { basename "$entry"; return 0; }
  done
  return 1
}
# wineserver_pid: the wineserver of this case's prefix (other prefixes may
# have theirs running).
wineserver_pid() {
  local entry
  for entry in /proc/[0-9]*; do
    case $(readlink "$entry/exe" 2>/dev/null) in
      */wineserver*) ;;
      *) continue ;;
    esac
    in_prefix "${entry#/proc/}" && { basename "$entry"; return 0; }
  done
  return 1
}
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null; }

# sample JOB: the process's figures after that job, as the line
# "JOB handles fds server rss_kb" in $CASE/samples.txt.
sample() {
  local job=$1 pid server handles
  # The job's PDF is renamed before EndDocPort returns; give the
  # process a moment to settle all the same.
  sleep 1
  pid=$(unix_pid_of 'printdoc.exe TAVRIN load --load') || pid=
  server=$(wineserver_pid) || server=
  handles=$(tr -d '\r' <"$RUN_OUT" | awk -v j="$job" '$1 == "load" && $2 == "sample" && $3 == j {print $6}')
  echo "$job ${handles:--} $([ -n "$pid" ] && fd_count "$pid" || echo -) \
$([ -n "$server" ] && fd_count "$server" || echo -) $([ -n "$pid" ] && rss_kb "$pid" || echo -)" \
    >>"$CASE/samples.txt"
}

# Samples after the warm-up, every 50 jobs (to show a trend) and the last.
SAMPLES=$WARMUP
for i in $(seq 50 50 $((JOBS - 1))); do [ "$i" -gt "$WARMUP" ] && SAMPLES="$SAMPLES,$i"; done
SAMPLES="$SAMPLES,$JOBS"
RUN_OUT="$CASE/load-run.txt"
: >"$CASE/samples.txt"
: >"$RUN_OUT"
rm -f "$C/load-go"
START=$SECONDS
wine "$PRINTDOC" TAVRIN load --load "$JOBS" --raw-dir 'C:\load' --gdi-every "$GDI_EVERY" \
  --sample-after "$SAMPLES" --go-file 'C:\load-go' >"$RUN_OUT" 2>&1 &
RUN_PID=$!
SAMPLED=0
DEADLINE=$((SECONDS + ${LOAD_TIMEOUT:-1500}))
while kill -0 "$RUN_PID" 2>/dev/null; do
  NEXT=$(tr -d '\r' <"$RUN_OUT" | awk '$1 == "load" && $2 == "sample" {print $3}' | sed -n "$((SAMPLED + 1))p")
  if [ -n "$NEXT" ]; then
    sample "$NEXT"
    SAMPLED=$((SAMPLED + 1))
    touch "$C/load-go"
  fi
  if [ $SECONDS -ge $DEADLINE ]; then
    echo "printdoc: no end after ${LOAD_TIMEOUT:-1500} s" >>"$RUN_OUT"
    kill "$RUN_PID" 2>/dev/null || true
  fi
  sleep 0.2
done
STATUS=0
wait "$RUN_PID" || STATUS=$?
tr -d '\r' <"$RUN_OUT" >"$RUN_OUT.tmp" && mv "$RUN_OUT.tmp" "$RUN_OUT"
ELAPSED=$((SECONDS - START))
DONE=$(awk '$1 == "load" && $2 == "job"' "$RUN_OUT" | wc -l)
echo "printed $DONE jobs in $ELAPSED s"
check "printdoc printed every job from one process" test "$STATUS" -eq 0 -a "$DONE" -eq "$JOBS"

# The output folder: the PDFs of the jobs by name, nothing else.
for i in $(seq "$JOBS"); do printf 'load %03d.pdf\n' "$i"; done | LC_ALL=C sort >"$CASE/expected.txt"
output_files >"$CASE/outputs.txt"
check "as many PDFs as jobs ($JOBS)" test "$(grep -c '\.pdf$' "$CASE/outputs.txt")" -eq "$JOBS"
check "the output folder holds the jobs' PDFs and nothing else (no .ps, no temporary file)" \
  cmp -s "$CASE/expected.txt" "$CASE/outputs.txt"
diff "$CASE/expected.txt" "$CASE/outputs.txt" | head -5 || true
if [ -n "$OUTPUT_USER" ]; then
  check "C:\\tavrin\\output holds the user's folder and nothing else" \
    test "$(ls -A "$(OUTPUT_BASE)")" = "$OUTPUT_USER"
fi

# Each PDF holds its own job's text and no other job's.
: >"$CASE/wrong-text.txt"
for i in $(seq "$JOBS"); do
  n=$(printf '%03d' "$i")
  pdf="$OUT/load $n.pdf"
  # (pdftotext begins each page after the first with a form feed.)
  pdftotext "$pdf" - 2>/dev/null | tr -d '\f' >"$CASE/text.txt" ||
    { echo "$n: no text" >>"$CASE/wrong-text.txt"; continue; }
  others=$(grep 'Load job [0-9]' "$CASE/text.txt" | grep -vc "Load job $n" || true)
  if [ "$GDI_EVERY" -gt 0 ] && [ $((i % GDI_EVERY)) -eq 0 ]; then
    grep -qx "Load job $n" "$CASE/text.txt" && grep -qx 'Tavrin sample document' "$CASE/text.txt" &&
      [ "$others" -eq 0 ] || echo "$n: GDI job's text missing or foreign" >>"$CASE/wrong-text.txt"
  else
    grep -qx "Load job $n page 1 line 01: the quick brown fox jumps over the lazy dog" "$CASE/text.txt" &&
      grep -qx "Load job $n page $PAGES line 64: the quick brown fox jumps over the lazy dog" "$CASE/text.txt" &&
      ! grep -q "page $((PAGES + 1)) line" "$CASE/text.txt" &&
      [ "$(grep -c "Load job $n page" "$CASE/text.txt")" -eq $((PAGES * 64)) ] &&
      [ "$others" -eq 0 ] || echo "$n: RAW job's text incomplete or foreign" >>"$CASE/wrong-text.txt"
  fi
done
rm -f "$CASE/text.txt"
check "every PDF holds its own job's whole text and no other's" test ! -s "$CASE/wrong-text.txt"
head -5 "$CASE/wrong-text.txt"

# Handles, descriptors and memory: after the last job within 10% of what
# they were after the warm-up.
read -r _ H1 F1 S1 M1 < <(awk -v j="$WARMUP" '$1 == j' "$CASE/samples.txt") || true
read -r _ H2 F2 S2 M2 < <(awk -v j="$JOBS" '$1 == j' "$CASE/samples.txt") || true
echo "after job $WARMUP: ${H1:--} handles, ${F1:--} fds, wineserver ${S1:--} fds, VmRSS ${M1:--} kB" | tee "$CASE/resources.txt"
echo "after job $JOBS: ${H2:--} handles, ${F2:--} fds, wineserver ${S2:--} fds, VmRSS ${M2:--} kB" | tee -a "$CASE/resources.txt"
echo "every sample (job, handles, fds, wineserver fds, VmRSS kB): $(tr '\n' ';' <"$CASE/samples.txt")"
# within_10 FIRST LAST: both are counts, FIRST > 0, LAST within 10% of it.
within_10() {
  [[ $1 =~ ^[0-9]+$ && $2 =~ ^[0-9]+$ ]] && [ "$1" -gt 0 ] &&
    [ $(($2 * 10)) -le $(($1 * 11)) ] && [ $(($2 * 10)) -ge $(($1 * 9)) ]
}
check "handles after job $JOBS within 10% of those after job $WARMUP" within_10 "${H1:-}" "${H2:-}"
check "file descriptors after job $JOBS within 10% of those after job $WARMUP" within_10 "${F1:-}" "${F2:-}"
check "resident memory after job $JOBS within 10% of that after job $WARMUP" within_10 "${M1:-}" "${M2:-}"

rm -rf "$C/load"
read_monitor_log
if [ "$(wc -c <"$MONITOR_LOG")" -gt 3 ]; then
  echo "the monitor's log:"
  sed 's/^/  /' "$MONITOR_LOG" | cut -c1-400
fi
finish
