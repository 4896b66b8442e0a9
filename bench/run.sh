#!/usr/bin/env bash
# Times `tandemere move` against the usual command-line baselines on seeded workloads: the commands
# of a workload run in turn, round after round, each on a fresh copy of the workload, and the table
# gives each command's median seconds, its peak memory and tandemere's time as a multiple of it.
#
#   bash bench/run.sh
#
# Environment (all optional):
#   TANDEMERE_BIN          the tool (default build/linux/cli/tandemere; build it first)
#   TANDEMERE_BENCH_SCALE  divide every file count and the big files' size by this (default 1; 10 for a quick run)
#   TANDEMERE_BENCH_PAIRS  rounds per workload (default 3)
#   TANDEMERE_BENCH_ONLY   the workloads to run (default: all of them but the large ones, see below)
#   TANDEMERE_BENCH_LARGE  1 adds flat-1m and merge-300k (several GiB; making them the first time takes a while)
#   TANDEMERE_BENCH_TRASH  1 adds to the merges the same move with --trash (one flush a trashed file: slow)
#   TANDEMERE_BENCH_DIR    where workloads are made and run (default /var/tmp/tandemere-bench)
#   TANDEMERE_BENCH_OTHER  a folder on another file system, for "cross" (default /dev/shm/tandemere-bench)
#
# Baselines: mv, rsync, jdupes and cmp (scripts/install-deps.sh --bench installs them); nothing is
# installed here. Workloads are made once (a few minutes at full scale, about 9 GiB with the two
# 2 GiB pairs) and kept for later runs; each run works on a hard-linked copy of them.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
bin="$(realpath -m "${TANDEMERE_BIN:-$repo/build/linux/cli/tandemere}")"
scale="${TANDEMERE_BENCH_SCALE:-1}"
pairs="${TANDEMERE_BENCH_PAIRS:-3}"
only="${TANDEMERE_BENCH_ONLY:-flat-1k flat-10k flat-100k flat-100k-again flat-distinct merge tree big-same big-diff cross}"
[ "${TANDEMERE_BENCH_LARGE:-0}" = 1 ] && only="$only flat-1m merge-300k"
work="${TANDEMERE_BENCH_DIR:-/var/tmp/tandemere-bench}"
other="${TANDEMERE_BENCH_OTHER:-/dev/shm/tandemere-bench}"
seed=20261210

die() { echo "bench/run.sh: $*" >&2; exit 2; }
[ -x "$bin" ] || die "no tool at $bin: build it first (cmake --preset linux && cmake --build build/linux)"
for tool in mv rsync jdupes cmp python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || die "$tool is missing: bash scripts/install-deps.sh --bench"
done

