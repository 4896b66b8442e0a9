#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in a
# build folder of their own, runs each a bounded number of times from its committed seed corpus,
# and writes the figure. Exits 77 (skipped) where clang or libFuzzer's runtime is missing.
#
#   run-fuzz.sh SOURCE_DIR BUILD_DIR
#
# TANDEMERE_FUZZ_RUNS overrides the runs of every target; TANDEMERE_FIGURES_DIR receives fuzz.txt.
set -euo pipefail
source_dir="$1"
build_dir="$2"

skip() {
  echo "fuzz: $1 (scripts/install-deps.sh installs it); skipped"
  exit 77
}
command -v clang++ >/dev/null 2>&1 || skip "clang++ is not installed"
mkdir -p "$build_dir/probe"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  >"$build_dir/probe/probe.cpp"
clang++ -fsanitize=fuzzer "$build_dir/probe/probe.cpp" -o "$build_dir/probe/probe" >/dev/null 2>&1 ||
  skip "clang++ cannot link libFuzzer's runtime"

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTANDEMERE_FUZZ=ON -DTANDEMERE_TESTS=OFF >"$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" -j2 >"$build_dir/build.log" 2>&1 || { cat "$build_dir/build.log"; exit 1; }

# Runs per target: about 60 seconds in all on a shared two-core machine. The file-backed targets
# write a file (or a few) per run and are the slowest.
declare -A runs=([settings_reader]=25000 [paths]=250000 [free_names]=40000)
declare -A done_runs=()
faults=0
for target in settings_reader paths free_names; do
  n="${TANDEMERE_FUZZ_RUNS:-${runs[$target]}}"
  work="$build_dir/corpus/$target"
  mkdir -p "$work" "$build_dir/artifacts"
  log="$build_dir/$target.log"
  start=$SECONDS
  # The committed seeds are only read; what the run learns goes to the build folder's corpus.
  if "$build_dir/tests/fuzz/fuzz_$target" -runs="$n" -seed=1 -max_len=512 -print_final_stats=1 \
       -artifact_prefix="$build_dir/artifacts/$target-" "$work" "$source_dir/tests/fuzz/corpus/$target" \
       >"$log" 2>&1; then
    :
  else
    faults=$((faults + 1))
    echo "fuzz: $target broke a property:"
    grep -E 'property broken|ERROR: |SUMMARY|Test unit written' "$log" || tail -n 40 "$log"
  fi
  done_runs[$target]="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  echo "fuzz: $target: ${done_runs[$target]:-0} executions in $((SECONDS - start)) s"
done

total=$(( ${done_runs[settings_reader]:-0} + ${done_runs[paths]:-0} + ${done_runs[free_names]:-0} ))
figure="fuzz executions: $total (settings reader ${done_runs[settings_reader]:-0}, paths ${done_runs[paths]:-0}, free names ${done_runs[free_names]:-0}), faults: $faults"
echo "$figure"
if [ -n "${TANDEMERE_FIGURES_DIR:-}" ]; then
  mkdir -p "$TANDEMERE_FIGURES_DIR"
  echo "$figure" >"$TANDEMERE_FIGURES_DIR/fuzz.txt"
fi
[ "$faults" -eq 0 ]
