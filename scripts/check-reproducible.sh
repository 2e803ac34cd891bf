#!/usr/bin/env bash
# Builds the release exes a second time, with scripts/release.sh (unsigned)
# from a copy of the sources in another folder, and checks that they are
# bit-identical to stagewell.exe of both development presets.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$scratch" 2>/dev/null || { echo "copy failed"; exit 1; }

# Each preset's exe against a release built for that preset's service host
# (the two Wine suites run side by side, so each build has a port of its own).
declare -A dist_of
status=0
for arch in x64 x86; do
  host=$(sed -n 's/^STAGEWELL_SERVICE_HOST:STRING=//p' "build/mingw-$arch/CMakeCache.txt" 2>/dev/null)
  if [[ -z $host ]]; then
    echo "build/mingw-$arch must be configured, with its service host"
    exit 1
  fi
  if [[ -z ${dist_of[$host]:-} ]]; then
    dist_of[$host]=$scratch/dist-${#dist_of[@]}
    "$scratch/scripts/release.sh" --host "$host" --dist "${dist_of[$host]}" >/dev/null || exit 1
  fi
  dev=build/mingw-$arch/src/app/stagewell.exe
  if cmp -s "$dev" "${dist_of[$host]}"/stagewell-*-"$arch".exe; then
    echo "mingw-$arch: two builds are bit-identical ($(sha256sum <"$dev" | cut -c1-16))"
  else
    echo "mingw-$arch: the two builds differ"; status=1
  fi
done
exit $status
