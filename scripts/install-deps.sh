#!/usr/bin/env bash
# Installs what building and testing Stagewell needs on Debian 12 (run as root).
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev clang-format-14 clang-tidy-14
  libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev
  python3 python3-cryptography sqlite3 osslsigncode softhsm2 libengine-pkcs11-openssl opensc
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 wine32:i386 qemu-user-static xvfb xdotool x11-utils imagemagick locales fonts-dejavu-core
)

# The 32-bit exe, the file that ships, runs under Wine's i386 half.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -qq
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine runs the exe with the Hebrew ANSI code page (1255).
if ! locale -a 2>/dev/null | grep -qi '^he_IL.utf8$'; then
  sed -i 's/^# *he_IL.UTF-8 UTF-8/he_IL.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^he_IL.UTF-8 UTF-8' /etc/locale.gen || echo 'he_IL.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# This kernel execs no i386 ELF itself: qemu-user runs Wine's 32-bit loader,
# registered with binfmt_misc (F: the interpreter is opened now, so it works
# inside any mount namespace; P: argv[0] is kept, which Wine relies on).
binfmt=/proc/sys/fs/binfmt_misc
i386_fail() {
  echo "install-deps.sh: this machine cannot run 32-bit programs ($1); the 32-bit exe's Wine suite needs binfmt_misc and qemu-i386-static as root" >&2
  exit 1
}
[[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || i386_fail "binfmt_misc cannot be mounted"
if [[ ! -e $binfmt/qemu-i386 ]]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:FP" >"$binfmt/register" 2>/dev/null ||
    i386_fail "qemu-i386 cannot be registered"
fi
grep -qx enabled "$binfmt/qemu-i386" || echo 1 >"$binfmt/qemu-i386" 2>/dev/null || i386_fail "qemu-i386 is registered but disabled"
# Wine's i386 loader must start: it is the program every 32-bit exe runs under.
QEMU_RESERVED_VA=0x81000000 timeout 60 /usr/lib/wine/wine --version >/dev/null 2>&1 || i386_fail "Wine's i386 loader does not start"
