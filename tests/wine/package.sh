#!/usr/bin/env bash
# The Windows Installer package of the version's edition (scripts/dist.sh),
# installed and removed with Wine's msiexec as an administrator deploys it:
# a silent install into the default folder (no message box, no readme, the
# printer, "Path", the setup log, one Add/Remove Programs entry), a job to
# PDF, a silent uninstall that keeps the user's PDF and leaves nothing else
# of the product, every other print key as it was; then a package of a lower
# version into a folder given by INSTALLDIR (blanks in it), a job, the
# current package over it (one printer, one entry, the old PDF kept, a new
# job), and an uninstall with REMOVEOUTPUT=1 that leaves nothing at all.
source "$(dirname "$0")/lib.sh"
new_case package "${1:?usage: package.sh winxp|win10 (any version of lib.sh)}"
# The package brings the tree and "Path" itself: none of new_case's.
rm -rf "$C/tavrin"
wine reg delete 'HKLM\Software\Tavrin' /f >/dev/null 2>&1
source "$TOP/tests/wine/printlib.sh"
source "$TOP/tests/wine/msilib.sh"

ARCH=$([ "$EDITION" = win64 ] && echo x64 || echo x86)
PRINT='SYSTEM\CurrentControlSet\Control\Print'
UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
SYSTEM_DIR="$C/windows/system32"
OLD_VERSION=0.9.0.1

# The packages of this tree: the current version, and one that counts as
# older for the upgrade.
"$TOP/scripts/dist.sh" --out "$CASE/dist" "$EDITION" >"$CASE/dist.txt" 2>&1 ||
  { cat "$CASE/dist.txt"; echo "dist.sh failed"; exit 1; }
TAVRIN_PACKAGE_VERSION=$OLD_VERSION "$TOP/scripts/dist.sh" --out "$CASE/dist-old" "$EDITION" \
  >>"$CASE/dist.txt" 2>&1 || { cat "$CASE/dist.txt"; echo "dist.sh (old) failed"; exit 1; }
NEW_MSI=$(ls "$CASE"/dist/tavrin-*-"$ARCH".msi)
NEW_VERSION=$(basename "$NEW_MSI" | sed -e "s/^tavrin-//" -e "s/-$ARCH\.msi\$//")
cp "$NEW_MSI" "$C/new.msi"
cp "$CASE/dist-old/tavrin-$OLD_VERSION-$ARCH.msi" "$C/old.msi"

# entries: the Add/Remove Programs entries named "Tavrin", one key a line.
entries() {
  wine reg query "$UNINSTALL" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ {key = $0} $1 == "DisplayName" && $3 == "Tavrin" {print key}'
}
# product_files: the product's files outside its folder that an install
# leaves: the monitor libraries and the product's own driver files.
product_files() {
  local d="$C/windows/system32/spool/drivers/$(driver_folder_of "$EDITION")"
  (cd "$SYSTEM_DIR" && ls -1 tavmon*.dll 2>/dev/null) || true
  (cd "$d" && ls -1 tavrinps5.PPD tavrin.INI tavrinui5.DLL gs.PPD Tavrinui.dll 2>/dev/null) || true
  (cd "$d/3" && ls -1 tavrinps5.PPD tavrin.INI tavrinui5.DLL gs.PPD Tavrinui.dll 2>/dev/null) || true
}
pdf_text() { pdftotext "$1" - 2>/dev/null | sed -e 's/^ *//' -e 's/ *$//' | grep -v '^$' || true; }

# The installed package's run of setup.exe and its outcome, as every
# install below checks it. $1 names the step; $2 "over" for a run over the
# installed product (a repair).
check_installed() {
  check "$1: msiexec ended with 0 (see $MSI_LOG)" test "$MSI_STATUS" -eq 0
  check "$1: no message box" test ! -s "$BOXES"
  check "$1: no readme opened (Quiet)" test ! -s "$STARTED"
  check "$1: setup.exe ran as the package's action" grep -q 'TavrinSetup. Return value 1' "$MSI_LOG"
  check "$1: \"Path\" names the folder" test "$(reg_text 'HKLM\Software\Tavrin' Path)" = "$ROOT"
  check "$1: the setup log has its platform lines" has_line "$LOG" "is_winnt = TRUE"
  if [ "${2:-}" = over ]; then
    # Over the installed product: Wine's answer for the registered monitor.
    check "$1: the setup log has Wine's monitor answer" has_line "$LOG" "AddMonitor: 3006"
  else
    check "$1: the setup log has Wine's printer answer" has_line "$LOG" "AddPrinter: 87"
  fi
  check "$1: \"Quiet\" reset to 0" grep -q '^Quiet=0' "$ROOT_UNIX/tavrin/res/tavrin.ini"
  check "$1: the printer's key exists" enable_printer
  entries >"$CASE/entries-$RUN.txt"
  check "$1: one Add/Remove Programs entry" test "$(wc -l <"$CASE/entries-$RUN.txt")" -eq 1
  check "$1: it is Windows Installer's" grep -q 'Uninstall\\{' "$CASE/entries-$RUN.txt"
}

