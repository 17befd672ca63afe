#!/usr/bin/env bash
# Builds the Windows Installer packages of the product, one per edition:
# build/dist/tavrin-<version>-x86.msi (32-bit edition) and
# build/dist/tavrin-<version>-x64.msi (64-bit edition), with Debian's wixl
# (msitools), from the tree scripts/stage-product.sh lays out of the
# edition's build.
#
# Usage: scripts/dist.sh [--out DIR] [win32] [win64] [SYSTEM_FILES_DIR]
#
# Both editions by default. SYSTEM_FILES_DIR is passed on to the stage
# script (the PostScript driver files and gswin32c.exe a package for real
# Windows must carry); without it the tree holds Wine's stand-ins.
# The version is the one in src/res/version.h (setup.exe's version block);
# TAVRIN_PACKAGE_VERSION overrides the package's version alone, for a test
# package that must count as older or newer.
#
# What wixl does not write is added to the package afterwards with msibuild:
# the fixed sequence of the custom actions, the rollback of the setup run,
# the product INI's "Quiet" for an install without the full user interface
# (IniFile), the files the setup and the monitor leave (RemoveFile), the
# optional removal of the users' output (REMOVEOUTPUT=1) and the message of
# a failed setup run (Error 1722).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
die() { echo "dist: $*" >&2; exit 1; }
usage="usage: scripts/dist.sh [--out DIR] [win32] [win64] [SYSTEM_FILES_DIR]"

out="$repo/build/dist"
editions=()
sysdir=""
while [ $# -gt 0 ]; do
  case $1 in
    --out) [ $# -ge 2 ] || die "$usage"; out=$2; shift 2 ;;
    win32|win64) editions+=("$1"); shift ;;
    -*) die "unknown option '$1' ($usage)" ;;
    *) [ -z "$sysdir" ] || die "$usage"; sysdir=$1; shift ;;
  esac
