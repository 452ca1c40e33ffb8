#!/usr/bin/env bash
# Makes a Debian 12 machine ready to build and test Pelmora: installs what is
# missing and generates the locales the tests run in. Idempotent; quick when
# everything is there already.
set -euo pipefail

packages=(
  build-essential cmake git pkg-config python3
  libgtest-dev googletest libbenchmark-dev
  zlib1g-dev libxlsxwriter-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine64
  clang libclang-rt-14-dev
  locales
  python3-openpyxl python3-xlrd
  libfreexl-dev python3-xlwt
  zip unzip
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # Another installer may hold the package lock for a while; wait for it.
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
fi

# Native tests switch between the Chinese (GBK, code page 936) and Western
# (CP1252) settings; Wine takes its ANSI code page from a UTF-8 locale.
have_locale() { locale -a 2>/dev/null | grep -qix "$1"; }
make_locale() { # name input charmap
  have_locale "$1" || have_locale "${1/.UTF-8/.utf8}" || { echo "setup: generating locale $1"; localedef -i "$2" -f "$3" "$1"; }
}
make_locale zh_CN.GBK zh_CN GBK
make_locale en_US.CP1252 en_US CP1252
make_locale zh_CN.UTF-8 zh_CN UTF-8
make_locale en_US.UTF-8 en_US UTF-8
