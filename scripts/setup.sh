#!/usr/bin/env bash
# Installs everything needed to build and test on a Debian machine.
# Idempotent: does nothing when every package is already present.
set -euo pipefail

packages=(
  cmake ninja-build
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  googletest
  wine wine32:i386 wine64
  xvfb xdotool x11-utils x11-xserver-utils xauth
  imagemagick icoutils
  zint dmtx-utils zbar-tools
  nsis osslsigncode openssl
  python3-jsonschema python3-yaml python3-openpyxl python3-markdown
  libz-mingw-w64-dev
  fonts-wqy-microhei
  python3 locales
)

# Locales the tests run the programs under: Wine takes its ANSI code page
# from them (1252, 936, and 65001 for hi_IN, a language without one) and
# passes command lines through them.
locales=(en_US zh_CN hi_IN)

have_locale() { locale -a 2>/dev/null | grep -qix "$1.utf-\?8"; }

make_locales() {
  for l in "${locales[@]}"; do
    have_locale "$l" || $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  make_locales
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
make_locales
