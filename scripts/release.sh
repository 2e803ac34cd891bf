#!/usr/bin/env bash
# Builds the release exes for one deployment's service host, signs them when a
# certificate is given, and writes them with their checksums into dist/.
#
#   scripts/release.sh --host [https://]HOST[:PORT] [SIGNING [--url URL] [--timestamp URL]] [--dist DIR]
#   SIGNING: --cert CERT.pem --key KEY.pem (a key in a file), or
#            --pkcs11-module MODULE.so --cert CERT.pem|'pkcs11:...' --key 'pkcs11:...' (a key in a token;
#            its PIN from STAGEWELL_SIGNING_PIN or asked on the terminal)
#
# Input is checked before anything is built; the files are built and signed in
# a staging folder and renamed into dist/ only at the end, so a failed run
# leaves dist/ as it was.
set -uo pipefail
# The PIN is read once, before any other program starts, kept in this shell
# only (never exported, never an argument) and handed to each signer through a
# pipe.
pin=${STAGEWELL_SIGNING_PIN-}
pin_given=${STAGEWELL_SIGNING_PIN+1}
unset STAGEWELL_SIGNING_PIN
root=$(cd "$(dirname "$0")/.." && pwd)
me=release.sh
. "$root/scripts/lib/release.bash"

usage() {
  echo "usage: $me --host [https://]HOST[:PORT] [--cert CERT.pem --key KEY.pem | --pkcs11-module MODULE.so --cert CERT.pem|pkcs11:URI --key pkcs11:URI] [--url URL] [--timestamp URL] [--dist DIR]" >&2
  exit 2
}
fail() { echo "$me: $*" >&2; exit 1; }

host='' cert='' key='' url='' timestamp='' module='' dist=$root/dist
while (($#)); do
  case $1 in
    --host | --cert | --key | --url | --timestamp | --dist | --pkcs11-module)
      (($# >= 2)) || fail "$1 needs a value"
      name=${1#--}
      name=${name/pkcs11-/}
      printf -v "$name" '%s' "$2"
      shift 2
      ;;
    -h | --help) usage ;;
    *) echo "$me: unknown argument: $1" >&2; usage ;;
  esac
done

# --- input -------------------------------------------------------------------

check_host "$host"

readable() { [[ -f $2 && -r $2 ]] || fail "cannot read the $1 file '$2'"; }

# The first certificate of the file is the signer; any after it are its chain.
check_code_signing() {
  local file=$1 name=$2 usage_ext
  usage_ext=$(openssl x509 -in "$file" -noout -ext extendedKeyUsage,keyUsage 2>/dev/null)
  grep -q 'Code Signing' <<<"$usage_ext" ||
    fail "the certificate '$name' is not for code signing (its extended key usage lacks codeSigning)"
  if grep -q 'X509v3 Key Usage' <<<"$usage_ext" && ! grep -q 'Digital Signature' <<<"$usage_ext"; then
    fail "the certificate '$name' is not for code signing (its key usage lacks digitalSignature)"
  fi
}

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

# osslsigncode's options that name the certificate and the key.
signer=()
if [[ -n $module ]]; then
  [[ -n $key ]] || fail "--pkcs11-module needs the token's key: give --key 'pkcs11:token=...;object=...'"
  [[ -n $cert ]] || fail "--pkcs11-module needs the certificate: give --cert CERT.pem or --cert 'pkcs11:...'"
  [[ $key == pkcs11:* ]] || fail "with --pkcs11-module the key is a PKCS#11 URI ('pkcs11:token=...;object=...'), not '$key'"
  [[ -f $module && -r $module ]] || fail "cannot read the PKCS#11 module '$module'"
  if [[ $cert == pkcs11:* ]]; then
    signer=(-pkcs11cert "$cert")
  else
    readable certificate "$cert"
    openssl x509 -in "$cert" -noout 2>/dev/null || fail "'$cert' is not a PEM certificate"
    check_code_signing "$cert" "$cert"
    signer=(-certs "$cert")
  fi
  signer=(-pkcs11module "$module" "${signer[@]}" -key "$key")
  if [[ -z $pin_given ]]; then
    { exec 3</dev/tty; } 2>/dev/null ||
      fail "no PIN for the token: set STAGEWELL_SIGNING_PIN, or run on a terminal to be asked"
    read -rs -u 3 -p "PIN of the token for '$key': " pin
    echo >&2
    exec 3<&-
  fi
  # One signing of a small script before anything is built: it loads the
  # module, logs in and signs with the key against the certificate, so that
  # each of these fails here, with its cause.
  printf 'Write-Output "Stagewell signing probe"\r\n' >"$work/probe.ps1"
  if ! osslsigncode sign "${signer[@]}" -readpass <(printf '%s' "$pin") -h sha256 \
    -in "$work/probe.ps1" -out "$work/probe-signed.ps1" >"$work/probe.log" 2>&1; then
    said=$(<"$work/probe.log")
    case $said in
      *"Unable to load module"* | *"Unable to load PKCS#11 module"*)
        fail "the PKCS#11 module '$module' does not load: $(grep -m1 -v -e '^Engine' -e 'Unable to load' "$work/probe.log")" ;;
      *"PIN incorrect"* | *"PIN_LEN_RANGE"* | *"PIN locked"* | *"Login failed"*)
        reason=$(grep -m1 -o 'PIN [a-z ]*[a-z]' "$work/probe.log")
        fail "the token refused the PIN${reason:+ ($reason)}" ;;
      *"No matching initialized token was found for certificate"*) fail "no token matches the certificate '$cert'" ;;
      *"No matching initialized token"*) fail "no token matches the key '$key'" ;;
      *"The certificate was not found"*) fail "no certificate in the token at '$cert'" ;;
      *"The private key was not found"*) fail "no private key in the token at '$key'" ;;
      *"key values mismatch"*) fail "the key '$key' does not belong to the certificate '$cert'" ;;
      *)
        tail -n 5 "$work/probe.log" >&2
        fail "the token could not sign (osslsigncode's last lines above)" ;;
    esac
  fi
  if [[ $cert == pkcs11:* ]]; then
    # The token's certificate, as the probe's signature carries it.
    if ! { osslsigncode extract-signature -pem -in "$work/probe-signed.ps1" -out "$work/probe.p7" >/dev/null 2>&1 &&
      openssl pkcs7 -in "$work/probe.p7" -print_certs 2>/dev/null | openssl x509 -out "$work/token-cert.pem" 2>/dev/null; }; then
      fail "cannot read the certificate '$cert' back from the probe's signature"
    fi
    check_code_signing "$work/token-cert.pem" "$cert"
  fi
