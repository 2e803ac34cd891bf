#!/usr/bin/env bash
# Builds stagewell.exe of both presets a second time, from a copy of the
# sources in another folder, and checks that the exes are bit-identical.
set -uo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$scratch" 2>/dev/null || { echo "copy failed"; exit 1; }
status=0
for preset in mingw-x64 mingw-x86; do
  cmake -S "$scratch" -B "$scratch/build/$preset" --preset "$preset" >/dev/null &&
    cmake --build "$scratch/build/$preset" -j2 --target stagewell >/dev/null || { status=1; continue; }
  if cmp -s "build/$preset/src/app/stagewell.exe" "$scratch/build/$preset/src/app/stagewell.exe"; then
    echo "$preset: two builds are bit-identical ($(sha256sum < "build/$preset/src/app/stagewell.exe" | cut -c1-16))"
  else
    echo "$preset: the two builds differ"; status=1
  fi
done
exit $status
