#!/usr/bin/env bash
# Checks that each release exe imports exactly the KnownDLLs it is meant to
# (whose own dependencies are KnownDLLs too, so the loader never searches the
# exe's folder for them; WinINet and IP Helper are loaded at run time from the
# system folder), stays within 400 KB, and carries the protections this
# toolchain gives: ASLR with its relocations kept, NX, high-entropy addresses
# (x64), the terminal-server-aware flag and the stack protector.
set -uo pipefail
expected='advapi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll'
objdump=x86_64-w64-mingw32-objdump # reads PE32 and PE32+ alike
# Fewer canary checks than this means that most of the code was built without
# the stack protector (the exes have some 110 each).
min_canary_checks=${STAGEWELL_MIN_CANARY_CHECKS:-50}

# The number of calls to the exe's __stack_chk_fail (src/common/
# win32_stack_guard.cpp) in a stripped exe: one per protected function (its
# canary check; the guard's __chk_fail, when linked, adds one). The function is
# found as the one that ends the process with STATUS_STACK_BUFFER_OVERRUN
# (0xC0000409), which nothing else in the exe does.
canary_checks() {
  local code reference
  code=$("$objdump" -d --no-show-raw-insn "$1")
  # i686: movl $0xc0000409,0x4(%esp); x86_64: mov $0xc0000409,%edx
  reference=$(grep -m1 -E '\$0xc0000409,' <<<"$code" | sed -E 's/^ *([0-9a-f]+):.*/\1/')
  [[ -n $reference ]] || { echo 0; return; }
  # The function starts a few bytes before (its stack adjustment, GetCurrentProcess).
  local count=0 calls target
  while read -r calls target; do
    if ((16#$reference - 16#$target >= 0 && 16#$reference - 16#$target <= 24)); then count=$((count + calls)); fi
  done < <(grep -oE 'call +0x[0-9a-f]+$' <<<"$code" | sed -E 's/.*0x//' | sort | uniq -c)
  echo "$count"
}

status=0
for exe in "$@"; do
  if [[ ! -f $exe ]]; then echo "missing: $exe"; status=1; continue; fi
  headers=$("$objdump" -p "$exe")
  dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers" | sort -u | tr '\n' ' ')
  dlls=${dlls% }
  printf '%s: %s bytes; imports %s\n' "$exe" "$(stat -c %s "$exe")" "$dlls"
  if [[ $dlls != "$expected" ]]; then echo "  expected exactly: $expected"; status=1; fi
  if (($(stat -c %s "$exe") > 400 * 1024)); then echo "  larger than 400 KB"; status=1; fi

  flags=(DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE)
  if grep -q '^Magic.*PE32+' <<<"$headers"; then flags+=(HIGH_ENTROPY_VA); fi
  carried=()
  for flag in "${flags[@]}"; do
    if grep -qE "^[[:space:]]+$flag\$" <<<"$headers"; then carried+=("$flag"); else
      echo "  no $flag"; status=1
    fi
  done
  # ASLR moves only an image that can be relocated.
  if grep -qx $'\trelocations stripped' <<<"$headers" ||
    ! grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers"; then
    echo "  relocations stripped: ASLR cannot move it"; status=1
  else
    carried+=(relocations)
  fi
  # libssp's guard is seeded through CryptAcquireContextA before the run
  # restricts the DLL search; the provider it loads takes its imports from
  # beside the exe.
  if grep -qaF '*** stack smashing detected ***' "$exe"; then echo "  libssp's stack guard"; status=1; fi
  checks=$(canary_checks "$exe")
  if ((checks < min_canary_checks)); then
    echo "  stack protector: $checks canary checks, fewer than $min_canary_checks"; status=1
  else
    carried+=("stack protector ($checks canary checks)")
  fi
  printf '  carries: %s\n' "$(IFS=,; echo "${carried[*]}" | sed 's/,/, /g')"
done
exit $status
