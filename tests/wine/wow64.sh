#!/usr/bin/env bash
# The 32-bit edition's setup.exe on 64-bit Windows (a 64-bit prefix, where
# Wine runs it through its own WOW64): the install and "uninstall" each show
# only the wrong-edition message, log it, and change nothing, on a machine
# without the product and on one where the 64-bit edition has installed it.
# Needs a host that can run 32-bit x86 programs.
source "$(dirname "$0")/lib.sh"
new_case wow64 "${1:?usage: wow64.sh winxp64|win10}" win32

PRINT='SYSTEM\CurrentControlSet\Control\Print'
ENTRY_KEY='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin'
# Where a 32-bit program's writes to HKLM\Software land under WOW64.
ENTRY_KEY_32='Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin'
REFUSAL='This setup is for 32-bit Windows. Please run the 64-bit setup of tavrin.'
SYS32="$C/windows/system32"
SYSWOW="$C/windows/syswow64"

check "the staged setup.exe is the 32-bit edition's" cmp "$C/tavrin/setup.exe" "$TOP/build/win32/setup.exe"

# snapshot FILE: what an install or uninstall would change: the keys under
# Control\Print and the Add/Remove Programs entry in both registry views
# (exact bytes), the monitor libraries in both system folders, the
# printer-driver folders, and the product's settings file.
snapshot() {
  {
    wine 'C:\wineprobe.exe' reg "$PRINT" 2>/dev/null | tr -d '\r'
    wine 'C:\wineprobe.exe' reg "$ENTRY_KEY" 2>/dev/null | tr -d '\r'
    wine 'C:\wineprobe.exe' reg "$ENTRY_KEY_32" 2>/dev/null | tr -d '\r'
    (cd "$C/windows" && { find system32 syswow64 -maxdepth 1 -iname 'tavmon*.dll' -print0
                          find system32/spool/drivers syswow64/spool/drivers -type f -print0 2>/dev/null || true
                        } |
      LC_ALL=C sort -z | xargs -0r md5sum)
    md5sum "$C/tavrin/res/tavrin.ini"
  } >"$1"
}

# expect_refusal WHEN: the last run showed the message once, captioned
# setup, with an OK button, logged it and started nothing.
expect_refusal() {
  local when=$1
  check "$when: the wrong-edition message, captioned setup, with an OK button, and nothing else" \
    test "$(cat "$BOXES")" = "setup"$'\t'"$REFUSAL"$'\t'"OK"$'\t'"ok"
  check "$when: the setup log holds that line alone" test "$(cat "$LOG")" = "$REFUSAL"
  check "$when: no program started" test ! -s "$STARTED"
  check_not "$when: no install steps traced" has "$TRACE" "Completing printer setup..."
}

# 1. A machine without the product: the install refuses.
snapshot "$CASE/before-1.txt"
run_setup
expect_refusal "install"
snapshot "$CASE/after-1.txt"
if diff "$CASE/before-1.txt" "$CASE/after-1.txt" >"$CASE/changes-1.diff"; then
  pass "install: nothing changed (Control\\Print, the entry, system and driver folders)"
else
  fail "install: something changed (see $CASE/changes-1.diff)"
fi
probe_spooler
check_not "install: no monitor" has "$SPOOLER" "TAVRIN Monitor"
check_not "install: no driver" has "$SPOOLER" "TAVRIN Printer Driver"
check_not "install: no printer" has "$SPOOLER" "printer TAVRIN |"
check "install: no Add/Remove Programs entry" test ! -s <(wine 'C:\wineprobe.exe' reg "$ENTRY_KEY" 2>/dev/null)

# 2. The 64-bit edition installs the product.
"$TOP/scripts/stage-product.sh" --edition win64 "$C" >"$CASE/stage-64.txt"
run_setup
probe_spooler
check "64-bit edition: installed (monitor)" has "$SPOOLER" "monitor TAVRIN Monitor |"
check "64-bit edition: installed (driver for \"Windows x64\")" has "$SPOOLER" "driver TAVRIN Printer Driver | 3 | Windows x64 |"
check "64-bit edition: installed (printer)" has "$SPOOLER" "printer TAVRIN | TAVRINPORT |"

# 3. The 32-bit setup.exe's "uninstall" refuses before its confirmation
# question and leaves the product installed.
cp "$TOP/build/win32/setup.exe" "$C/tavrin/setup.exe"
snapshot "$CASE/before-3.txt"
run_setup uninstall
expect_refusal "uninstall"
snapshot "$CASE/after-3.txt"
if diff "$CASE/before-3.txt" "$CASE/after-3.txt" >"$CASE/changes-3.diff"; then
  pass "uninstall: nothing changed (Control\\Print, the entry, system and driver folders)"
else
  fail "uninstall: something changed (see $CASE/changes-3.diff)"
fi
probe_spooler
check "uninstall: the monitor is still there" has "$SPOOLER" "monitor TAVRIN Monitor |"
check "uninstall: the printer is still there" has "$SPOOLER" "printer TAVRIN | TAVRINPORT |"
check "uninstall: the product folder is still there" test -f "$C/tavrin/res/tavrin.ini"

finish
