#!/usr/bin/env bash
# Installs what the build needs, then builds and runs every test suite: native, sanitizers, and
# both Windows builds (their tests under Wine; where the host has no 32-bit Wine, the 32-bit tests
# run in a small virtual machine, see tests/wine/vm32.sh). Every suite runs even when an earlier
# one failed; a table of the results ends the output, and the exit status is 1 if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."

logs="build/test-all"
mkdir -p "$logs"
start=$SECONDS
rows=()
failed_suites=0

row() { rows+=("$(printf '%-12s %8s %8s %8s %8s' "$@")"); }

step_start=$SECONDS
if bash scripts/install-deps.sh; then
  row install - - - $((SECONDS - step_start))
else
  row install - - "error" $((SECONDS - step_start))
  failed_suites=1
fi

print_table() {
  echo
  printf '%-12s %8s %8s %8s %8s\n' suite passed skipped failed seconds
  printf '%s\n' "${rows[@]}"
  printf '%-12s %8s %8s %8s %8s\n' total - - - $((SECONDS - start))
  echo "(logs in $logs/)"
}
# Without the packages no suite can build.
[ "$failed_suites" -eq 0 ] || { print_table; exit 1; }

# Compiler output is cached across runs and clones (the cache is keyed by content, with paths
# taken relative to the clone), so a second run rebuilds only what changed.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$PWD"
fi

# Counts the results ctest printed: "N/M Test #K: name ....   Passed  0.01 sec", "***Skipped", ...
count() { grep -cE "^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*$1" "$2" || true; }

for preset in linux linux-asan mingw64 mingw32; do
  echo "== $preset"
  log="$logs/$preset.log"
  step_start=$SECONDS
  # Only this run's figures are printed at the end.
  rm -rf "build/$preset/figures"
  cmake --workflow --preset "$preset" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  passed=$(count ' Passed ' "$log")
  skipped=$(count '\*\*\*Skipped' "$log")
  all=$(count '' "$log")
  failed=$((all - passed - skipped))
  if [ "$rc" -ne 0 ]; then
    failed_suites=1
    # A configure or build error runs no test at all: say so instead of "0 failed".
    [ "$all" -gt 0 ] || failed="no tests"
  fi
  row "$preset" "$passed" "$skipped" "$failed" $((SECONDS - step_start))
done

print_table
# The figures the suites wrote (scenarios run, faults injected, content lost, ...), one line each.
for preset in linux linux-asan mingw64 mingw32; do
  for figures in build/"$preset"/figures/*.txt; do
    [ -f "$figures" ] || continue
    while IFS= read -r line; do echo "$preset: $line"; done <"$figures"
  done
done
# Test programs that Wine failed to start before their own code ran are started again (see
# tests/wine/wine-env.sh); say how often, so a rise is seen.
for retries in build/*/wine/start-retries.log; do
  [ -f "$retries" ] && echo "Wine starts tried again: $(wc -l <"$retries") (in $retries)"
done
exit "$failed_suites"
