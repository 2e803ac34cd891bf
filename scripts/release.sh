#!/usr/bin/env bash
# Builds the release exes for one deployment's service host, signs them when a
# certificate is given, and writes them with their checksums into dist/.
#
#   scripts/release.sh --host [https://]HOST[:PORT] [--cert CERT.pem --key KEY.pem [--url URL] [--timestamp URL]] [--dist DIR]
#
# Input is checked before anything is built; the files are built and signed in
# a staging folder and renamed into dist/ only at the end, so a failed run
# leaves dist/ as it was.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
me=release.sh

usage() {
  echo "usage: $me --host [https://]HOST[:PORT] [--cert CERT.pem --key KEY.pem [--url URL] [--timestamp URL]] [--dist DIR]" >&2
  exit 2
}
fail() { echo "$me: $*" >&2; exit 1; }

host='' cert='' key='' url='' timestamp='' dist=$root/dist
while (($#)); do
  case $1 in
    --host | --cert | --key | --url | --timestamp | --dist)
      (($# >= 2)) || fail "$1 needs a value"
      name=${1#--}
      printf -v "$name" '%s' "$2"
      shift 2
      ;;
    -h | --help) usage ;;
    *) echo "$me: unknown argument: $1" >&2; usage ;;
  esac
done

# --- input -------------------------------------------------------------------

[[ -n $host ]] || fail "no service host: give --host HOST (host or host:port, https:// before it for HTTPS)"
# The host is compiled into the exe as a string literal: "https://" or no
# scheme, a name or address and an optional port, nothing that could end the
# literal or carry a path.
[[ $host =~ ^(https://)?([A-Za-z0-9.-]+|\[[0-9A-Fa-f:.]+\])(:([0-9]{1,5}))?$ ]] ||
  fail "bad service host '$host': expected host or host:port, with https:// before it or no scheme, and no path"
port=${BASH_REMATCH[4]}
[[ -z $port ]] || ((10#$port >= 1 && 10#$port <= 65535)) || fail "bad service host '$host': port out of range"

readable() { [[ -f $2 && -r $2 ]] || fail "cannot read the $1 file '$2'"; }

if [[ -n $cert || -n $key ]]; then
  [[ -n $cert ]] || fail "--key needs its certificate: give --cert CERT.pem as well"
  [[ -n $key ]] || fail "--cert needs its private key: give --key KEY.pem as well"
  readable certificate "$cert"
  readable key "$key"
  cert_pub=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) ||
    fail "'$cert' is not a PEM certificate"
  # An empty pass phrase: an encrypted key fails here instead of prompting.
  key_pub=$(openssl pkey -in "$key" -passin pass: -pubout 2>/dev/null </dev/null) ||
    fail "'$key' is not an unencrypted PEM private key"
  [[ $cert_pub == "$key_pub" ]] || fail "the key '$key' does not belong to the certificate '$cert'"
  # The first certificate of the file is the signer; any after it are its chain.
  usage_ext=$(openssl x509 -in "$cert" -noout -ext extendedKeyUsage,keyUsage 2>/dev/null)
  grep -q 'Code Signing' <<<"$usage_ext" ||
    fail "the certificate '$cert' is not for code signing (its extended key usage lacks codeSigning)"
  if grep -q 'X509v3 Key Usage' <<<"$usage_ext" && ! grep -q 'Digital Signature' <<<"$usage_ext"; then
    fail "the certificate '$cert' is not for code signing (its key usage lacks digitalSignature)"
  fi
else
  [[ -z $url ]] || fail "--url is part of a signature: give --cert and --key as well"
  [[ -z $timestamp ]] || fail "--timestamp is part of a signature: give --cert and --key as well"
fi

# --- build -------------------------------------------------------------------

work=$(mktemp -d)
stage=
created_dist=
cleanup() {
  rm -rf "$work"
  [[ -z $stage ]] || rm -rf "$stage"
  [[ -z $created_dist ]] || rmdir "$dist" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

declare -A exe
for arch in x86 x64; do
  build=$root/build/release-$arch
  echo "building $arch for $host in ${build#"$root"/}"
  if ! { cmake -S "$root" -B "$build" --preset "mingw-$arch" -DSTAGEWELL_SERVICE_HOST="$host" &&
    cmake --build "$build" -j2 --target stagewell; } >"$work/build-$arch.log" 2>&1; then
    tail -n 40 "$work/build-$arch.log" >&2
    fail "the $arch build failed (log above)"
  fi
  exe[$arch]=$build/src/app/stagewell.exe
done

# The version the exes carry in their resources, from the configured header.
version=$(sed -n 's/^#define STAGEWELL_VERSION_TEXT "\(.*\)"$/\1/p' "$root/build/release-x86/src/app/version.h")
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || fail "no version in build/release-x86/src/app/version.h"

# --- sign, checksum, publish -------------------------------------------------

if [[ ! -d $dist ]]; then
  mkdir -p "$dist" || fail "cannot create '$dist'"
  created_dist=1
fi
# Inside dist/, so that publishing is a rename on the same file system.
stage=$(mktemp -d "$dist/.release.XXXXXX") || fail "cannot write into '$dist'"

names=()
for arch in x86 x64; do
  name=stagewell-$version-$arch.exe
  names+=("$name")
  if [[ -n $cert ]]; then
    sign=(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n Stagewell)
    [[ -z $url ]] || sign+=(-i "$url")
    [[ -z $timestamp ]] || sign+=(-ts "$timestamp")
    "${sign[@]}" -in "${exe[$arch]}" -out "$stage/$name" >"$work/sign-$arch.log" 2>&1 ||
      { tail -n 5 "$work/sign-$arch.log" >&2; fail "signing the $arch exe failed (osslsigncode's last lines above)"; }
  else
    cp "${exe[$arch]}" "$stage/$name" || fail "cannot write into '$dist'"
  fi
done
[[ -n $cert ]] || echo "no certificate given: the exes are left unsigned"
(cd "$stage" && sha256sum "${names[@]}" >SHA256SUMS) || fail "cannot write the checksums"

# The checksums last: they never describe exes that are not yet in place.
for name in "${names[@]}" SHA256SUMS; do
  mv -f "$stage/$name" "$dist/$name" || fail "cannot move $name into '$dist'"
done
created_dist=
echo "wrote ${dist%/}/: ${names[0]} (the file to ship), ${names[1]}, SHA256SUMS"
