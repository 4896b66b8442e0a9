#!/usr/bin/env bash
# Installs the Debian 12 packages the build and every test suite need; skips itself when all are present.
set -euo pipefail

native=(g++ cmake ninja-build make libgtest-dev libgmock-dev googletest libcli11-dev pkg-config)
windows=(wine wine32:i386 wine64 fonts-wine libxrender1:i386 libxrandr2:i386 libxi6:i386
         libxcursor1:i386 libxcomposite1:i386 libxinerama1:i386
         g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
         binutils-mingw-w64-x86-64 xvfb xauth imagemagick x11-utils)

# Where the kernel cannot run the 32-bit Wine loader, the 32-bit tests run in a small virtual machine.
vm32=(qemu-system-x86 debootstrap e2fsprogs)

install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
    dpkg --print-foreign-architectures | grep -q i386 || $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

if [ "${1:-}" = "--native-only" ]; then
  install "${native[@]}"
  exit 0
fi
install "${native[@]}" "${windows[@]}"
/usr/lib/wine/wine --version </dev/null >/dev/null 2>&1 || install "${vm32[@]}"
