#!/usr/bin/env bash
# Installs from Debian's packages what the builds and tests need and the
# machine lacks. Usage: scripts/deps.sh native|win32|win64|wine|print|pdf|ghostscript|fuzz ...
#
# "wine" installs both of Debian's Wines: wine32 (the i386 architecture) for
# the 32-bit edition's prefixes and wine64 for the 64-bit ones. Debian
# installs wine32 even on a host that cannot run 32-bit x86 code; whether
# this one can is for scripts/host-runs-i386.sh to tell, after this script.
set -euo pipefail

packages=()
for part in "$@"; do
  case "$part" in
    native) packages+=(cmake make g++ googletest libgtest-dev python3) ;;
    win32) packages+=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686) ;;
    win64) packages+=(cmake make g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64) ;;
    wine) packages+=(wine wine32 wine64 xvfb) ;;
    # Ghostscript behind the port, and the PDF tools that read its output.
    print) packages+=(ghostscript poppler-utils) ;;
    # The PDF tools alone, for what needs no host Ghostscript.
    pdf) packages+=(poppler-utils file) ;;
    # Ghostscript for Windows (scripts/build-ghostscript.sh): Debian's source
    # packages are unpacked by dpkg-source; zlib comes from Debian's mingw
    # package, the fonts from fonts-urw-base35.
    ghostscript) packages+=(cmake make gcc autoconf zlib1g-dev dpkg-dev xz-utils libz-mingw-w64-dev fonts-urw-base35) ;;
    # The libFuzzer targets: clang, its sanitizer and fuzzer runtimes
    # (libclang-rt), llvm-symbolizer for their reports (llvm-14), and
    # GoogleTest, which configuring the project looks for.
    fuzz) packages+=(cmake make clang-14 libclang-rt-14-dev llvm-14 libgtest-dev) ;;
    # The Windows Installer packages (scripts/dist.sh): wixl, and msiinfo to read them back.
    dist) packages+=(msitools wixl) ;;
    *) echo "deps.sh: unknown part '$part'" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | awk '!seen[$0]++'); do
  # wine32 lives in the i386 architecture.
  name="$p"; [ "$p" = wine32 ] && name="wine32:i386"
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if printf '%s\n' "${missing[@]}" | grep -qx wine32; then
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
