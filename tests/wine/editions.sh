# Which Wine and which Windows build a Windows version takes, for the Wine
# suite, the monitor check, the demo and the benchmarks. Sourced; needs $TOP.
#
# The 32-bit edition (build/win32) runs in 32-bit prefixes posing as
# Windows 98, NT 4.0, 2000 or XP, under Wine's 32-bit loader; the 64-bit
# edition (build/win64) in 64-bit prefixes posing as Windows XP x64, Server
# 2003, 7 or 10 (the versions winecfg accepts there), under Wine's 64-bit
# loader. A host that cannot run 32-bit x86 programs runs only the latter.

# The exit code that tells CTest a case did not run (SKIP_RETURN_CODE).
SKIP_CODE=77

# edition_of VERSION: win64 for the versions a 64-bit prefix poses as, else win32.
edition_of() {
  case $1 in
    winxp64|win2003|win7|win8|win81|win10) echo win64 ;;
    *) echo win32 ;;
  esac
}

# use_wine_for VERSION: sets up the environment for a prefix of that
# version: WINEARCH, and for a 64-bit prefix the 64-bit loader and server
# (WINELOADER, WINESERVER, and tests/wine/wine64 first in PATH, so that
# "wine", "wineboot", "winepath" and "wineserver" are the 64-bit ones, also
# for the Unix programs a case starts). Sets $PREFIX_ARCH.
use_wine_for() {
  PREFIX_ARCH=$(edition_of "$1")
  if [ "$PREFIX_ARCH" = win64 ]; then
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
    case ":$PATH:" in
      *":$TOP/tests/wine/wine64:"*) ;;
      *) export PATH="$TOP/tests/wine/wine64:$PATH" ;;
    esac
  else
    # Debian's own wine and wineserver, as a 32-bit prefix needs them.
    export WINEARCH=win32
    unset WINELOADER WINESERVER
    PATH=$(printf '%s' "$PATH" | tr ':' '\n' | grep -vxF "$TOP/tests/wine/wine64" | paste -sd: -)
    export PATH
  fi
}

# skip_unless_i386 WHAT: when the host cannot run 32-bit x86 programs, prints
# "SKIP: WHAT: <reason>" and ends the script with $SKIP_CODE.
skip_unless_i386() {
  local reason
  if ! reason=$("$TOP/scripts/host-runs-i386.sh"); then
    echo "SKIP: $1: $reason"
    exit $SKIP_CODE
  fi
}

# wineps_of EDITION: Wine's PostScript driver of that edition's machine.
wineps_of() {
  if [ "$1" = win64 ]; then
    echo /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/wineps.drv
  else
    echo /usr/lib/i386-linux-gnu/wine/i386-windows/wineps.drv
  fi
}

# spooler_environment_of EDITION: the spooler's environment of the NT family
# for that edition's programs.
spooler_environment_of() { if [ "$1" = win64 ]; then echo "Windows x64"; else echo "Windows NT x86"; fi; }

# driver_folder_of EDITION: that environment's printer-driver folder under
# spool\drivers.
driver_folder_of() { if [ "$1" = win64 ]; then echo x64; else echo w32x86; fi; }
