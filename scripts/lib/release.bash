# shellcheck shell=bash disable=SC2154,SC2034  # root comes from, release_exe goes to, the sourcing script
# The parts of a release that scripts/release.sh and scripts/verify-release.sh
# share, so that a verification rebuilds exactly what a release builds.
# Sourced; expects $root (the checkout), $me (the script's name) and fail().

# The host is compiled into the exe as a string literal: "https://" or no
# scheme, a name or address and an optional port, nothing that could end the
# literal or carry a path.
check_host() {
  local host=$1 port
  [[ -n $host ]] || fail "no service host: give --host HOST (host or host:port, https:// before it for HTTPS)"
  [[ $host =~ ^(https://)?([A-Za-z0-9.-]+|\[[0-9A-Fa-f:.]+\])(:([0-9]{1,5}))?$ ]] ||
    fail "bad service host '$host': expected host or host:port, with https:// before it or no scheme, and no path"
  port=${BASH_REMATCH[4]}
  [[ -z $port ]] || ((10#$port >= 1 && 10#$port <= 65535)) || fail "bad service host '$host': port out of range"
}

# build_release HOST LOGDIR ARCH...: builds stagewell.exe of each ARCH (x86,
# x64) for HOST in build/release-ARCH, and sets release_exe[ARCH] to it.
declare -A release_exe
build_release() {
  local host=$1 logs=$2 arch build
  shift 2
  for arch; do
    build=$root/build/release-$arch
    echo "building $arch for $host in ${build#"$root"/}"
    if ! { cmake -S "$root" -B "$build" --preset "mingw-$arch" -DSTAGEWELL_SERVICE_HOST="$host" &&
      cmake --build "$build" -j2 --target stagewell; } >"$logs/build-$arch.log" 2>&1; then
      tail -n 40 "$logs/build-$arch.log" >&2
      fail "the $arch build failed (log above)"
    fi
    release_exe[$arch]=$build/src/app/stagewell.exe
  done
}

# The version the exes carry in their resources, from the configured header of ARCH's build.
release_version() {
  local header=$root/build/release-$1/src/app/version.h version
  version=$(sed -n 's/^#define STAGEWELL_VERSION_TEXT "\(.*\)"$/\1/p' "$header")
  [[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "no version in ${header#"$root"/}"
  echo "$version"
}

# "TIME by AUTHORITY" of the time stamp in an osslsigncode verify report (on
# stdin), empty without one. The authority is the certificate whose serial the
# countersignature names; the report lists it whether or not it is trusted.
time_stamp_in_report() {
  awk '
    /^Countersignatures:/ { counter = 1 }
    counter && /^\tTimestamp time:/ && !time { sub(/^\tTimestamp time: /, ""); time = $0 }
    counter && /^\tSerial:/ && !serial { serial = $2 }
    /^Timestamp verified using:/ { listed = 1 }
    listed && /Subject:/ { sub(/^[ \t]*Subject: /, ""); subject = $0 }
    listed && /Serial :/ && $3 == serial && !authority { authority = subject }
    /^Signing certificate chain|^Signature verification/ { listed = 0 }
    END { if (time) print time " by " (authority ? authority : "an authority the signature does not name") }'
}
