# Shared part of the Wine suite: a fresh prefix per case (copied from a
# pristine one per Windows version; 32-bit for Windows 98 to XP, 64-bit for
# Windows XP x64 and 10), the staged product, setup.exe run under Xvfb with
# boxwatch answering its message boxes, and checks read from the outside
# through wineprobe.
set -euo pipefail

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$TOP/tests/wine/editions.sh"
WORK="$TOP/build/wine"
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix; the recorder that
# stands in for rundll32.exe must win over Wine's built-in one.
export WINEDLLOVERRIDES="mscoree,mshtml=;rundll32.exe=n"

FAILURES=0
fail() { echo "not ok - $*"; FAILURES=$((FAILURES + 1)); }
pass() { echo "ok - $*"; }
# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() { local d=$1; shift; if "$@" >/dev/null 2>&1; then pass "$d"; else fail "$d"; fi; }
# check_not DESCRIPTION COMMAND...: passes when the command fails.
check_not() { local d=$1; shift; if "$@" >/dev/null 2>&1; then fail "$d"; else pass "$d"; fi; }
has() { grep -qF -- "$2" "$1"; }
has_line() { grep -qxF -- "$2" "$1"; }
finish() {
  echo "$(basename "$0" .sh) $VERSION: $FAILURES failure(s)"
  cleanup
  # A prefix is some 600 MB: keep it only to look at a failure.
  [ "$FAILURES" -eq 0 ] && rm -rf "$CASE/prefix"
  [ "$FAILURES" -eq 0 ]
}

# pristine_prefix VERSION: a booted prefix posing as that Windows version.
pristine_prefix() {
  local version=$1 dir="$WORK/pristine-$1"
  mkdir -p "$WORK"
  (
    flock 9
    if [ ! -f "$dir/.ready" ]; then
      rm -rf "$dir"
      # wineboot itself runs Wine's rundll32: no override of it here.
      export WINEPREFIX="$dir" WINEDLLOVERRIDES="mscoree,mshtml="
      wineboot -i >/dev/null 2>&1
      wine winecfg -v "$version" >/dev/null 2>&1 ||
        { echo "winecfg refused the version $version in a $WINEARCH prefix" >&2; exit 1; }
      wineserver -w
      [ -f "$dir/drive_c/windows/system32/kernel32.dll" ] || {
        echo "wineboot made no usable prefix in $dir" >&2
        exit 1
      }
      touch "$dir/.ready"
    fi
  ) 9>"$WORK/.lock-$version"
  echo "$dir"
}

cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1 || true
}

# new_case NAME VERSION [EDITION]: a fresh prefix, an X display, the
# product staged under C:\tavrin with HKLM\Software\Tavrin "Path" = "C:\".
# The product is the EDITION's (by default the one the version's prefix
# runs natively); the test tools are always of the prefix's machine, from
# $W32 (build/win32 or build/win64). A case that needs 32-bit programs ends
# here as skipped (exit code $SKIP_CODE) on a host that cannot run them.
new_case() {
  NAME=$1
  VERSION=$2
  use_wine_for "$VERSION"
  EDITION=${3:-$PREFIX_ARCH}
  if [ "$PREFIX_ARCH" = win32 ] || [ "$EDITION" = win32 ]; then
    skip_unless_i386 "$NAME $VERSION"
  fi
  W32="$TOP/build/$PREFIX_ARCH"
  local tool
  for tool in boxwatch.exe wineprobe.exe recorder.exe; do
    [ -f "$W32/$tool" ] || { echo "missing $W32/$tool: build the $PREFIX_ARCH preset first" >&2; exit 1; }
  done
  for tool in setup.exe tavmon.dll; do
    [ -f "$TOP/build/$EDITION/$tool" ] ||
      { echo "missing $TOP/build/$EDITION/$tool: build the $EDITION preset first" >&2; exit 1; }
  done
  CASE="$WORK/cases/$NAME-$VERSION"
  local pristine
  pristine=$(pristine_prefix "$VERSION")
  rm -rf "$CASE"
  mkdir -p "$CASE"
  cp -a "$pristine" "$CASE/prefix"
  export WINEPREFIX="$CASE/prefix"
  C="$WINEPREFIX/drive_c"
  trap cleanup EXIT

  local n
  for n in $(seq $((100 + RANDOM % 400)) 600); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    sleep 0.5
    kill -0 "$XVFB_PID" 2>/dev/null && break
  done
  export DISPLAY=":$n"
  wineserver -p

  "$TOP/scripts/stage-product.sh" --edition "$EDITION" "$C" >"$CASE/stage.txt"
  # wineprobe runs from the prefix: run from build/win32, Wine's spooler
  # would load the monitor library beside it instead of the installed one.
  cp "$W32/wineprobe.exe" "$C/wineprobe.exe"
  # Programs the setup starts only leave a line in C:\started.log.
  cp "$W32/recorder.exe" "$C/windows/system32/rundll32.exe"
  cp "$W32/recorder.exe" "$C/windows/rundll32.exe"
  wine reg add 'HKLM\Software\Tavrin' /v Path /t REG_SZ /d 'C:\' /f >/dev/null 2>&1
  DRIVER_DIR="$C/windows/system32/spool/drivers/$([ "$VERSION" = win98 ] && echo win40 || driver_folder_of "$PREFIX_ARCH")"
  if [ "$VERSION" = win98 ]; then
    # The system's PostScript driver (Apple LaserWriter II NT) that the 9x
    # install builds on: Wine's PostScript driver under its file names.
    mkdir -p "$DRIVER_DIR"
    local f
    for f in Pscript.drv Pscript.hlp msprint.cat LWNT_470.SPD PSCRIPT.INI TESTPS.TXT \
             APPLE380.SPD FONTS.MFM ICONLIB.DLL PSMON.DLL; do
      cp "$(wineps_of win32)" "$DRIVER_DIR/$f"
    done
  fi
  RUN=0
}

