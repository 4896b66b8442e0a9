#!/usr/bin/env bash
# The real tool under valgrind on a small representative move: a merge with identical files (under
# their own name and under another), each kind of clash answered by an option, and moves of a file
# and a folder across file systems. Fails on any valgrind error or leak, or a wrong outcome; exits
# 77 (skipped) without valgrind. Writes its figure to $TANDEMERE_FIGURES_DIR/valgrind.txt.
#
#   valgrind-move.sh TANDEMERE_BINARY
set -euo pipefail
tool="$1"
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind_move: valgrind is not installed (scripts/install-deps.sh installs it); skipped"
  exit 77
fi
work="$(mktemp -d /tmp/tandemere-valgrind-XXXXXX)"
other_base=/dev/shm
[ -d "$other_base" ] && [ -w "$other_base" ] || other_base=/tmp
other="$(mktemp -d "$other_base/tandemere-valgrind-XXXXXX")"
trap 'rm -rf "$work" "$other"' EXIT

src="$work/src"
dst="$other/dst"
mkdir -p "$src/merge/sub" "$src/tree/a" "$dst/merge/fv"
printf 'same\n' >"$src/merge/same.txt"
printf 'same\n' >"$dst/merge/same.txt"
printf 'identical under another name\n' >"$src/merge/copy.txt"
printf 'identical under another name\n' >"$dst/merge/renamed.txt"
printf 'the source clash\n' >"$src/merge/clash.txt"
printf 'the destination clash\n' >"$dst/merge/clash.txt"
printf 'in the folder\n' >"$src/merge/sub/x.txt"
printf 'a file named like the folder\n' >"$dst/merge/sub"
printf 'a file named like a destination folder\n' >"$src/merge/fv"
head -c 1048576 /dev/urandom >"$src/big.bin"
printf 'deep\n' >"$src/tree/a/b.txt"

status=0
valgrind --error-exitcode=1 --leak-check=full --log-file="$work/valgrind.log" \
  "$tool" move --identical=delete --different=rename --folder-vs-file=rename-folder \
  --file-vs-folder=rename-file --settings "$work/settings" --log-file "$work/move.log" \
  "$src/merge" "$src/big.bin" "$src/tree" "$dst" >"$work/out.txt" 2>&1 || status=$?

errors="$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$work/valgrind.log" | tail -n 1)"
lost="$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$work/valgrind.log" | tail -n 1)"
lost="${lost:-0}"
failed=""
[ "$status" -eq 0 ] || failed="$failed the move under valgrind ended with $status;"
for expected in merge/same.txt merge/renamed.txt merge/clash.txt "merge/clash (2).txt" "merge/sub" \
  "merge/sub (2)/x.txt" "merge/fv (2)" "merge/fv" big.bin tree/a/b.txt; do
  [ -e "$dst/$expected" ] || failed="$failed $expected is not in the destination;"
done
[ ! -e "$src/merge/copy.txt" ] || failed="$failed the identical source file was not deleted;"
[ ! -e "$src/big.bin" ] && [ ! -e "$src/tree" ] || failed="$failed a source crossing file systems stayed;"
figure="valgrind: ${errors:-?} errors, ${lost} bytes definitely lost, a merge with identical files, clashes answered by options and moves across file systems (exit $status)"
echo "$figure"
if [ -n "${TANDEMERE_FIGURES_DIR:-}" ]; then
  mkdir -p "$TANDEMERE_FIGURES_DIR"
  echo "$figure" >"$TANDEMERE_FIGURES_DIR/valgrind.txt"
fi
if [ -n "$failed" ]; then
  echo "valgrind_move:$failed"
  cat "$work/valgrind.log" "$work/out.txt" "$work/move.log" 2>/dev/null | tail -n 60
  exit 1
fi