# print_text NAME: a one-page GDI job; passes when its PDF holds the text.
print_text() {
  print_job "$1" --pages 1
  if wait_for_pdfs 1 && pdf_text "$(OUTPUT_DIR)/$1.pdf" | grep -qx 'Tavrin sample document'; then
    pass "$2: a job gives $1.pdf with its text"
  else
    fail "$2: no PDF $1.pdf with its text in $(OUTPUT_DIR) (printdoc: $(tr '\n' ' ' <"$JOB_OUT"))"
  fi
}

# 0. The other edition's package refuses before it changes anything: the
# 32-bit one on 64-bit Windows by its launch condition, with setup.exe's
# sentence; the 64-bit one on 32-bit Windows already by Windows Installer
# (1633: not for this processor).
OTHER=$([ "$EDITION" = win64 ] && echo win32 || echo win64)
OTHER_ARCH=$([ "$OTHER" = win64 ] && echo x64 || echo x86)
if "$TOP/scripts/dist.sh" --out "$CASE/dist-other" "$OTHER" >>"$CASE/dist.txt" 2>&1; then
  cp "$CASE"/dist-other/tavrin-*-"$OTHER_ARCH".msi "$C/other.msi"
  ROOT_UNIX="$C/nowhere"
  run_msiexec /i 'C:\other.msi' /qn
  check "other edition's package: msiexec fails" test "$MSI_STATUS" -ne 0
  check "other edition's package: no product key" test -z "$(reg_text 'HKLM\Software\Tavrin' Path)"
  check "other edition's package: no Add/Remove Programs entry" test -z "$(entries)"
  check "other edition's package: no program files" test ! -e "$C/Program Files/Tavrin"
  # Wine's log does not show the message of a failed launch condition.
  [ "$EDITION" = win64 ] && check "other edition's package: stopped at its launch conditions" \
    test -z "$(grep 'InstallFiles' "$MSI_LOG")"
else
  echo "skip - other edition's package: $OTHER is not built (see $CASE/dist.txt)"
fi