done
[ ${#editions[@]} -gt 0 ] || editions=(win32 win64)

command -v wixl >/dev/null && command -v msibuild >/dev/null ||
  die "wixl and msibuild are missing: run scripts/deps.sh dist first"
for edition in "${editions[@]}"; do
  for f in setup.exe tavmon.dll tavmona.dll; do
    [ -f "$repo/build/$edition/$f" ] ||
      die "missing build/$edition/$f: run scripts/build.sh $edition (or cmake --preset $edition && cmake --build --preset $edition) first"
  done
done

# The version from src/res/version.h: MAJOR.MINOR.BUILD.REVISION.
version_h="$repo/src/res/version.h"
version=$(awk '/^#define TAVRIN_VERSION_(MAJOR|MINOR|BUILD|REVISION) / {v[$2] = $3}
  END {print v["TAVRIN_VERSION_MAJOR"] "." v["TAVRIN_VERSION_MINOR"] "." v["TAVRIN_VERSION_BUILD"] "." v["TAVRIN_VERSION_REVISION"]}' "$version_h")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "no version in $version_h (read '$version')"
version=${TAVRIN_PACKAGE_VERSION:-$version}
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(\.[0-9]+)?$ ]] ||
  die "TAVRIN_PACKAGE_VERSION '$version' is no version (MAJOR.MINOR.BUILD[.REVISION])"

mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$out/.work.$$"
trap 'rm -rf "$work"' EXIT

# sql MSI QUERY...: runs each query on the package.
sql() { local msi=$1; shift; local q; for q in "$@"; do msibuild "$msi" -q "$q"; done; }

for edition in "${editions[@]}"; do
  case $edition in
    win32) arch=x86 system=SystemFolder env=w32x86
           libraries=(tavmon.dll tavmona.dll tavmon95.dll tavmona95.dll) ;;
    win64) arch=x64 system=System64Folder env=x64 libraries=(tavmon.dll tavmona.dll) ;;
  esac
  msi="$out/tavrin-$version-$arch.msi"
  tree="$work/$edition"
  mkdir -p "$tree"
  "$repo/scripts/stage-product.sh" --edition "$edition" "$tree" ${sysdir:+"$sysdir"} >/dev/null
  python3 "$repo/scripts/package_wxs.py" "$edition" "$version" "$tree" "$work/$edition.wxs"
  (cd "$tree" && wixl -a "$arch" -D SourceDir=. -o "$work/$edition.msi" "$work/$edition.wxs")

  m="$work/$edition.msi"
  # The custom actions' places (wixl's Before= lands them before
  # InstallInitialize): the silent uninstall while "Path" still names the
  # root, before the registry values and files go; the setup after the
  # files, the registry values and the INI value are in place.
  sql "$m" \
    "UPDATE InstallExecuteSequence SET Sequence = 1700 WHERE Action = 'TavrinUninstall'" \
    "UPDATE InstallExecuteSequence SET Sequence = 5200 WHERE Action = 'TavrinSetup'" \
    "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('RemoveIniValues', '', 3400)" \
    "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('WriteIniValues', '', 5100)"
  # Rollback of the setup run: the silent uninstall (type 18 + rollback
  # 0x100 + in script 0x400 + no impersonation 0x800 + ignore exit code 0x40).
  sql "$m" \
    "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('TavrinSetupRollback', 3410, 'SetupExe', '/package-uninstall')" \
    "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('TavrinSetupRollback', 'NOT REMOVE~=\"ALL\"', 5190)"
  # "Quiet" = 1 when the install has no full user interface (UILevel 5):
  # the setup opens no readme then, and resets the value itself.
  sql "$m" \
    "CREATE TABLE \`IniFile\` (\`IniFile\` CHAR(72) NOT NULL, \`FileName\` CHAR(255) NOT NULL LOCALIZABLE, \`DirProperty\` CHAR(72), \`Section\` CHAR(96) NOT NULL LOCALIZABLE, \`Key\` CHAR(128) NOT NULL LOCALIZABLE, \`Value\` CHAR(255) NOT NULL LOCALIZABLE, \`Action\` INT NOT NULL, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`IniFile\`)" \
    "INSERT INTO IniFile (IniFile, FileName, DirProperty, Section, \`Key\`, \`Value\`, Action, Component_) VALUES ('QuietIni', 'tavrin.ini', 'RESDIR', 'Parameters', 'Quiet', '1', 0, 'QuietInstall')" \
    "UPDATE Component SET Condition = 'UILevel < 5' WHERE Component = 'QuietInstall'"
  # What the setup and the monitor leave, removed with the product (install
  # mode 2: at removal): the setup log and the page the setup renames in
  # the tree; the monitor libraries the setup copied into the system
  # folder; the product's own driver files in the printer-driver folder and
  # its version folder. The system's PostScript driver files stay: other
  # printers use them.
  sql "$m" \
    "INSERT INTO Directory (Directory, Directory_Parent, DefaultDir) VALUES ('$system', 'TARGETDIR', '.')" \
    "INSERT INTO Directory (Directory, Directory_Parent, DefaultDir) VALUES ('SPOOLDIR', '$system', 'spool')" \
    "INSERT INTO Directory (Directory, Directory_Parent, DefaultDir) VALUES ('DRIVERSDIR', 'SPOOLDIR', 'drivers')" \
    "INSERT INTO Directory (Directory, Directory_Parent, DefaultDir) VALUES ('ENVDIR', 'DRIVERSDIR', '$env')" \
    "INSERT INTO Directory (Directory, Directory_Parent, DefaultDir) VALUES ('ENV3DIR', 'ENVDIR', '3')"
  n=0
  remove_file() {
    n=$((n + 1))
    sql "$m" "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ('Left$n', 'RootRecord', '$1', '$2', 2)"
  }
  remove_file setup.log DRIVEDIR
  remove_file rpcinaccessible.html DRIVEDIR
  for lib in "${libraries[@]}"; do remove_file "$lib" "$system"; done
  for dir in ENVDIR ENV3DIR; do
    for f in tavrinps5.PPD tavrin.INI tavrinui5.DLL gs.PPD Tavrinui.dll; do remove_file "$f" "$dir"; done
  done
  # REMOVEOUTPUT=1 at an uninstall (not at the removal of an upgrade) removes
  # tavrin\output, the users' PDFs with it, before the files go, so that the
  # emptied folders go too (type 34: a program in a folder, in script, no
  # impersonation, exit code ignored).
  sql "$m" \
    "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('TavrinRemoveOutput', 3170, 'TAVRINDIR', '\"[$system]cmd.exe\" /c rd /s /q \"[TAVRINDIR]output\"')" \
    "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('TavrinRemoveOutput', 'REMOVE~=\"ALL\" AND REMOVEOUTPUT=1 AND NOT UPGRADINGPRODUCTCODE', 3450)" \
    "UPDATE Property SET \`Value\` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;REMOVEOUTPUT' WHERE Property = 'SecureCustomProperties'"
  # A failed setup run names its log.
  sql "$m" \
    "INSERT INTO Error (Error, Message) VALUES (1722, 'The printer setup failed and the installation was undone. The setup log tavrin\\res\\drivedir\\setup.log under the folder chosen says why. Action [2], location: [3], command: [4]')"
  mv "$m" "$msi"
  echo "Built $msi"
done
