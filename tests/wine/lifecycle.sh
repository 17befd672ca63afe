#!/usr/bin/env bash
# A first install, an install over it, "uninstall" answered No and then Yes
# (twice on Windows 9x), and an install again, on one Windows version. On
# the 64-bit versions the 64-bit edition in a 64-bit prefix, its records
# under the spooler environment "Windows x64".
source "$(dirname "$0")/lib.sh"
new_case lifecycle "${1:?usage: lifecycle.sh win98|nt40|win2k|winxp|winxp64|win10}"

PRINT='SYSTEM\CurrentControlSet\Control\Print'
PORT_KEY="$PRINT\\Monitors\\TAVRIN Monitor\\Ports\\TAVRINPORT"
ENTRY_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin'
CONFIRM=$'setup\tAre your sure you want to uninstall tavrin?\tYes,No'
if [ "$VERSION" = win98 ]; then
  NT=0; FLAG="is_winnt = FALSE"; LIB=tavmon95.dll; UI=tavmona95.dll
else
  NT=1; FLAG="is_winnt = TRUE"; LIB=tavmon.dll; UI=tavmona.dll
fi
ENVIRONMENT=$(spooler_environment_of "$EDITION")
ENV_KEY="$PRINT\\Environments\\$ENVIRONMENT"

expect_installed() {
  local when=$1
  probe_spooler
  check "$when: monitor registered" has "$SPOOLER" "monitor TAVRIN Monitor |"
  check "$when: port offered by the monitor" has "$SPOOLER" "port TAVRINPORT | TAVRIN Monitor |"
  check "$when: driver registered" has "$SPOOLER" "driver TAVRIN Printer Driver |"
  if [ "$PREFIX_ARCH" = win64 ]; then
    # Wine's EnumMonitors names "Windows NT x86" for every monitor, its own
    # "Local Port" too, in a 64-bit prefix as well.
    check "$when: Wine lists the monitor for \"Windows NT x86\"" has "$SPOOLER" \
      "monitor TAVRIN Monitor | Windows NT x86 | tavmon.dll"
  fi
  if [ $NT = 1 ]; then
    check "$when: driver registered for \"$ENVIRONMENT\", version 3, its files in $(basename "$DRIVER_DIR")\\3" \
      has "$SPOOLER" "driver TAVRIN Printer Driver | 3 | $ENVIRONMENT | C:\\windows\\system32\\spool\\drivers\\$(basename "$DRIVER_DIR")\\3\\"
  fi
  check "$when: monitor library in the system folder" cmp "$C/windows/system32/$LIB" "$C/tavrin/res/drivedir/$LIB"
  check "$when: its user-interface library too" cmp "$C/windows/system32/$UI" "$C/tavrin/res/drivedir/$UI"
  check "$when: readme viewer started" has_line "$STARTED" 'rundll32.exe url.dll,FileProtocolHandler C:\tavrin\readme.html'
  check "$when: console trace reaches the end" has "$TRACE" "Completing printer setup..."
  probe_reg "$ENTRY_KEY" "$CASE/entry.txt"
  check "$when: Add/Remove Programs name" has "$CASE/entry.txt" "\"DisplayName\" REG_SZ 7:$(sz_hex Tavrin)"
  check "$when: Add/Remove Programs command" has "$CASE/entry.txt" \
    "\"UninstallString\" REG_SZ 30:$(sz_hex 'C:\tavrin\setup.exe uninstall')"
  check "$when: quiet setting reset" grep -q '^Quiet=0' "$C/tavrin/res/tavrin.ini"
}

