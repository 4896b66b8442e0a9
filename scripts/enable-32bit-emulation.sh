#!/usr/bin/env bash
# Lets a kernel without 32-bit support run the 32-bit Wine loader, by emulation: installs
# qemu-user-static and registers it for 32-bit x86 programs with binfmt_misc. Does nothing where
# 32-bit programs run natively (every stock Debian kernel) or where Wine is not installed.
# The registration lasts until the next reboot; the test command runs this script every time.
set -euo pipefail

loader=/usr/lib/wine/wine
[ -x "$loader" ] || exit 0
rc=0
"$loader" --version </dev/null >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 0 ] && exit 0
if [ "$rc" -ne 126 ]; then
  echo "enable-32bit-emulation.sh: $loader fails with exit code $rc; leaving it alone" >&2
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! [ -x /usr/bin/qemu-i386-static ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends qemu-user-static
fi
misc=/proc/sys/fs/binfmt_misc
[ -e "$misc/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$misc"
if ! [ -e "$misc/qemu-i386" ]; then
  # ELF, 32-bit, little-endian, executable or shared object, machine i386. "F" opens the
  # interpreter now, so it works inside any later mount namespace too.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | $sudo tee "$misc/register" >/dev/null
fi
"$loader" --version </dev/null >/dev/null 2>&1 ||
  { echo "enable-32bit-emulation.sh: the 32-bit loader still does not run" >&2; exit 1; }
echo "32-bit programs run by emulation on this machine (its kernel has no 32-bit support)."
