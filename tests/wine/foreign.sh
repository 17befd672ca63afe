#!/usr/bin/env bash
# A machine with a printer, monitor and driver of its own: after an install
# and the uninstall, every key under Control\Print that is not the
# product's is byte for byte as before.
source "$(dirname "$0")/lib.sh"
new_case foreign "${1:?usage: foreign.sh win98|nt40|win2k|winxp|winxp64|win10}"
PRINT='SYSTEM\CurrentControlSet\Control\Print'

cp "$C/tavrin/res/drivedir/tavmon.dll" "$C/windows/system32/othermon.dll"
check "another monitor, driver and printer set up" wine 'C:\wineprobe.exe' seed-other
RUN=0
probe_spooler
check "set-up: the other printer exists" has "$SPOOLER" "printer Other Printer |"
probe_reg "$PRINT" "$CASE/print-before.txt"

run_setup
probe_spooler
check "install: the product's monitor is there" has "$SPOOLER" "monitor TAVRIN Monitor |"
check "install: the other monitor is still there" has "$SPOOLER" "monitor Other Monitor |"
run_setup uninstall -- yes ok
[ "$VERSION" = win98 ] && run_setup uninstall -- yes ok
probe_spooler
check "uninstall: the other driver is still there" has "$SPOOLER" "driver Other Driver |"
check "uninstall: the other printer is still there" has "$SPOOLER" "printer Other Printer |"
probe_reg "$PRINT" "$CASE/print-after.txt"
if diff "$CASE/print-before.txt" "$CASE/print-after.txt" >"$CASE/print.diff"; then
  pass "uninstall: Control\\Print as before, byte for byte"
else
  fail "uninstall: Control\\Print changed (see $CASE/print.diff)"
fi
finish