expect_removed() {
  local when=$1
  # The driver's key went from under "Windows x64"; the Drivers\Version-3
  # key that Wine's spooler made for the environment's first driver (a
  # fresh 64-bit prefix has none) stays, empty.
  probe_reg "$ENV_KEY" "$CASE/environment-after.txt"
  if [ "$EDITION" = win64 ]; then
    check_not "$when: the driver's key under \"$ENVIRONMENT\" deleted" \
      grep -qF "[$ENV_KEY\\Drivers\\Version-3\\TAVRIN Printer Driver]" "$CASE/environment-after.txt"
    check "$when: Wine's Drivers\\Version-3 key stays, empty" test \
      "$(awk -v k="[$ENV_KEY\\Drivers\\Version-3" 'index($0, k) == 1' "$CASE/environment-after.txt")" = \
      "[$ENV_KEY\\Drivers\\Version-3]"
  fi
  probe_spooler
  check_not "$when: no monitor" has "$SPOOLER" "TAVRIN Monitor"
  check_not "$when: no port" has "$SPOOLER" "TAVRINPORT"
  check_not "$when: no driver" has "$SPOOLER" "TAVRIN Printer Driver"
  check_not "$when: no printer" has "$SPOOLER" "printer TAVRIN |"
  probe_reg "$PRINT" "$CASE/print-after.txt"
  check_not "$when: no product key under Control\\Print" grep -q 'TAVRIN' "$CASE/print-after.txt"
}

# 0. The machine as a 64-bit prefix shows it to a 64-bit program.
if [ "$PREFIX_ARCH" = win64 ]; then
  wine 'C:\wineprobe.exe' platform 2>/dev/null | tr -d '\r' >"$CASE/platform.txt" || true
  case $VERSION in
    winxp64) GETVERSION=0x0ece0205 ;;  # 5.2, build 3790
    win10) GETVERSION=0x23f00206 ;;    # 6.2, build 9200: Windows 10 without a manifest
  esac
  check "64-bit prefix: GetVersion $GETVERSION" has_line "$CASE/platform.txt" "version $GETVERSION"
  check "64-bit prefix: processor architecture 9 (AMD64)" has_line "$CASE/platform.txt" "architecture 9"
  check "64-bit prefix: the printer-driver folder is x64" has_line "$CASE/platform.txt" \
    'driver-directory C:\windows\system32\spool\drivers\x64'
fi

# 1. First install.
run_setup
check "first install: no message box" test ! -s "$BOXES"
FLAGS_AT=1
if [ $NT = 1 ]; then
  # Wine's service "Spooler" is not running in a new prefix (docs/WINE.md):
  # on the NT family the install starts it before anything else.
  check "first install: the stopped spooler started first" \
    test "$(head -2 "$LOG")" = $'Spooler not running: starting it\nSpooler started'
  FLAGS_AT=3
fi
check "first install: then the platform flags" \
  test "$(tail -n +$FLAGS_AT "$LOG" | head -2)" = "$FLAG"$'\n'"is_win4 = TRUE"
check "first install: driver folder logged" grep -q '^Printer Driver Directory: C:\\windows\\system32\\spool\\drivers\\' "$LOG"
check_not "first install: every copy succeeded" grep -q '^CopyFile' "$LOG"
check_not "first install: monitor added" grep -q '^AddMonitor' "$LOG"
check_not "first install: driver added" grep -q '^AddPrinterDriver' "$LOG"
# Wine refuses a printer record without a data type after creating the
# printer (docs/WINE.md); Windows takes the print processor's default.
check "first install: Wine's answer to the printer record" has_line "$LOG" "AddPrinter: 87"
probe_spooler
check "first install: the printer exists all the same" has "$SPOOLER" "printer TAVRIN | TAVRINPORT | TAVRIN Printer Driver | winprint"
if [ $NT = 1 ]; then
  for f in Pscript.dll Tavrinui.dll Pscript.hlp gs.PPD fontsub.tbl; do
    check "first install: $f in the driver folder" cmp "$DRIVER_DIR/$f" "$C/tavrin/res/drivedir/$f"
  done
  if [ "$VERSION" != nt40 ]; then
    for f in tavrinps5.PPD pscript5.dll ps5ui.dll tavrin.INI tavrinui5.DLL pscript.ntf; do
      check "first install: Windows 2000 file $f in the driver folder" cmp "$DRIVER_DIR/$f" "$C/tavrin/res/drivedir/$f"
    done
  fi
else
  check "first install: tavdriver.SPD in the driver folder" cmp "$DRIVER_DIR/tavdriver.SPD" "$C/tavrin/res/drivedir/tavdriver.SPD"
fi
case $VERSION in
  win98) DATA=printerdata.dat DEVMODE=dfdevmd.dat ;;
  nt40) DATA=printerdata.dat DEVMODE=dfdevmdnt.dat ;;
  *) DATA=printerdata5.dat DEVMODE=dfdevmdnt5.dat ;;
esac
if [ "$EDITION" = win64 ]; then
  probe_reg "$PRINT\\Environments" "$CASE/environments.txt"
  check "64-bit: the driver's key under \"Windows x64\"" grep -qF \
    "[$PRINT\\Environments\\Windows x64\\Drivers\\Version-3\\TAVRIN Printer Driver]" "$CASE/environments.txt"
  check_not "64-bit: none under \"Windows NT x86\"" grep -qF \
    "[$PRINT\\Environments\\Windows NT x86\\Drivers\\Version-3\\TAVRIN Printer Driver]" "$CASE/environments.txt"
  probe_reg "$PRINT\\Monitors\\TAVRIN Monitor" "$CASE/print-monitor.txt"
  check "64-bit: the monitor's key names tavmon.dll" has "$CASE/print-monitor.txt" \
    "\"Driver\" REG_SZ 11:$(sz_hex tavmon.dll)"
