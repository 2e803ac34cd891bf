#!/usr/bin/env bash
# The code's own format and lint checks.
#   scripts/check-code.sh format   clang-format over every C++ source of the tree
#   scripts/check-code.sh tidy     clang-tidy over the portable code and the unit
#                                  tests, with the native build's compile commands
# The win32_* files need the Windows headers, which the native build does not
# have, so clang-tidy leaves them out (the native build never compiles them).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

format() {
  local files out
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
  if out=$(clang-format-14 --dry-run --Werror "${files[@]}" 2>&1); then
    echo "clang-format: ${#files[@]} files as formatted"
    return 0
  fi
  local bad
  mapfile -t bad < <(grep -oE '^[^ :]+:[0-9]+:[0-9]+: error: code should be clang-formatted' <<<"$out" | cut -d: -f1 |
    sort -u)
  if ((${#bad[@]})); then
    printf 'not formatted: %s\n' "${bad[@]}"
    echo "(clang-format-14 -i FILE... formats them)"
  else
    echo "$out"
  fi
  return 1
}

tidy() {
  local commands=build/native/compile_commands.json
  cmake --preset native >/dev/null || return 1
  local files
  # The portable sources, tests and benchmark the native build compiles.
  mapfile -t files < <(python3 - "$commands" "$PWD" <<'PY'
import json, os, re, sys
root = sys.argv[2] + "/"
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    relative = path[len(root):] if path.startswith(root) else None
    if relative and relative.split("/")[0] in ("src", "tests", "bench") \
            and not os.path.basename(relative).startswith("win32_"):
        print("^%s$" % re.escape(path))  # run-clang-tidy takes regular expressions
PY
  )
  ((${#files[@]})) || { echo "no sources in $commands"; return 1; }
  local log
  log=$(mktemp)
  # run-clang-tidy keeps each file's diagnostics together; its own lines (the
  # command, the count of warnings dropped in system headers) and colours go.
  run-clang-tidy-14 -p build/native -j 2 -quiet "${files[@]}" >"$log" 2>&1
  local rc=$?
  sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -vE '^(clang-tidy-14 .* -quiet |[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$)'
  rm -f "$log"
  ((rc == 0)) || return 1
  echo "clang-tidy: ${#files[@]} files without findings"
}

case ${1:-} in
  format) format ;;
  tidy) tidy ;;
  *) echo "usage: $0 format|tidy" >&2; exit 2 ;;
esac
