#!/usr/bin/env bash
# Installs the Debian 12 packages the build and every test suite need; skips itself when all are present.
#
#   install-deps.sh                 everything: native, Windows cross build, and what runs the 32-bit tests
#   install-deps.sh --native-only   the native build only
#   install-deps.sh --plan          print the package sets this machine would get, install nothing
#   install-deps.sh --bench         the baselines that bench/run.sh times the tool against, and nothing else
#
# A package index that cannot be fetched (a mirror mid-sync can serve one for hours) does not end
# the install: `apt-get update` is retried, then the install goes on with what resolves, and fails
# naming the package and the index only when something it needs does not.
set -euo pipefail

native=(g++ cmake ninja-build make libgtest-dev libgmock-dev googletest libcli11-dev pkg-config clang-tidy
        clang libclang-rt-14-dev valgrind ccache)
windows=(wine wine64 fonts-wine g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
         binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 xvfb xauth imagemagick x11-utils msitools wixl)
# The host's 32-bit Wine, only where this kernel runs 32-bit programs.
windows_i386=(wine32:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
              libxcomposite1:i386 libxinerama1:i386)
# Elsewhere the 32-bit tests run in a small virtual machine (tests/wine/vm32.sh), whose packages
# come from Debian's main suite alone.
vm32=(qemu-system-x86 debootstrap e2fsprogs)
# Only the benchmark wants these; the build and the tests never do.
bench=(rsync jdupes time python3)

update_attempts="${TANDEMERE_APT_UPDATE_ATTEMPTS:-3}"
update_pause="${TANDEMERE_APT_UPDATE_PAUSE:-20}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# Runs a tiny 32-bit program written here (exit(7) through int 0x80): it exits 7 only where the
# kernel runs 32-bit programs itself. qemu's user-mode emulation, where registered, does not count:
# Wine's per-thread state breaks under it.
kernel_runs_32bit() {
  grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386 && return 1
  local dir rc=0
  dir="$(mktemp -d)"
  # ELF header, one loadable segment, then: xor ebx,ebx; mov bl,7; mov eax,1; int 0x80
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5f\x00\x00\x00\x5f\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x07\xb8\x01\x00\x00\x00\xcd\x80' >"$dir/probe32"
  chmod +x "$dir/probe32"
  "$dir/probe32" </dev/null >/dev/null 2>&1 || rc=$?
  rm -rf "$dir"
  [ "$rc" -eq 7 ]
}

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf '%s\n' "$p"
  done
}

# apt-get update, a few times; an index still failing after that is a warning (its lines are kept
# in $failed_indexes), not the end. Once per run.
failed_indexes=""
indexes_updated=""
added_i386=""
update_indexes() {
  [ -z "$indexes_updated" ] || return 0
  indexes_updated=yes
  local attempt out
  for attempt in $(seq 1 "$update_attempts"); do
    if out="$($sudo apt-get update -q 2>&1)"; then
      failed_indexes=""
      return 0
    fi
    # "Err:N URL" with its reason on the next line, and apt's closing E:/W: lines.
    failed_indexes="$(printf '%s\n' "$out" | awk '/^Err:/ { err = $0; next }
        err != "" { sub(/^ +/, ""); print err " -- " $0; err = ""; next } /^(E|W): / { print }')"
    echo "install-deps.sh: apt-get update failed (attempt $attempt of $update_attempts):" >&2
    printf '%s\n' "$failed_indexes" | sed 's/^/  /' >&2
    [ "$attempt" -lt "$update_attempts" ] && sleep "$update_pause"
  done
  echo "install-deps.sh: WARNING: going on without the index(es) above; the install fails below" \
       "only if a package it needs cannot be resolved without them." >&2
}

# Installs what is missing of the given packages; on failure prints what apt refused and returns 1.
try_install() {
  local missing=()
  mapfile -t missing < <(missing_of "$@")
  [ "${#missing[@]}" -gt 0 ] || return 0
  if printf '%s\n' "${missing[@]}" | grep -q ':i386'; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo dpkg --add-architecture i386
      added_i386=yes
      indexes_updated=""  # the new architecture's indexes
    fi
  fi
  update_indexes
  local out rc=0
  out="$($sudo apt-get install -y -q --no-install-recommends "${missing[@]}" 2>&1)" || rc=$?
  if [ "$rc" -eq 0 ]; then
    printf '%s\n' "$out" | tail -n 1
    return 0
  fi
  printf '%s\n' "$out" | grep -E '^( *[^ ]+ : Depends|E: )' >&2 || printf '%s\n' "$out" | tail -n 20 >&2
  # The packages apt names in its refusal: "E: Unable to locate package X", "X : Depends: ...".
  refused="$(printf '%s\n' "$out" | sed -nE "s/^E: Unable to locate package (.*)/\1/p;
      s/^E: Package '([^']*)' has no installation candidate/\1/p; s/^ *([^ ]+) : Depends: .*/\1/p" |
      sort -u | tr '\n' ' ')"
  echo "install-deps.sh: could not install ${refused:-the packages above}(apt-get exit $rc)." >&2
  if [ -n "$failed_indexes" ]; then
    echo "install-deps.sh: these package indexes could not be fetched, and are the likely cause:" >&2
    printf '%s\n' "$failed_indexes" | sed 's/^/  /' >&2
  fi
  return 1
}

install() {
  try_install "$@" || { echo "install-deps.sh: ERROR: the packages named above are needed; stopping." >&2; exit 1; }
}

case "${1:-}" in
  --native-only)
    install "${native[@]}"
    exit 0
    ;;
  --bench)
    install "${bench[@]}"
    exit 0
    ;;
  --plan)
    if kernel_runs_32bit; then
      echo "32-bit programs: run by this kernel; host packages: ${native[*]} ${windows[*]} ${windows_i386[*]}"
    else
      echo "32-bit programs: not run by this kernel; host packages: ${native[*]} ${windows[*]} ${vm32[*]}"
    fi
    exit 0
    ;;
  "") ;;
  *)
    echo "usage: install-deps.sh [--native-only|--bench|--plan]" >&2
    exit 2
    ;;
esac

# Decided before anything i386 is installed: where the kernel cannot run 32-bit programs, the
# host's i386 half would never run, and it needs i386 twins of every amd64 library at the same
# version, which a missing security index makes impossible.
install "${native[@]}" "${windows[@]}"
if kernel_runs_32bit; then
  # The i386 half needs i386 twins of amd64 libraries at the very same version; where an index is
  # missing that may be impossible, and the test machine, whose packages come from the main suite
  # alone, still runs the 32-bit tests.
  try_install "${windows_i386[@]}" && exit 0
  # Nothing i386 came in: the architecture goes again, so the machine's own updates do not keep
  # fetching (and failing on) its indexes.
  [ -z "$added_i386" ] || $sudo dpkg --remove-architecture i386 || true
  echo "install-deps.sh: WARNING: the host's 32-bit Wine cannot be installed; the 32-bit tests will" \
       "run in the test machine (tests/wine/vm32.sh) instead." >&2
fi
install "${vm32[@]}"
