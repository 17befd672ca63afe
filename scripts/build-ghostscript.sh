#!/usr/bin/env bash
# Cross-builds Ghostscript's console program for Windows from the source of
# Debian's own ghostscript package, one per edition:
#   build/ghostscript/win32/gswin32c.exe   (32-bit, i686-w64-mingw32)
#   build/ghostscript/win64/gswin32c.exe   (64-bit, x86_64-w64-mingw32)
# and lays the URW base-35 fonts of Debian's fonts-urw-base35 with a Fontmap
# in build/ghostscript/fonts/.
#
# What goes in: Ghostscript with the pdfwrite device alone, its PostScript
# init files compiled in, linked statically; zlib from Debian's mingw
# package (libz-mingw-w64-dev); libjpeg from Debian's libjpeg-turbo source
# and lcms2 from Debian's lcms2 source, both cross-built here (Ghostscript
# cannot be configured without them). Left out: FreeType, openjpeg,
# jbig2dec, libtiff, libpng, expat, IJS, CUPS, libidn, libpaper, and the
# fonts in the program itself (they are staged as files instead), and the
# PDF interpreter (the port's jobs are PostScript).
#
# A build is reused while its inputs (the source packages' versions, this
# script, the compiler's version) are unchanged: only the first run on a
# machine pays for it. Every part is built beside its place and moved in when
# complete, so a failed run leaves no half-built program behind.
#
# Usage: scripts/build-ghostscript.sh [win32] [win64]    (both by default)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
out="$repo/build/ghostscript"
sources="$out/sources"

# fail WHAT HINT: the one line that says what failed and what to run.
fail() { echo "build-ghostscript: $1; $2" >&2; exit 1; }

editions=("$@")
[ $# -eq 0 ] && editions=(win32 win64)
for edition in "${editions[@]}"; do
  case $edition in win32|win64) ;; *) fail "unknown edition '$edition'" "give win32 and/or win64" ;; esac
done
"$repo/scripts/deps.sh" ghostscript "${editions[@]}" ||
  fail "the build tools could not be installed" "run scripts/deps.sh ghostscript ${editions[*]}"

jobs=$(nproc 2>/dev/null || echo 2)

# The Debian suite this machine runs, for the source entry.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$suite" ] || fail "/etc/os-release names no Debian suite" "run this on Debian"