fi
probe_reg "$PRINT\\Printers\\TAVRIN" "$CASE/printer.txt"
check "printer data: the bytes of $DATA" has "$CASE/printer.txt" \
  "\"PrinterData\" REG_BINARY $(binary_value "$C/tavrin/res/drivedir/$DATA")"
check "default device mode: the bytes of $DEVMODE" has "$CASE/printer.txt" \
  "\"Default DevMode\" REG_BINARY $(binary_value "$C/tavrin/res/drivedir/$DEVMODE")"
expect_installed "first install"
probe_reg "$PORT_KEY" "$CASE/port.txt"
check "port record: Arguments" has "$CASE/port.txt" \
  "\"Arguments\" REG_SZ 63:$(sz_hex '@C:\tavrin\res\pdfwrite.rsp -sOutputFile="%1" -c save pop -f -')"
check "port record: Command" has "$CASE/port.txt" \
  "\"Command\" REG_SZ 35:$(sz_hex 'C:\tavrin\res\convert\gswin32c.exe')"
check "port record: Delay 300" has "$CASE/port.txt" '"Delay" REG_DWORD 4:2c010000'
check "port record: LogFileName empty" has "$CASE/port.txt" '"LogFileName" REG_SZ 1:00'
check "port record: ShowWindow 2" has "$CASE/port.txt" '"ShowWindow" REG_DWORD 4:02000000'
check "port record: twelve values" test "$(grep -c '^  "' "$CASE/port.txt")" -eq 12
if [ $NT = 1 ]; then
  check "NT: spooler initialisation traced" has "$TRACE" "Initializing Spooler"
else
  check "9x: driver folder traced" has "$TRACE" "Driver directory: C:\\windows\\system32\\spool\\drivers\\win40"
fi

# 2. An install over the installed product.
run_setup
check "install over: no message box" test ! -s "$BOXES"
check "install over: monitor already there is only logged" grep -q '^AddMonitor: ' "$LOG"
expect_installed "install over"

# 3. "uninstall" answered No: nothing is touched.
run_setup uninstall -- no
check "uninstall No: the confirmation, captioned setup" has_line "$BOXES" "$CONFIRM"$'\tno'
check "uninstall No: only that box" test "$(wc -l <"$BOXES")" -eq 1
probe_spooler
check "uninstall No: monitor still registered" has "$SPOOLER" "monitor TAVRIN Monitor |"
check "uninstall No: no new log line" test ! -s "$LOG"

# 4. "uninstall" answered Yes.
run_setup uninstall -- yes ok
check "uninstall Yes: the confirmation first" test "$(head -1 "$BOXES")" = "$CONFIRM"$'\tyes'
expect_removed "uninstall"
probe_reg "$ENTRY_KEY" "$CASE/entry.txt"
if [ $NT = 1 ]; then
  check "NT uninstall: folder message" has "$BOXES" "delete c:\\tavrin and its contents"
  check "NT uninstall: entry removed" test ! -s "$CASE/entry.txt"
else
  check "9x uninstall: reboot message" has "$BOXES" "Please reboot to fully remove the TAVRIN Printer Driver"
  check "9x uninstall: entry kept until the second run" test -s "$CASE/entry.txt"
  check "9x uninstall: marker set" grep -q '^Uninstall=1' "$C/tavrin/res/tavrin.ini"
  run_setup uninstall -- yes ok
  check "9x second uninstall: folder message" has "$BOXES" "delete ..\\tavrin and its contents"
  probe_reg "$ENTRY_KEY" "$CASE/entry.txt"
  check "9x second uninstall: entry removed" test ! -s "$CASE/entry.txt"
fi

# 5. Install again.
run_setup
check "install again: no message box" test ! -s "$BOXES"
expect_installed "install again"

# 6. The Windows versions a 64-bit prefix cannot pose as: winecfg refuses
# the 32-bit-only ones (the 32-bit edition's versions run in 32-bit prefixes).
if [ "$PREFIX_ARCH" = win64 ]; then
  for v in winxp win2k win98; do
    check_not "64-bit prefix: winecfg refuses $v" wine winecfg -v "$v"
  done
fi

finish
