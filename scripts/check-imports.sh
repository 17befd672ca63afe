#!/usr/bin/env bash
# Checks that each Windows executable or library given imports only DLLs
# that come with Windows itself.
set -euo pipefail
allowed='^(ADVAPI32|KERNEL32|USER32|GDI32|SHELL32|SHLWAPI|WINSPOOL|MSVCRT|SPOOLSS|COMDLG32|OLE32)\.(DLL|DRV)$'
status=0
for file in "$@"; do
  while read -r dll; do
    if ! echo "$dll" | tr '[:lower:]' '[:upper:]' | grep -Eq "$allowed"; then
      echo "$file imports $dll, which is not part of Windows" >&2
      status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
  [ $status -eq 0 ] && echo "$file: imports only system DLLs"
done
exit $status
