#!/usr/bin/env bash
# Installs what building and testing Stagewell needs on Debian 12 (run as root).
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev clang-format-14 clang-tidy-14
  libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev
  python3 python3-cryptography sqlite3 osslsigncode
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xdotool x11-utils imagemagick locales fonts-dejavu-core
)

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