# The commands of each workload, run in its copy: tandemere first, then its baselines.
pipeline_flat='jdupes -q -r -I -O -d -N dst src >/dev/null; find src -maxdepth 1 -type f -exec mv -n -t dst {} +'
pipeline_merge='jdupes -q -r -I -O -d -N dst src >/dev/null; for d in src/*/; do n="${d#src/}"; find "$d" -maxdepth 1 -type f -exec mv -n -t "dst/$n" {} +; done'
commands_of() {
  case "$1" in
    # Small random files of one size can be identical (every empty one is): like the pipeline,
    # tandemere then deletes them at the source.
    flat-1k | flat-10k | flat-100k | flat-100k-again | flat-1m)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log --identical=delete src/* dst" "mv|mv -t dst src/*" "jdupes+mv|$pipeline_flat" ;;
    flat-distinct)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log --identical=delete src/* dst" "mv|mv -t dst src/*" ;;
    merge | merge-300k)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log --identical=delete src/* dst"
      if [ "${TANDEMERE_BENCH_TRASH:-0}" = 1 ]; then
        printf '%s\n' "tandemere --trash|\"\$BIN\" move --no-log --identical=delete --trash src/* dst"
      fi
      printf '%s\n' "rsync|rsync -a --remove-source-files src/ dst/" "jdupes+mv|$pipeline_merge" ;;
    # Duplicates in other folders of the destination: the search of the whole tree against the
    # pipeline that finds them (jdupes over both trees) and then moves what is left.
    tree)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log --search-tree --elsewhere=delete src/* dst" \
        "jdupes+mv|$pipeline_merge" ;;
    big-same)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log src/big.img dst" \
        "cmp -s && rm|cmp -s src/big.img dst/big.img && rm src/big.img" ;;
    big-diff)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log --different=skip src/big.img dst" \
        "cmp -s|cmp -s src/big.img dst/big.img; true" ;;
    cross)
      printf '%s\n' "tandemere|\"\$BIN\" move --no-log src/data \"\$OTHER/dst\"" "mv|mv src/data \"\$OTHER/dst/\"" ;;
    *) die "unknown workload $1" ;;
  esac
}

# What runs in a workload's copy before the timed command, untimed: "again" moves other files into
# the same folder first, so the timed move finds the digests that move kept in the cache.
before_of() {
  case "$1" in
    flat-100k-again) printf '%s\n' '"$BIN" move --no-log --identical=delete first/* dst' ;;
    *) printf '%s\n' 'true' ;;
  esac
}

# Makes the workload's template once (kept while scale and seed stay the same).
template_of() {
  local kind="$1" dir="$work/templates/$1-s$scale"
  if [ ! -f "$dir/.made" ]; then
    rm -rf "$dir"
    echo "making $kind (scale 1/$scale) in $dir ..." >&2
    python3 "$here/make_workload.py" "$kind" "$dir" --scale "$scale" --seed "$seed"
    touch "$dir/.made"
  fi
  printf '%s\n' "$dir"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs one command on a fresh copy, with an empty digest cache and journal folder, and after the workload's untimed
# first step; appends "seconds peak-KiB" to its results file.
run_one() {
  local template="$1" command="$2" results="$3" before="$4" run="$work/run"
  rm -rf "$run" "$other/dst" "$work/cache" "$work/state" "$work/data"
  cp -al "$template" "$run"
  mkdir -p "$other/dst"
  export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
  ( cd "$run" && BIN="$bin" sh -c "$before" >/dev/null 2>&1 ) || die "the first step of the workload failed"
  sync
  local start end status=0
  start=$EPOCHREALTIME
  ( cd "$run" && BIN="$bin" OTHER="$other" /usr/bin/time -f '%M' -o "$work/peak" sh -c "$command" \
      >/dev/null 2>"$work/stderr" ) || status=$?
  end=$EPOCHREALTIME
  if [ "$status" -ne 0 ] && [[ "$command" == *'$BIN'* ]]; then
    echo "bench/run.sh: tandemere exited $status:" >&2
    cat "$work/stderr" >&2
  fi
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(tail -n 1 "$work/peak")" >>"$results"
}

mkdir -p "$work" "$other"
avail_gib=$(df -BG --output=avail "$work" | tail -n 1 | tr -dc 0-9)
echo "load before: $(uptime)"
echo "tool: $bin; scale 1/$scale; $pairs rounds; workloads in $work (${avail_gib} GiB free), cross to $other"
rows=()
for kind in $only; do
  if [[ "$kind" == big-* ]] && [ "$avail_gib" -lt $((10 / scale + 1)) ]; then
    echo "skipping $kind: ${avail_gib} GiB free in $work" >&2
    continue
  fi
  template="$(template_of "$kind")"
  mapfile -t commands < <(commands_of "$kind")
  rm -f "$work"/result.*
  for round in $(seq 1 "$pairs"); do
    for i in "${!commands[@]}"; do
      run_one "$template" "${commands[$i]#*|}" "$work/result.$i" "$(before_of "$kind")"
    done
  done
  base=""
  for i in "${!commands[@]}"; do
    secs=$(cut -d' ' -f1 "$work/result.$i" | median)
    peak=$(cut -d' ' -f2 "$work/result.$i" | sort -g | tail -n 1)
    [ -n "$base" ] || base="$secs"
    ratio=$(awk -v t="$base" -v b="$secs" 'BEGIN { printf "%.2f", t / b }')
    rows+=("$(printf '%-14s %-14s %10.4f %9.1f %10s' "$kind" "${commands[$i]%%|*}" "$secs" \
      "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$([ "$i" -eq 0 ] && echo - || echo "$ratio")")")
  done
done
rm -rf "$work/run" "$other/dst" "$work/cache" "$work/state"
echo
printf '%-14s %-14s %10s %9s %10s\n' workload command "median s" "peak MiB" "tandemere/x"
printf '%s\n' "${rows[@]}"
echo
echo "load after: $(uptime)"
