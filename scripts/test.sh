#!/usr/bin/env bash
# Every test: native unit tests (plain and under ASan/UBSan), the fuzzers for a
# short bounded time, both Windows builds with their import tables checked, the
# Wine end-to-end suites of both exes, the release script (signing, checksums, bad input,
# the signed exe under Wine), and the code's format and lint checks. Installs
# what it needs first.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

jobs=2
log=$(mktemp -d)/ctest
passed=0
failed=0
status=0

step() { printf '\n==== %s\n' "$*"; }

build() {
  local preset=$1
  step "build $preset"
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$jobs" || { status=1; return 1; }
}

# ctest into a log of its own, so two suites can run side by side.
ctest_into() {
  local preset=$1 parallel=${2:-$jobs}
  ctest --test-dir "build/$preset" --output-on-failure -j"$parallel" >"$log.$preset" 2>&1
  echo $? >"$log.$preset.rc"
}

count_ctest() {
  local preset=$1 line
  step "test $preset"
  cat "$log.$preset"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log.$preset" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  [[ $(cat "$log.$preset.rc") == 0 ]] || status=1
}

run_ctest() { ctest_into "$@"; count_ctest "$1"; }

build native && run_ctest native
build native-sanitize && run_ctest native-sanitize
build native-fuzz && run_ctest native-fuzz
# The Wine suites of the two exes side by side, each in its own prefixes, on its
# own display and service port; within a suite one module at a time, as its
# modules share that port. The 32-bit suite uses the 64-bit build's box driver.
if build mingw-x64 && build mingw-x86; then
  step "Wine suites: the 32-bit exe (the file that ships) and the 64-bit exe, side by side"
  ctest_into mingw-x86 1 &
  ctest_into mingw-x64 1 &
  wait
  count_ctest mingw-x86
  count_ctest mingw-x64
fi

check() {
  step "$1"
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
}
check "release exes: imports and size" scripts/check-exes.sh build/mingw-x64/src/app/stagewell.exe \
  build/mingw-x86/src/app/stagewell.exe
check "release exes: reproducible" scripts/check-reproducible.sh
check "release script: signing, checksums, bad input" python3 tests/release/test_release.py
check "release script: the signed exe under Wine" env STAGEWELL_BOX_DRIVER="$PWD/build/mingw-x64/tests/e2e/box_driver.exe" \
  PYTHONPATH="$PWD/tools/harness:$PWD/tests/release" STAGEWELL_E2E_WORK="$PWD/build/release-wine" \
  python3 tests/release/test_signed_run.py
check "format: clang-format" scripts/check-code.sh format
check "lint: clang-tidy" scripts/check-code.sh tidy

echo
echo "$passed passed, $failed failed"
exit $status