# 0b. A setup run that fails (faultcmd.exe in setup.exe's place, which
# ends with exit code 2) fails the install, and everything is rolled back.
FAILING="$CASE/failing-build"
mkdir -p "$FAILING"
cp "$TOP/build/$EDITION"/*.exe "$TOP/build/$EDITION"/*.dll "$FAILING/"
cp "$TOP/build/$EDITION/faultcmd.exe" "$FAILING/setup.exe"
if [ "$EDITION" = win64 ]; then export TAVRIN_WIN64_DIR="$FAILING"; else export TAVRIN_WIN32_DIR="$FAILING"; fi
"$TOP/scripts/dist.sh" --out "$CASE/dist-failing" "$EDITION" >>"$CASE/dist.txt" 2>&1 ||
  { cat "$CASE/dist.txt"; echo "dist.sh (failing) failed"; exit 1; }
unset TAVRIN_WIN32_DIR TAVRIN_WIN64_DIR
cp "$CASE"/dist-failing/tavrin-*-"$ARCH".msi "$C/failing.msi"
ROOT_UNIX="$C/Program Files/Tavrin"
run_msiexec /i 'C:\failing.msi' /qn
check "failed setup run: msiexec fails" test "$MSI_STATUS" -ne 0
check "failed setup run: the rollback ran" grep -q 'TavrinSetupRollback. Return value 1' "$MSI_LOG"
check "failed setup run: no file of the tree left" test -z "$(find "$ROOT_UNIX" -type f 2>/dev/null)"
check "failed setup run: no product key" test -z "$(reg_text 'HKLM\Software\Tavrin' Path)"
check "failed setup run: no Add/Remove Programs entry" test -z "$(entries)"

cp "$W32/tavmon.dll" "$SYSTEM_DIR/othermon.dll"
check "set-up: another monitor, driver and printer" wine 'C:\wineprobe.exe' seed-other
probe_reg "$PRINT" "$CASE/print-before.txt"

# 1. Silent install into the default folder.
default_root
OUTPUT_BASE() { echo "$ROOT_UNIX/tavrin/output"; }
run_msiexec /i 'C:\new.msi' /qn
check_installed "install"
check "install: the tree is in the default folder" test -f "$ROOT_UNIX/tavrin/setup.exe"
check "install: the entry shows the version" \
  test "$(reg_text "$(head -1 "$CASE/entries-$RUN.txt")" DisplayVersion)" = "$NEW_VERSION"
print_text "Package job" "install"

# 2. Silent uninstall: the user's PDF stays, nothing else of the product.
run_msiexec /x 'C:\new.msi' /qn
check "uninstall: msiexec ended with 0 (see $MSI_LOG)" test "$MSI_STATUS" -eq 0
check "uninstall: no message box" test ! -s "$BOXES"
check_not "uninstall: no printer key" wine reg query "$PRINTERS_KEY\\TAVRIN"
check_not "uninstall: no product key" wine reg query 'HKLM\Software\Tavrin'
check "uninstall: no Add/Remove Programs entry" test -z "$(entries)"
probe_reg "$PRINT" "$CASE/print-after.txt"
if diff "$CASE/print-before.txt" "$CASE/print-after.txt" >"$CASE/print.diff"; then
  pass "uninstall: Control\\Print as before, byte for byte"
else
  fail "uninstall: Control\\Print changed (see $CASE/print.diff)"
fi
check "uninstall: no monitor library or product driver file left" test -z "$(product_files)"
(cd "$ROOT_UNIX" && find . -type f | LC_ALL=C sort) >"$CASE/left-1.txt" 2>/dev/null || : >"$CASE/left-1.txt"
check "uninstall: the user's PDF is kept" has_line "$CASE/left-1.txt" "./tavrin/output/$OUTPUT_USER/Package job.pdf"
check "uninstall: nothing but the output folder left" \
  test -z "$(grep -v '^\./tavrin/output/' "$CASE/left-1.txt")"

# 3. The older package into a folder of the administrator's choice.
ROOT='C:\Print Files\Tavrin PDF\'
ROOT_UNIX="$C/Print Files/Tavrin PDF"
run_msiexec /i 'C:\old.msi' /qn "INSTALLDIR=$ROOT"
check_installed "older package in a folder with blanks"
print_text "Before upgrade" "older package"

# 4. The current package over it: same folder, one printer, one entry.
FRESH_LOG=1 run_msiexec /i 'C:\new.msi' /qn
check_installed "upgrade"
check "upgrade: the entry shows the new version" \
  test "$(reg_text "$(head -1 "$CASE/entries-$RUN.txt")" DisplayVersion)" = "$NEW_VERSION"
probe_spooler
check "upgrade: one printer TAVRIN" test "$(grep -c '^ *printer TAVRIN |' "$SPOOLER")" -eq 1
check "upgrade: the PDF from before is kept" test -f "$(OUTPUT_DIR)/Before upgrade.pdf"
print_text "After upgrade" "upgrade"

# 4b. A repair: the files again and the setup run again, in the same folder;
# the users' PDFs stay.
# Wine's msiexec has no /f (a package gives 1605, a product code "not
# implemented"): the same repair through its properties.
run_msiexec /i 'C:\new.msi' REINSTALL=ALL REINSTALLMODE=vomus /qn
check_installed "repair" over
check "repair: the PDFs from before are kept" \
  test -f "$(OUTPUT_DIR)/Before upgrade.pdf" -a -f "$(OUTPUT_DIR)/After upgrade.pdf"
print_text "After repair" "repair"

# 5. Uninstall with REMOVEOUTPUT=1: nothing left, the PDFs neither.
run_msiexec /x 'C:\new.msi' /qn REMOVEOUTPUT=1
check "uninstall with REMOVEOUTPUT=1: msiexec ended with 0" test "$MSI_STATUS" -eq 0
check "uninstall with REMOVEOUTPUT=1: the folder is gone" test ! -e "$ROOT_UNIX"
check "uninstall with REMOVEOUTPUT=1: no Add/Remove Programs entry" test -z "$(entries)"
check_not "uninstall with REMOVEOUTPUT=1: no product key" wine reg query 'HKLM\Software\Tavrin'

# 6. An install with the full user interface (no /q) opens the readme, as
# setup.exe does without the package; then away again.
default_root
run_msiexec /i 'C:\new.msi'
check "full interface: msiexec ended with 0" test "$MSI_STATUS" -eq 0
check "full interface: the readme is opened" has "$STARTED" "FileProtocolHandler $ROOT""tavrin\\readme.html"
check "full interface: no message box" test ! -s "$BOXES"
run_msiexec /x 'C:\new.msi' /qn REMOVEOUTPUT=1
check "full interface: removed again" test ! -e "$ROOT_UNIX/tavrin/setup.exe"
finish
