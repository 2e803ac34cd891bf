#!/usr/bin/env bash
# Every test: native unit tests (plain and under ASan/UBSan), the fuzzers for a
# short bounded time, both Windows builds with their import tables checked, the
# Wine end-to-end suites of both exes, the release script (signing, checksums,
# bad input, a key in a token, time stamps, verify-release.sh, the signed exes
# under Wine), and the code's format and lint checks.
# Installs what it needs first.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

jobs=2
log=$(mktemp -d)
passed=0
failed=0
status=0

step() { printf '\n==== %s\n' "$*"; }

build() {
  local preset=$1
  step "build $preset"
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$jobs" || { status=1; return 1; }
}

# Each test step writes a log of its own, so that steps can run side by side;
# report shows it and counts it.
ctest_into() {
  local preset=$1 parallel=$2
  ctest --test-dir "build/$preset" --output-on-failure -j"$parallel" >"$log/$preset" 2>&1
  echo $? >"$log/$preset.rc"
}

check_into() {
  local name=$1
  "${@:2}" >"$log/$name" 2>&1
  echo $? >"$log/$name.rc"
}

report_ctest() {
  local preset=$1 line
  step "test $preset"
  cat "$log/$preset"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log/$preset" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  [[ $(cat "$log/$preset.rc" 2>/dev/null) == 0 ]] || status=1
}

report_check() {
  local name=$1 title=$2
  step "$title"
  cat "$log/$name"
  if [[ $(cat "$log/$name.rc" 2>/dev/null) == 0 ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
}

# A native preset built and its tests run, into the log of its test step.
native_into() {
  local preset=$1
  if cmake --preset "$preset" >"$log/$preset" 2>&1 && cmake --build --preset "$preset" -j"$jobs" >>"$log/$preset" 2>&1; then
    ctest_into "$preset" "$jobs"
  else
    echo 1 >"$log/$preset.rc"
  fi
}

# Both Windows builds first: the Wine suites are the longest steps. They run
# side by side, each exe's suite in its own prefixes, on its own displays and
# service port; within a suite, the modules that use that port run one at a
# time (CMake's resource lock), the others beside them. The 32-bit suite uses
# the 64-bit build's box driver. Everything that needs no Wine runs meanwhile at
# the lowest CPU priority, so that the suites' timings stay theirs.
wine=
build mingw-x64 && build mingw-x86 && wine=1
step "Wine suites of the 32-bit exe (the file that ships) and the 64-bit exe; the other steps beside them"
if [[ -n $wine ]]; then
  ctest_into mingw-x86 2 &
  ctest_into mingw-x64 2 &
fi
{
  renice -n 19 -p "$BASHPID" >/dev/null
  native_into native
  native_into native-sanitize
  native_into native-fuzz
  check_into format scripts/check-code.sh format
  check_into tidy scripts/check-code.sh tidy
  if [[ -n $wine ]]; then
    check_into exes scripts/check-exes.sh build/mingw-x64/src/app/stagewell.exe build/mingw-x86/src/app/stagewell.exe
    check_into reproducible scripts/check-reproducible.sh
    check_into release python3 tests/release/test_release.py
    check_into release_token python3 tests/release/test_release_token.py
  fi
} &
wait

for preset in native native-sanitize native-fuzz; do report_ctest "$preset"; done
report_check format "format: clang-format"
report_check tidy "lint: clang-tidy"
if [[ -n $wine ]]; then
  report_ctest mingw-x86
  report_ctest mingw-x64
  report_check exes "release exes: imports, size and protections"
  report_check reproducible "release exes: reproducible"
  report_check release "release script: signing, checksums, bad input"
  report_check release_token "release script: a key in a token, time stamps, verify-release.sh"
  check_into signed env STAGEWELL_BOX_DRIVER="$PWD/build/mingw-x64/tests/e2e/box_driver.exe" \
    PYTHONPATH="$PWD/tools/harness:$PWD/tests/release" STAGEWELL_E2E_WORK="$PWD/build/release-wine" \
    python3 tests/release/test_signed_run.py
  report_check signed "release script: the signed exes under Wine"
fi

echo
echo "$passed passed, $failed failed"
exit $status
