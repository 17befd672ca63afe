#!/usr/bin/env bash
# Tells whether this host can run 32-bit x86 Linux programs, which Wine's
# 32-bit loader and wineserver are: some x86-64 kernels refuse every i386 ELF
# file ("Exec format error"). The probe is the i386 dynamic loader, which
# wine32 brings along (run scripts/deps.sh wine first).
#
# Exit code 0: it can. Otherwise exit code 1 and one line on standard
# output saying why not. TAVRIN_HOST_RUNS_I386=1 or =0 overrides the probe
# (=0 gives a host that can the checks of one that cannot).
set -euo pipefail
loader=/lib/ld-linux.so.2

case ${TAVRIN_HOST_RUNS_I386:-} in
  1) exit 0 ;;
  0) echo "this host cannot run 32-bit x86 programs (TAVRIN_HOST_RUNS_I386=0)"; exit 1 ;;
  '') ;;
  *) echo "host-runs-i386.sh: TAVRIN_HOST_RUNS_I386 must be 0 or 1" >&2; exit 2 ;;
esac
if [ ! -e "$loader" ]; then
  echo "this host cannot run 32-bit x86 programs ($loader is missing: install wine32)"
  exit 1
fi
status=0
"$loader" --version >/dev/null 2>&1 || status=$?
if [ $status -ne 0 ]; then
  echo "this host cannot run 32-bit x86 programs ($loader --version: exit code $status)"
  exit 1
fi