# Adds a deb-src entry for the machine's own suites when apt has none, so
# that apt-get source finds Debian's source packages; the registry that
# serves the binary packages serves them too.
ensure_source_entry() {
  if apt-get source --download-only --print-uris ghostscript >/dev/null 2>&1; then return 0; fi
  local SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  local entry=/etc/apt/sources.list.d/tavrin-deb-src.sources
  local uri security
  uri=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  security=$(awk '/^URIs:/ && $2 ~ /security/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  [ -n "$security" ] || security=http://deb.debian.org/debian-security
  $SUDO tee "$entry" >/dev/null <<EOF
Types: deb-src
URIs: $uri
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: $security
Suites: $suite-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $SUDO apt-get update -q >/dev/null ||
    fail "apt-get update failed after adding $entry" "check the network and run apt-get update"
}

# fetch_source PACKAGE: downloads Debian's source package PACKAGE into
# $sources (apt checks every file against the signed index), newest version
# first, an older one where the newest is not served, and unpacks it (which
# checks the files against the .dsc). Prints the unpacked folder.
fetch_source() {
  local package=$1 version dir
  mkdir -p "$sources"
  for version in $(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV | uniq); do
    dir="$sources/$package-${version#*:}"
    if [ -f "$dir/.unpacked" ]; then echo "$dir"; return 0; fi
    if (cd "$sources" && apt-get source --download-only "$package=$version" >/dev/null 2>&1 &&
        check_dsc "${package}_${version#*:}.dsc"); then
      rm -rf "$dir"
      if (cd "$sources" && dpkg-source -x "${package}_${version#*:}.dsc" "$dir" >/dev/null 2>&1); then
        touch "$dir/.unpacked"
        echo "$dir"
        return 0
      fi
      rm -rf "$dir"
    fi
  done
  return 1
}

# check_dsc DSC: every file the .dsc lists has its SHA-256 sum.
check_dsc() {
  awk '/^Checksums-Sha256:/ {on = 1; next} /^[^ ]/ {on = 0} on && NF == 3 {print $1 "  " $3}' "$1" |
    sha256sum --quiet -c - >/dev/null
}

ensure_source_entry
# source_of PACKAGE: fetch_source, or the line that says what failed.
source_of() {
  fetch_source "$1" ||
    fail "the source of Debian's $1 package could not be downloaded or failed its checksums" \
         "check apt's deb-src entry for $suite and run apt-get update"
}
gs_src=$(source_of ghostscript)
lcms_src=$(source_of lcms2)
ft_src=$(source_of freetype)
jpeg_src=$(source_of libjpeg-turbo)

# The fonts: Debian's URW base-35 Type 1 fonts and a Fontmap naming each by
# its FontName, so that a job naming Times-Roman or Courier finds NimbusRoman
# or NimbusMonoPS (the program's own Fontmap.GS gives those aliases).
urw=/usr/share/fonts/type1/urw-base35
build_fonts() {
  ls "$urw"/*.t1 >/dev/null 2>&1 || fail "no fonts in $urw" "run scripts/deps.sh ghostscript (fonts-urw-base35)"
  local stage="$out/.fonts.$$" font name
  rm -rf "$stage"; mkdir -p "$stage"
  {
    echo "% The URW base-35 fonts staged beside Ghostscript, by their FontName."
    for font in "$urw"/*.t1; do
      name=$(sed -n 's/^\/FontName \/\([^ ]*\) def.*/\1/p' "$font" | head -1)
      [ -n "$name" ] || fail "$font names no FontName" "reinstall fonts-urw-base35"
      cp "$font" "$stage/"
      printf '/%s (%s) ;\n' "$name" "$(basename "$font")"
    done
  } > "$stage/Fontmap"
  chmod 644 "$stage"/*
  rm -rf "$out/fonts"; mv "$stage" "$out/fonts"
}

# The inputs of one edition's build, as one line: a change rebuilds it.
build_key() {
  local compiler=$1
  printf '%s %s %s %s %s %s\n' "$(basename "$gs_src")" "$(basename "$lcms_src")" "$(basename "$ft_src")" "$(basename "$jpeg_src")" \
    "$(cat "$repo/scripts/build-ghostscript.sh" "$repo/scripts/ghostscript/"* | sha256sum | cut -c1-16)" "$("$compiler" -dumpversion)"
}

# build_edition EDITION: builds $out/EDITION/gswin32c.exe.
build_edition() {
  local edition=$1 host cpu winnt
  case $edition in
    win32) host=i686-w64-mingw32; cpu=i686; winnt=0x0400 ;;
    win64) host=x86_64-w64-mingw32; cpu=AMD64; winnt=0x0502 ;;
  esac
  local cc=$host-gcc-win32; command -v "$cc" >/dev/null || cc=$host-gcc
  local dest="$out/$edition" key
  key=$(build_key "$cc")
  if [ -f "$dest/gswin32c.exe" ] && [ "$(cat "$dest/build-key" 2>/dev/null)" = "$key" ]; then
    echo "Ghostscript for $edition is up to date: $dest/gswin32c.exe"
    return 0
  fi
  local work="$out/work-$edition" log="$out/work-$edition.log"
  rm -rf "$work"; mkdir -p "$work"
  : > "$log"
  echo "Building Ghostscript for $edition (log: $log) ..."
  local started=$SECONDS

  # libjpeg, static, without the SIMD parts (they need nasm).
  cmake -S "$jpeg_src" -B "$work/jpeg-build" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$cpu -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_RC_COMPILER="$host-windres" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/jpeg" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
      -DCMAKE_C_FLAGS="-D_WIN32_WINNT=$winnt" >>"$log" 2>&1 &&
    cmake --build "$work/jpeg-build" -j"$jobs" --target jpeg-static >>"$log" 2>&1 &&
    mkdir -p "$work/jpeg/include" "$work/jpeg/lib" &&
    cp "$jpeg_src"/jpeglib.h "$jpeg_src"/jmorecfg.h "$jpeg_src"/jerror.h "$work/jpeg-build/jconfig.h" \
       "$work/jpeg/include/" &&
    cp "$work/jpeg-build/libjpeg.a" "$work/jpeg/lib/" ||
    fail "the cross-build of libjpeg for $edition failed (see $log)" "run scripts/build-ghostscript.sh $edition"

  # Ghostscript, with Debian's lcms2 in its tree where its makefiles build it.
  cp -a "$gs_src" "$work/gs"
  rm -rf "$work/gs/lcms2"; cp -a "$lcms_src" "$work/gs/lcms2"
  rm -rf "$work/gs/freetype"; cp -a "$ft_src" "$work/gs/freetype"
  (
    cd "$work/gs"
    # Debian regenerates configure before it builds; the shipped one is older
    # than configure.ac (it asks for a JBIG2 decoder even for the host tools).
    autoconf
    CCAUX=gcc CC="$cc" \
    CFLAGS="-D_WIN32_WINNT=$winnt -DWINVER=$winnt -include $repo/scripts/ghostscript/mingw-compat.h" \
    CPPFLAGS="-I$work/jpeg/include" \
    LDFLAGS="-L$work/jpeg/lib -static -static-libgcc -s" \
    ./configure --host="$host" --build="$(gcc -dumpmachine)" \
      --without-local-zlib --with-drivers=pdfwrite --disable-threading \
      --disable-contrib --disable-fontconfig --disable-dbus --disable-cups \
      --disable-openjpeg --disable-gtk --with-libiconv=no --without-libidn --without-libpaper \
      --without-pdftoraster --without-ijs --without-jbig2dec --without-x --without-libtiff \
      --without-tesseract --without-urf --without-pcl --without-xps --without-gpdl --without-pdf \
      --disable-hidden-visibility
  ) >>"$log" 2>&1 || fail "configuring Ghostscript for $edition failed (see $log)" "run scripts/build-ghostscript.sh $edition"
  # The fonts stay out of the program: they are staged as files.
  # libpng serves only the PNG devices, which are not built.
  local features
  features=$(sed -e :a -e '/\\$/N; s/\\\n//; ta' "$work/gs/Makefile" | sed -n 's/^FEATURE_DEVS=//p' |
             sed 's/$(GLD)libpng\.dev//')
  make -C "$work/gs" -j"$jobs" PS_FONT_ROMFS_ARGS= PS_FONT_DEPS= FEATURE_DEVS="$features" gs >>"$log" 2>&1 ||
    fail "the cross-build of Ghostscript for $edition failed (see $log)" "run scripts/build-ghostscript.sh $edition"
  local exe
  exe=$(ls "$work"/gs/bin/gs*.exe 2>/dev/null | head -1)
  [ -n "$exe" ] || fail "the Ghostscript build for $edition made no program (see $log)" "run scripts/build-ghostscript.sh $edition"

  local stage="$out/.$edition.$$"
  rm -rf "$stage"; mkdir -p "$stage"
  cp "$exe" "$stage/gswin32c.exe"
  printf '%s\n' "$key" > "$stage/build-key"
  rm -rf "$dest"; mv "$stage" "$dest"
  rm -rf "$work"
  echo "Built $dest/gswin32c.exe in $((SECONDS - started)) s"
}

build_fonts
for edition in "${editions[@]}"; do build_edition "$edition"; done
