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

# The number of calls to libssp's __stack_chk_fail, one per protected function
# (its canary check), in a stripped exe: the function is found as the one that
# loads the address of its message, which nothing else in the exe uses.
canary_checks() {
  local exe=$1 offset va=
  offset=$(grep -obaF '*** stack smashing detected ***' "$exe" | head -1 | cut -d: -f1)
  [[ -n $offset ]] || { echo 0; return; }
  while read -r _ _ size vma _ file_offset _; do
    if ((offset >= 16#$file_offset && offset < 16#$file_offset + 16#$size)); then
      va=$(printf '%x' $((16#$vma + offset - 16#$file_offset)))
    fi
  done < <("$objdump" -h "$exe" | grep -E '^ +[0-9]+ ')
  [[ -n $va ]] || { echo 0; return; }
  local code reference
  code=$("$objdump" -d --no-show-raw-insn "$exe")
  # i686: mov $0xVA,%eax; x86_64: lea ...(%rip),%rcx  # 0xVA
  reference=$(grep -m1 -E "(\\\$0x$va,|# 0x$va\$)" <<<"$code" | sed -E 's/^ *([0-9a-f]+):.*/\1/')
  [[ -n $reference ]] || { echo 0; return; }
  # The function starts a few bytes before that load (its stack adjustment).
  local count=0 calls target
  while read -r calls target; do
    if ((16#$reference - 16#$target >= 0 && 16#$reference - 16#$target <= 16)); then count=$((count + calls)); fi
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
  checks=$(canary_checks "$exe")
  if ((checks < min_canary_checks)); then
    echo "  stack protector: $checks canary checks, fewer than $min_canary_checks"; status=1
  else
    carried+=("stack protector ($checks canary checks)")
  fi
  printf '  carries: %s\n' "$(IFS=,; echo "${carried[*]}" | sed 's/,/, /g')"
done
exit $status
