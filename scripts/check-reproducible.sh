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
releases=0
compared=0
status=0
for arch in x64 x86; do
  host=$(sed -n 's/^STAGEWELL_SERVICE_HOST:STRING=//p' "build/mingw-$arch/CMakeCache.txt" 2>/dev/null)
  if [[ -z $host ]]; then
    echo "build/mingw-$arch must be configured, with its service host"
    exit 1
  fi
  if [[ -z ${dist_of[$host]:-} ]]; then
    # (${#dist_of[@]} of the empty array is an unbound variable to set -u,
    # which abandoned the loop and ended the script with status 0.)
    dist_of[$host]=$scratch/dist-$releases
    releases=$((releases + 1))
    "$scratch/scripts/release.sh" --host "$host" --dist "${dist_of[$host]}" >/dev/null || exit 1
  fi
  dev=build/mingw-$arch/src/app/stagewell.exe
  compared=$((compared + 1))
  if cmp -s "$dev" "${dist_of[$host]}"/stagewell-*-"$arch".exe; then
    echo "mingw-$arch: two builds are bit-identical ($(sha256sum <"$dev" | cut -c1-16))"
  else
    echo "mingw-$arch: the two builds differ"; status=1
  fi
done
# Only a run that compared both exes may pass.
if ((compared != 2)); then echo "compared $compared of the 2 exes"; status=1; fi
exit $status
