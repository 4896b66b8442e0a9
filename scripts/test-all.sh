#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test suite: native, sanitizers, and
# both Windows builds (their tests under Wine; a machine that cannot run 32-bit programs builds
# the 32-bit suite and reports its tests as skipped).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in linux linux-asan mingw64 mingw32; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done
