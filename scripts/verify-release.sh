#!/usr/bin/env bash
# Proves that signed exes, signed here or anywhere else, are what this checkout
# builds: rebuilds each for the service host as scripts/release.sh does, takes
# the signature off and compares the rest bit for bit, then checks the
# signature's chain, its signer and its time stamp.
#
#   scripts/verify-release.sh --host [https://]HOST[:PORT] [--root ROOT.pem] [--tsa-root TSA.pem]
#                             [--signer NAME] EXE...
#
# Without --root (--tsa-root) the chain (the time stamp's) must lead to one of
# the system's trusted roots. The signer's certificate must name a subject, and
# with --signer its common name must be NAME. Exits 0 only when every check of
# every exe holds.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
me=verify-release.sh
. "$root/scripts/lib/release.bash"

usage() {
  echo "usage: $me --host [https://]HOST[:PORT] [--root ROOT.pem] [--tsa-root TSA.pem] [--signer NAME] EXE..." >&2
  exit 2
}
fail() { echo "$me: $*" >&2; exit 1; }

host='' ca='' tsa_ca='' signer_name='' exes=()
while (($#)); do
  case $1 in
    --host | --root | --tsa-root | --signer)
      (($# >= 2)) || fail "$1 needs a value"
      case $1 in --host) host=$2 ;; --root) ca=$2 ;; --tsa-root) tsa_ca=$2 ;; --signer) signer_name=$2 ;; esac
      shift 2
      ;;
    -h | --help) usage ;;
    -*) echo "$me: unknown argument: $1" >&2; usage ;;
    *) exes+=("$1"); shift ;;
  esac
done

check_host "$host"
((${#exes[@]})) || fail "no exe to verify: give the signed files after the options"
for file in ${ca:+"$ca"} ${tsa_ca:+"$tsa_ca"}; do
  [[ -f $file && -r $file ]] || fail "cannot read the root certificate file '$file'"
  openssl x509 -in "$file" -noout 2>/dev/null || fail "'$file' is not a PEM certificate"
done

# Little-endian unsigned integer of SIZE bytes at OFFSET of FILE.
le() { od -An -v -tu"$3" -j "$2" -N "$3" "$1" | tr -d ' '; }

# The PE section holding file OFFSET of FILE ("headers" before the first).
section_of() {
  local file=$1 offset=$2 pe count table i entry name raw size
  pe=$(le "$file" 60 4)
  count=$(le "$file" $((pe + 6)) 2)
  table=$((pe + 24 + $(le "$file" $((pe + 20)) 2)))
  for ((i = 0; i < count; i++)); do
    entry=$((table + 40 * i))
    size=$(le "$file" $((entry + 16)) 4)
    raw=$(le "$file" $((entry + 20)) 4)
    if ((offset >= raw && offset < raw + size)); then
      name=$(dd if="$file" bs=1 skip="$entry" count=8 status=none | tr -d '\0')
      echo "section $name, $((offset - raw)) bytes into it"
      return
    fi
  done
  if ((count && offset < $(le "$file" $((table + 20)) 4))); then echo "the headers"; else echo "the data after the sections"; fi
}

declare -A arch_of
for exe in "${exes[@]}"; do
  [[ -f $exe && -r $exe ]] || fail "cannot read '$exe'"
  [[ $(head -c 2 "$exe") == MZ ]] || fail "'$exe' is not a Windows exe"
  pe=$(le "$exe" 60 4)
  case $(le "$exe" $((pe + 4)) 2) in
    332) arch_of[$exe]=x86 ;;
    34404) arch_of[$exe]=x64 ;;
    *) fail "'$exe' is neither an x86 nor an x64 exe" ;;
  esac
done

trust=${ca:-"the system's trusted roots"}
tsa_trust=${tsa_ca:-"the system's trusted roots"}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# Only the machines asked for, in the release's own build folders: a check
# right after a release rebuilds nothing.
mapfile -t arches < <(printf '%s\n' "${arch_of[@]}" | sort -u)
build_release "$host" "$work" "${arches[@]}"

