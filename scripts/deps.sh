#!/usr/bin/env bash
# Installs from Debian's packages what the builds and tests need and the
# machine lacks. Usage: scripts/deps.sh native|win32|wine|print ...
set -euo pipefail

packages=()
for part in "$@"; do
  case "$part" in
    native) packages+=(cmake make g++ googletest libgtest-dev python3) ;;
    win32) packages+=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686) ;;
    wine) packages+=(wine wine32 xvfb) ;;
    # Ghostscript behind the port, and the PDF tools that read its output.
    print) packages+=(ghostscript poppler-utils) ;;
    *) echo "deps.sh: unknown part '$part'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
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
