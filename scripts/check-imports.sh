#!/usr/bin/env bash
# Checks that each Windows executable or library given (32-bit or 64-bit)
# imports only DLLs that come with Windows itself, and that a 32-bit one
# does not import the functions that older Windows lack but the program
# asks for at run time (IsWow64Process, GetNativeSystemInfo, the job
# object functions Windows 9x and NT 4.0 lack, the advapi32 security
# functions Windows 95 lacks or NT 4.0 lacks, and the wide spooler and
# account functions of the monitor, which 9x lacks): the loader would
# refuse the whole program there. They must be looked up with GetProcAddress.
#
# Usage: scripts/check-imports.sh FILE...
set -euo pipefail
allowed='^(ADVAPI32|KERNEL32|USER32|GDI32|SHELL32|SHLWAPI|WINSPOOL|MSVCRT|SPOOLSS|COMDLG32|OLE32)\.(DLL|DRV)$'
late_bound='^(IsWow64Process|GetNativeSystemInfo|CreateJobObjectA|AssignProcessToJobObject|SetInformationJobObject|AllocateAndInitializeSid|FreeSid|GetLengthSid|InitializeAcl|AddAccessAllowedAce|AddAccessAllowedAceEx|SetNamedSecurityInfoA|SetFileSecurityA|InitializeSecurityDescriptor|SetSecurityDescriptorDacl|SetSecurityDescriptorControl|SetSecurityInfo|LookupAccountNameW|GetUserNameW|GetJobW)$'

# import_table FILE: objdump's view of FILE's headers, by the binutils of its
# own machine (each reads only its own format).
import_table() {
  i686-w64-mingw32-objdump -p "$1" 2>/dev/null || x86_64-w64-mingw32-objdump -p "$1"
}

status=0
for file in "$@"; do
  ok=1
  table=$(import_table "$file") || { echo "$file: not a Windows executable" >&2; status=1; continue; }
  while read -r dll; do
    if ! echo "$dll" | tr '[:lower:]' '[:upper:]' | grep -Eq "$allowed"; then
      echo "$file imports $dll, which is not part of Windows" >&2
      ok=0
    fi
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$table")
  if grep -q '^Magic.*(PE32)$' <<<"$table"; then
    # The member names of the import tables: "vma  hint  name".
    while read -r name; do
      echo "$file imports $name, which older Windows lacks: look it up at run time" >&2
      ok=0
    done < <(awk '/DLL Name:/ {in_dll = 1; next} in_dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$table" |
             grep -E "$late_bound" || true)
  fi
  if [ $ok = 1 ]; then
    echo "$file: imports only system DLLs"
  else
    status=1
  fi
done
exit $status