status=0
n=0
for exe in "${exes[@]}"; do
  n=$((n + 1))
  arch=${arch_of[$exe]}
  problems=()
  echo
  echo "$exe ($arch)"

  # The bytes.
  stripped=$work/stripped-$n.exe
  if osslsigncode remove-signature -in "$exe" -out "$stripped" >"$work/remove-$n.log" 2>&1; then
    signed=1
  else
    signed=
    cp "$exe" "$stripped"
  fi
  # The first difference that is not in the PE checksum, which follows from
  # the rest: a changed byte anywhere changes it too.
  checksum_at=$(($(le "$stripped" 60 4) + 88))
  first=$(cmp -l "$stripped" "${release_exe[$arch]}" 2>/dev/null |
    awk -v c="$checksum_at" '$1 - 1 < c || $1 - 1 >= c + 4 { print $1 - 1; exit }')
  size=$(stat -c %s "$stripped") rebuilt_size=$(stat -c %s "${release_exe[$arch]}")
  if [[ -z $first ]] && ((size == rebuilt_size)) && cmp -s "$stripped" "${release_exe[$arch]}"; then
    echo "  code:       identical to the rebuild for $host ($(sha256sum <"$stripped" | cut -c1-16))"
  else
    if [[ -n $first ]]; then
      printf -v at 'first at offset %d (0x%x), in %s' "$first" "$first" "$(section_of "${release_exe[$arch]}" "$first")"
    elif ((size != rebuilt_size)); then
      at="the shorter one ends at offset $((size < rebuilt_size ? size : rebuilt_size))"
    else
      at="only in the PE checksum"
    fi
    ((size == rebuilt_size)) || at+="; $size bytes against the rebuild's $rebuilt_size"
    echo "  code:       DIFFERS from the rebuild for $host: $at"
    problems+=("its code is not what this checkout builds for $host")
  fi

  # The signature.
  if [[ -z $signed ]]; then
    echo "  signer:     none, the file is not signed"
    problems+=("it carries no signature")
  else
    check=(osslsigncode verify -in "$exe")
    [[ -z $ca ]] || check+=(-CAfile "$ca")
    [[ -z $tsa_ca ]] || check+=(-TSA-CAfile "$tsa_ca")
    "${check[@]}" >"$work/verify-$n.log" 2>&1
    verified=$?
    report=$(<"$work/verify-$n.log")
    signer=$(awk '/^Signer.s certificate:/ { on = 1 } on && /Subject:/ { sub(/^[ \t]*Subject: /, ""); print; exit }' \
      "$work/verify-$n.log")
    echo "  signer:     ${signer:-none named}"
    stamp=$(time_stamp_in_report <"$work/verify-$n.log")
    if [[ -n $stamp ]]; then
      if [[ $report == *"Timestamp Server Signature verification: ok"* ]]; then
        echo "  time stamp: $stamp, verified"
      else
        echo "  time stamp: $stamp, NOT verified to $tsa_trust"
        problems+=("its time stamp does not verify")
      fi
    else
      echo "  time stamp: none (the signature stops verifying when the certificate expires)"
    fi
    if [[ $report == *"MISMATCH"* ]]; then
      problems+=("its signature does not match its content")
    elif ((verified != 0)) || [[ $report != *"Signature verification: ok"* ]]; then
      reason=$(grep -E '^[[:space:]]*Error: ' "$work/verify-$n.log" | tail -n 1 | sed 's/^[[:space:]]*Error: //')
      problems+=("its signature does not verify to $trust${reason:+ ($reason)}")
    fi
    [[ -n $signer ]] || problems+=("its signature names no signer")
    common_name=$(sed -n 's#^.*/CN=\([^/]*\).*$#\1#p' <<<"$signer")
    if [[ -n $signer_name && $common_name != "$signer_name" ]]; then
      problems+=("its signer is '${common_name:-unnamed}', not '$signer_name'")
    fi
  fi

  if ((${#problems[@]})); then
    status=1
    joined=$(printf '%s; ' "${problems[@]}")
    echo "  verdict:    NOT VERIFIED: ${joined%; }"
  else
    echo "  verdict:    verified: built from this checkout for $host, signed by $signer"
  fi
done
exit $status
