#!/usr/bin/env bash
# Demonstration: installs what the build needs, builds, and runs one scripted move over a sample
# tree that meets every situation of a move. Your own settings are not touched.
set -euo pipefail
cd "$(dirname "$0")/.."

# TANDEMERE_DEMO_TOOL names an already built binary (the test suite runs the demo that way).
tool="${TANDEMERE_DEMO_TOOL:-}"
if [ -z "$tool" ]; then
  bash scripts/install-deps.sh --native-only
  cmake --preset linux >/dev/null
  # Only the tool the demonstration runs; the tests are built by scripts/test-all.sh.
  cmake --build build/linux --target tandemere
  tool="$PWD/build/linux/cli/tandemere"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/tandemere-demo.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export TANDEMERE_SETTINGS="$work/settings"   # a settings file of its own, removed at the end
# Its journal and digest cache stay in it too: the demo's moves are not the user's to undo.
export XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache"
src="$work/source"
dst="$work/destination"
mkdir -p "$src" "$dst"

# Every situation of a move, source against destination:
printf 'meeting at ten\n'      > "$src/notes.txt";  cp "$src/notes.txt" "$dst/notes.txt"    # identical, same name
printf 'JPEG bytes of a cat\n' > "$src/photo.jpg";  cp "$src/photo.jpg" "$dst/holiday.jpg" # identical, another name
printf 'report, version 2\n'   > "$src/report.txt"; printf 'report, v1\n' > "$dst/report.txt"  # different, same name
printf 'a playlist\n'          > "$src/music";      mkdir "$dst/music"; printf 'song\n' > "$dst/music/song.ogg"  # file vs folder
mkdir "$src/drafts"; printf 'first draft\n' > "$src/drafts/letter.txt"; printf 'drafts list\n' > "$dst/drafts"  # folder vs file
mkdir "$src/projects" "$dst/projects"                                                       # folders merged
printf 'new readme\n'          > "$src/projects/readme.md"                                  #   unique: moves in
printf 'plan B\n'              > "$src/projects/plan.txt"; printf 'plan A\n' > "$dst/projects/plan.txt"  #   skipped: stays behind
printf 'shared\n'              > "$src/projects/shared.txt"; cp "$src/projects/shared.txt" "$dst/projects/shared.txt"
printf 'buy milk\n'            > "$src/todo.txt"                                            # unique file

show() {
  echo "  $1:"
  (cd "$2" && find . -mindepth 1 \( -type d -printf '    %P/\n' \) -o -printf '    %P  (%s bytes)\n' | sort)
}

echo
echo "== Before"
show "source" "$src"
show "destination" "$dst"

answers='d\nr\nf\nd\ns\n'
echo
echo "== tandemere move, answers piped in: photo.jpg d (delete), report.txt r (rename),"
echo "   music f (rename file), drafts d (rename folder), projects/plan.txt s (skip)"
echo "   (the prompts appear below; the log follows them)"
status=0
printf "$answers" | "$tool" move "$src/notes.txt" "$src/photo.jpg" "$src/report.txt" "$src/music" \
  "$src/drafts" "$src/projects" "$src/todo.txt" "$dst" >"$work/log" || status=$?
echo
echo "== The log (exit status $status)"
cat "$work/log"

echo
echo "== After"
show "source" "$src"
show "destination" "$dst"

expected_src='projects/ projects/plan.txt'
expected_dst='drafts drafts (2)/ drafts (2)/letter.txt holiday.jpg music (2) music/ music/song.ogg notes.txt projects/'
expected_dst+=' projects/plan.txt projects/readme.md projects/shared.txt report (2).txt report.txt todo.txt'
listing() { (cd "$1" && find . -mindepth 1 \( -type d -printf '%P/\n' \) -o -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'); }
if [ "$status" -eq 0 ] && [ "$(listing "$src")" = "$expected_src" ] &&
   [ "$(listing "$dst")" = "$expected_dst" ]; then
  echo
  echo "Every situation came out as expected."
else
  echo
  echo "Unexpected outcome: source [$(listing "$src")], destination [$(listing "$dst")]" >&2
  exit 1
fi
