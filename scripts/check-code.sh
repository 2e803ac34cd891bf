#!/usr/bin/env bash
# The code's own format and lint checks.
#   scripts/check-code.sh format   clang-format over every C++ source of the tree
#   scripts/check-code.sh tidy     clang-tidy over the portable code, the unit
#                                  tests and the benchmark with the native
#                                  build's compile commands, and over the Win32
#                                  code and the Wine suite's programs with the
#                                  mingw-x64 build's
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

# The sources under src, tests and bench in a build's compile commands, as
# run-clang-tidy's patterns; with a second build, only those it does not compile.
sources() {
  python3 - "$PWD" "$@" <<'PY'
import json, os, re, sys
root = sys.argv[1] + "/"
def sources(build):
    for entry in json.load(open(os.path.join(build, "compile_commands.json"))):
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if path.startswith(root) and path[len(root):].split("/")[0] in ("src", "tests", "bench"):
            yield path
others = set(sources(sys.argv[3])) if len(sys.argv) > 3 else set()
for path in sorted(set(sources(sys.argv[2])) - others):
    print("^%s$" % re.escape(path))
PY
}

# run-clang-tidy over one build's files (its patterns, with any -extra-arg
# among them); each file's diagnostics stay together. Its own lines (the
# command, the count of warnings dropped in system headers) and colours go.
lint() {
  local build=$1 what=$2
  shift 2
  local files=0 arg
  for arg; do [[ $arg == -* ]] || files=$((files + 1)); done
  ((files)) || { echo "no $what sources in $build/compile_commands.json"; return 1; }
  local log
  log=$(mktemp)
  run-clang-tidy-14 -p "$build" -j 2 -quiet "$@" >"$log" 2>&1
  local rc=$?
  sed 's/\x1b\[[0-9;]*m//g' "$log" |
    grep -vE '^(clang-tidy-14 .* -quiet |[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$)'
  rm -f "$log"
  ((rc == 0)) || return 1
  echo "clang-tidy: $files $what files without findings"
}

tidy() {
  cmake --preset native >/dev/null || return 1
  cmake --preset mingw-x64 >/dev/null || return 1
  local portable windows
  # The portable code, its unit tests and the benchmark, as the native build
  # compiles them.
  mapfile -t portable < <(sources build/native)
  # The Win32 code (win32_* and the exe's entry), the Wine suite's driver,
  # probes and fixtures: what only the Windows build compiles. clang-tidy takes
  # MinGW's target and headers; it finds the Windows headers in MinGW's
  # sysroot itself, but not its C++ library.
  mapfile -t windows < <(sources build/mingw-x64 build/native)
  local cxx_includes
  mapfile -t cxx_includes < <(x86_64-w64-mingw32-g++ -E -x c++ - -v </dev/null 2>&1 |
    sed -n '/^#include <...> search starts here:/,/^End of search list\./p' | sed -n 's|^ \(.*/c++.*\)$|\1|p')
  ((${#cxx_includes[@]})) || { echo "x86_64-w64-mingw32-g++ names no C++ include folder"; return 1; }
  local windows_args=(-extra-arg=--target=x86_64-w64-mingw32)
  local dir
  for dir in "${cxx_includes[@]}"; do windows_args+=("-extra-arg=-isystem$dir"); done
  local status=0
  lint build/native portable "${portable[@]}" || status=1
  lint build/mingw-x64 Windows "${windows_args[@]}" "${windows[@]}" || status=1
  return $status
}

case ${1:-} in
  format) format ;;
  tidy) tidy ;;
  *) echo "usage: $0 format|tidy" >&2; exit 2 ;;
esac