elif [[ -n $cert || -n $key ]]; then
  [[ -n $cert ]] || fail "--key needs its certificate: give --cert CERT.pem as well"
  [[ -n $key ]] || fail "--cert needs its private key: give --key KEY.pem as well"
  [[ $key != pkcs11:* && $cert != pkcs11:* ]] || fail "a pkcs11: key or certificate needs --pkcs11-module MODULE.so"
  readable certificate "$cert"
  readable key "$key"
  cert_pub=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) ||
    fail "'$cert' is not a PEM certificate"
  # An empty pass phrase: an encrypted key fails here instead of prompting.
  key_pub=$(openssl pkey -in "$key" -passin pass: -pubout 2>/dev/null </dev/null) ||
    fail "'$key' is not an unencrypted PEM private key"
  [[ $cert_pub == "$key_pub" ]] || fail "the key '$key' does not belong to the certificate '$cert'"
  check_code_signing "$cert" "$cert"
  signer=(-certs "$cert" -key "$key")
else
  [[ -z $url ]] || fail "--url is part of a signature: give --cert and --key as well"
  [[ -z $timestamp ]] || fail "--timestamp is part of a signature: give --cert and --key as well"
fi

# --- build -------------------------------------------------------------------

build_release "$host" "$work" x86 x64
version=$(release_version x86) || exit 1

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
  if ((${#signer[@]})); then
    sign=(osslsigncode sign "${signer[@]}" -h sha256 -n Stagewell)
    [[ -z $module ]] || sign+=(-readpass -)
    [[ -z $url ]] || sign+=(-i "$url")
    [[ -z $timestamp ]] || sign+=(-ts "$timestamp")
    if ! printf '%s' "$pin" | "${sign[@]}" -in "${release_exe[$arch]}" -out "$stage/$name" >"$work/sign-$arch.log" 2>&1; then
      if [[ -n $timestamp ]] && grep -q -i 'timestamp' "$work/sign-$arch.log"; then
        grep -i -E 'timestamp reply|HTTP|code=|connect|failed to' "$work/sign-$arch.log" | grep -v -E 'DECODER|^Use the' | head -n 4 >&2
        fail "signing the $arch exe failed: no time stamp from '$timestamp' (osslsigncode's lines above)"
      fi
      tail -n 5 "$work/sign-$arch.log" >&2
      fail "signing the $arch exe failed (osslsigncode's last lines above)"
    fi
    if [[ -n $timestamp ]]; then
      stamp=$(osslsigncode verify -in "$stage/$name" 2>/dev/null | time_stamp_in_report)
      [[ -n $stamp ]] || fail "the $arch exe's signature carries no time stamp from '$timestamp'"
      echo "$arch exe time-stamped at $stamp"
    fi
  else
    cp "${release_exe[$arch]}" "$stage/$name" || fail "cannot write into '$dist'"
  fi
done
((${#signer[@]})) || echo "no certificate given: the exes are left unsigned"
(cd "$stage" && sha256sum "${names[@]}" >SHA256SUMS) || fail "cannot write the checksums"

# The checksums last: they never describe exes that are not yet in place.
for name in "${names[@]}" SHA256SUMS; do
  mv -f "$stage/$name" "$dist/$name" || fail "cannot move $name into '$dist'"
done
created_dist=
echo "wrote ${dist%/}/: ${names[0]} (the file to ship), ${names[1]}, SHA256SUMS"
