#!/usr/bin/env bash
# Checks that Windows programs load no DLL that Windows does not ship: every
# import of each program file must be one of the system's own libraries.
#   check-imports.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|ole32|oleaut32|opengl32|glu32|msvcrt|wininet|version|shlwapi|ws2_32|winmm|imm32|uxtheme|dwmapi)\.dll$'
status=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  if [ -z "$imports" ]; then
    echo "$program: no import table found" >&2
    status=1
    continue
  fi
  while read -r dll; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "$program imports $dll, which Windows does not ship" >&2
      status=1
    fi
  done <<< "$imports"
  echo "$program: $(echo $imports)"
done
exit $status
