#!/usr/bin/env bash
# fuzz.sh [seconds per target] [target...]: builds the libFuzzer tree
# (build-fuzz/, clang) and runs every fuzz target, or the ones named, for the
# given time each (default 180 s). The corpus grows in build-fuzz/corpus/
# from one run to the next; any input that makes a target fail is kept in
# build-fuzz/findings/<target>/ and fails the run. A line per target gives
# executions, executions per second and coverage.
#
# A finding becomes a regression: copy the input to fuzz/regressions/<target>/
# and fix its cause; the normal test suite replays those folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-180}
shift || true
tree=${AVM_FUZZ_TREE:-build-fuzz}

# The fuzz tree's own needs on top of scripts/packages.txt: clang and its
# compiler runtime (libFuzzer and the sanitizer runtimes).
"$root/scripts/setup.sh" clang libclang-rt-14-dev python3

start=$(date +%s)
mkdir -p "$tree"
CC=clang CXX=clang++ cmake -S "$root" -B "$tree" -DAVM_FUZZ=ON > "$tree/configure.log" 2>&1 ||
  { cat "$tree/configure.log"; exit 1; }
cmake --build "$tree" -j"$(nproc)" --target fuzz_targets > "$tree/build.log" 2>&1 ||
  { tail -n 60 "$tree/build.log"; exit 1; }
echo "fuzz: tree built in $(( $(date +%s) - start )) s"

# Seeds are made afresh each run; real glyph sheets come from the plain
# tree's sample assets when that tree has been built.
rm -rf "$tree/seeds"
sample=()
if [ -d build/sample-assets ]; then sample=(build/sample-assets); fi
python3 fuzz/make_seeds.py "$tree/seeds" "${sample[@]}"

dictionary_of() {
  case "$1" in
    unpack|tools_package) echo package ;;
    sprite_bytes|converted_bin|tools_convert|glyph_sheets) echo png ;;
    quadcam_comb) echo frames ;;
    *) echo floats ;;
  esac
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(unpack params config sprite_bytes converted_bin overlay_paste glyph_sheets mesh
           tools_package tools_convert quadcam_comb)
fi

# The runtime is a shared library that the harness does not load first (see
# fuzz/flags.cmake), hence no link-order check. Leaks are left to the ASan
# test tree: the renderer keeps its scene and
# the image codec its caches for the life of the process by design.
export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The harnesses write their input to a file for every execution (the
# readers take paths): a memory-backed scratch folder keeps that from
# dominating, and it is removed when the run ends.
scratch_base=/dev/shm
if [ ! -w "$scratch_base" ]; then scratch_base="$root/$tree"; fi
export TMPDIR
TMPDIR=$(mktemp -d "$scratch_base/avm-fuzz-run.XXXXXX")
trap 'rm -rf "$TMPDIR"' EXIT
failed=()
printf '%-16s %12s %10s %8s %8s %s\n' target executions exec/s cov ft result
for target in "${targets[@]}"; do
  program="$tree/bin/fuzz-${target//_/-}"
  corpus="$tree/corpus/$target"
  findings="$tree/findings/$target"
  log="$tree/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$tree/logs" "$tree/seeds/$target"
  status=0
  "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -dict="fuzz/dict/$(dictionary_of "$target").dict" -artifact_prefix="$findings/" \
    -close_fd_mask=3 -print_final_stats=1 "$corpus" "$tree/seeds/$target" > "$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  ft=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  result=ok
  if [ "$status" -ne 0 ] || compgen -G "$findings/*" > /dev/null; then
    result="FINDING (see $log, inputs in $findings/)"
    failed+=("$target")
  fi
  printf '%-16s %12s %10s %8s %8s %s\n' "$target" "${executions:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
echo "fuzz: done in $(( $(date +%s) - start )) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  for target in "${failed[@]}"; do
    grep -m 12 -E 'ERROR|fuzz target|SUMMARY|#[0-9] ' "$tree/logs/$target.log" >&2 || true
    # The findings folder is gone with the machine that ran CI: small inputs
    # are printed whole, so that any run's finding can be made a regression.
    for input in "$tree/findings/$target"/*; do
      [ -f "$input" ] || continue
      if [ "$(stat -c %s "$input")" -le 16384 ]; then
        echo "fuzz: $target input $(basename "$input"), base64 (decode with base64 -d):" >&2
        base64 -w 76 "$input" >&2
      else
        echo "fuzz: $target input $(basename "$input") is over 16 KiB, kept in $input" >&2
      fi
    done
  done
  exit 1
fi
