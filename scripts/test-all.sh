#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test suite: native, sanitizers, and
# both Windows builds (their tests under Wine; where the kernel cannot run 32-bit programs, the
# 32-bit tests run in a small virtual machine, see tests/wine/vm32.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in linux linux-asan mingw64 mingw32; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done
