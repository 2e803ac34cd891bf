#!/usr/bin/env bash
# Builds the release exes a second time, with scripts/release.sh (unsigned)
# from a copy of the sources in another folder, and checks that they are
# bit-identical to stagewell.exe of both development presets.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$scratch" 2>/dev/null || { echo "copy failed"; exit 1; }

# The same service host as the development builds, which must agree on it.
hosts=$(sed -n 's/^STAGEWELL_SERVICE_HOST:STRING=//p' build/mingw-x64/CMakeCache.txt build/mingw-x86/CMakeCache.txt |
  sort -u)
if [[ -z $hosts || $hosts == *$'\n'* ]]; then
  echo "build/mingw-x64 and build/mingw-x86 must be configured, with one service host (have: ${hosts//$'\n'/ })"
  exit 1
fi
"$scratch/scripts/release.sh" --host "$hosts" --dist "$scratch/dist" >/dev/null || exit 1

status=0
for arch in x64 x86; do
  dev=build/mingw-$arch/src/app/stagewell.exe
  if cmp -s "$dev" "$scratch"/dist/stagewell-*-"$arch".exe; then
    echo "mingw-$arch: two builds are bit-identical ($(sha256sum <"$dev" | cut -c1-16))"
  else
    echo "mingw-$arch: the two builds differ"; status=1
  fi
done
exit $status
