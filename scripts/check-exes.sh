#!/usr/bin/env bash
# Checks that each release exe imports only Windows' own DLLs (never IP Helper,
# which is loaded at run time, nor a MinGW runtime DLL) and stays within 400 KB.
set -uo pipefail
allowed='^(kernel32|user32|advapi32|gdi32|wininet|ole32|oleaut32|shell32|comctl32|msvcrt|version|shlwapi|rpcrt4)\.dll$'
status=0
for exe in "$@"; do
  if [[ ! -f $exe ]]; then echo "missing: $exe"; status=1; continue; fi
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  bad=$(grep -Ev "$allowed" <<<"$dlls")
  printf '%s: %s bytes; imports %s\n' "$exe" "$(stat -c %s "$exe")" "$(tr '\n' ' ' <<<"$dlls")"
  if [[ -n $bad ]]; then echo "  not allowed: $bad"; status=1; fi
  if (($(stat -c %s "$exe") > 400 * 1024)); then echo "  larger than 400 KB"; status=1; fi
done
exit $status
