#!/usr/bin/env bash
# The benchmarks, each ratio measured side by side in one run, on every
# edition this host can run: the 32-bit edition on Wine posing as Windows XP
# (where the host runs 32-bit x86 programs) and the 64-bit edition on Wine
# posing as Windows 10. Printed as a table, each row naming its edition,
# and appended to README.md under "## Benchmarks" with the machine they ran
# on:
#
#   install  a first install's wall time vs the waits it prescribes (<= 1.10)
#   print    a 50-page document through the spooler and the port monitor
#            vs the same Windows Ghostscript under Wine on the file (<= 1.5), and
#            vs the host's gs on it (for information)
#   memory   the printing process's peak memory, 50 MB job vs 1 MB job (<= 1.10)
#   load     300 RAW jobs of 200 KB from one process through the spooler and
#            the port monitor vs gs directly on the same files, in jobs per
#            second (<= 1.10 as a time ratio)
#
# Usage: bench/run.sh [install] [print] [memory] [load]   (all four by default)
# Needs the editions built (scripts/build.sh). BENCH_EDITIONS="win32 win64"
# names the editions (by default those the host can run); BENCH_NO_README=1
# leaves README.md alone; RUNS=N repeats the print pair; INSTALL_RUNS=N the
# first install (each in a fresh prefix); LOAD_JOBS and LOAD_KB size the load.
set -euo pipefail
BENCH=$(cd "$(dirname "$0")" && pwd)
source "$BENCH/../tests/wine/lib.sh"
WORK="$TOP/build/bench"
WANT=" ${*:-install print memory load} "
for part in $WANT; do
  case $part in install|print|memory|load) ;; *) echo "bench: unknown part '$part'" >&2; exit 2 ;; esac
done
for f in common install_wait print_speed job_memory load; do source "$BENCH/$f.sh"; done

if [ -z "${BENCH_EDITIONS:-}" ]; then
  BENCH_EDITIONS="win32 win64"
  if why=$("$TOP/scripts/host-runs-i386.sh"); then :; else
    BENCH_EDITIONS=win64
    echo "$why: the 32-bit edition is not measured"
  fi
fi

# bench_edition EDITION: the measurements of one edition, its rows
# tagged with it; the prefix is removed afterwards unless BENCH_KEEP=1.
bench_edition() {
  case $1 in
    win32) BENCH_VERSION=winxp BENCH_TAG="32-bit, XP" ;;
    win64) BENCH_VERSION=win10 BENCH_TAG="64-bit, 10" ;;
    *) echo "bench: unknown edition '$1'" >&2; exit 2 ;;
  esac
  local first_row=${#ROWS[@]}
  # The install comes first in any case: the others print through the last
  # install's prefix.
  measure_install
  source "$TOP/tests/wine/printlib.sh"
  if [ "$INSTALL_OK" = 1 ] && [[ $WANT == *" print "* || $WANT == *" memory "* || $WANT == *" load "* ]]; then
    enable_printer
    # Only a job path that turns a job into its PDF is worth timing.
    print_job "Bench probe" --pages 1
    if wait_for_pdfs 1 60 &&
       pdftotext "$(OUTPUT_DIR)/$(new_outputs .pdf | head -1)" - 2>/dev/null | grep -qx 'Tavrin sample document'; then
      [[ $WANT == *" print "* ]] && measure_print
      [[ $WANT == *" memory "* ]] && measure_memory
      [[ $WANT == *" load "* ]] && measure_load
    else
      [[ $WANT == *" print "* ]] && row "50-page print ($BENCH_TAG), spooler + monitor vs gs" "-" "-" "-" 1.10 \
        "not run: the port monitor made no PDF of a test job with its text"
      [[ $WANT == *" memory "* ]] && row "peak memory ($BENCH_TAG), 50 MB job vs 1 MB job" "-" "-" "-" 1.10 \
        "not run: the port monitor made no PDF of a test job with its text"
      [[ $WANT == *" load "* ]] && row "load ($BENCH_TAG), jobs/s spooler + monitor vs gs" "-" "-" "-" 1.10 \
        "not run: the port monitor made no PDF of a test job with its text"
    fi
  fi
  # The install row only when asked for.
  [[ $WANT == *" install "* ]] || ROWS=("${ROWS[@]:0:first_row}" "${ROWS[@]:first_row+1}")
  cleanup
  [ "${BENCH_KEEP:-0}" = 1 ] || rm -rf "$CASE/prefix"
}

echo "| measurement | measured | reference | ratio | target | result |"
echo "|---|---|---|---|---|---|"
for edition in $BENCH_EDITIONS; do bench_edition "$edition"; done

machine() {
  local cpu mem
  cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  mem=$(awk '/^MemTotal:/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
  echo "$(nproc) CPUs ($cpu), $mem memory, $(wine --version), Ghostscript $(gs --version)"
}
# The dated block with the machine and the rows, placed at the end of the
# "## Benchmarks" section (made at the end of README.md when missing).
if [ "${BENCH_NO_README:-0}" != 1 ]; then
  readme="$TOP/README.md"
  block="$CASE/readme-block.md"
  {
    echo
    echo "### $(date -u '+%Y-%m-%d %H:%M') UTC: $(machine)"
    echo
    echo "| measurement | measured | reference | ratio | target | result |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${ROWS[@]}"
  } >"$block"
  if ! grep -qx '## Benchmarks' "$readme"; then
    printf '\n## Benchmarks\n\n`bench/run.sh` (after the builds) measures each edition the host can run, each ratio side by side in one run, and appends its table here.\n' >>"$readme"
  fi
  awk -v block="$block" '
    function put() { while ((getline line < block) > 0) print line; done = 1 }
    /^## / { if (in_section && !done) { put(); print "" } in_section = ($0 == "## Benchmarks") }
    { print }
    END { if (!done) put() }
  ' "$readme" >"$readme.tmp" && mv "$readme.tmp" "$readme"
  echo "appended to $readme"
fi
