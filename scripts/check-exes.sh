#!/usr/bin/env bash
# Checks that each release exe imports exactly the KnownDLLs it is meant to
# (whose own dependencies are KnownDLLs too, so the loader never searches the
# exe's folder for them; WinINet and IP Helper are loaded at run time from the
# system folder) and stays within 400 KB.
set -uo pipefail
expected='advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll'
status=0
for exe in "$@"; do
  if [[ ! -f $exe ]]; then echo "missing: $exe"; status=1; continue; fi
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u | tr '\n' ' ')
  dlls=${dlls% }
  printf '%s: %s bytes; imports %s\n' "$exe" "$(stat -c %s "$exe")" "$dlls"
  if [[ $dlls != "$expected" ]]; then echo "  expected exactly: $expected"; status=1; fi
  if (($(stat -c %s "$exe") > 400 * 1024)); then echo "  larger than 400 KB"; status=1; fi
done
exit $status