LOG_FILE() { echo "$C/tavrin/res/drivedir/setup.log"; }

# run_setup [ARGUMENTS] -- [ANSWERS]: runs setup.exe, recording its message
# boxes (answered in order; "ok" when they run out) in $CASE/boxes-N.txt,
# its standard output in $CASE/trace-N.txt, and the log lines it added in
# $CASE/log-N.txt (timestamps removed).
run_setup() {
  local args=() answers=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  answers=("$@")
  RUN=$((RUN + 1))
  local before=0
  [ -f "$(LOG_FILE)" ] && before=$(wc -l <"$(LOG_FILE)")
  rm -f "$C/boxes.txt" "$C/boxes.txt.stop" "$C/started.log"
  wine "$W32/boxwatch.exe" 'C:\boxes.txt' 120 "${answers[@]}" >/dev/null 2>&1 &
  local watcher=$!
  sleep 1
  (cd "$C/tavrin" && timeout 120 wine 'C:\tavrin\setup.exe' "${args[@]}" >"$CASE/trace-$RUN.txt" 2>/dev/null) || true
  # Give the programs it started (never awaited by it) time to record.
  sleep 1.5
  touch "$C/boxes.txt.stop"
  wait "$watcher" || true
  cp "$C/boxes.txt" "$CASE/boxes-$RUN.txt" 2>/dev/null || : >"$CASE/boxes-$RUN.txt"
  { tr -d '\r' <"$C/started.log"; } >"$CASE/started-$RUN.txt" 2>/dev/null || : >"$CASE/started-$RUN.txt"
  if [ -f "$(LOG_FILE)" ]; then
    tail -n +$((before + 1)) "$(LOG_FILE)" | tr -d '\r' | cut -c16- >"$CASE/log-$RUN.txt"
  else
    : >"$CASE/log-$RUN.txt"
  fi
  BOXES="$CASE/boxes-$RUN.txt" TRACE="$CASE/trace-$RUN.txt" LOG="$CASE/log-$RUN.txt"
  STARTED="$CASE/started-$RUN.txt"
}

# probe_spooler: the spooler's view into $CASE/spooler-N.txt ($SPOOLER).
probe_spooler() {
  SPOOLER="$CASE/spooler-$RUN.txt"
  wine 'C:\wineprobe.exe' spooler >"$SPOOLER" 2>/dev/null || true
}

# reg_text KEY NAME: a value's data as `reg query` prints it (empty when
# the key or the value is missing).
reg_text() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name {sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); print}'
}

# probe_reg KEY FILE: the subtree of HKLM\KEY with exact bytes.
probe_reg() { wine 'C:\wineprobe.exe' reg "$1" 2>/dev/null | tr -d '\r' >"$2" || true; }

# The hex of a text with its NUL, as wineprobe prints REG_SZ data.
sz_hex() { printf '%s\0' "$1" | od -An -v -tx1 | tr -d ' \n'; }

# "<size>:<hex>" of a file, as wineprobe prints a value holding its bytes.
binary_value() { echo "$(stat -c %s "$1"):$(od -An -v -tx1 "$1" | tr -d ' \n')"; }
