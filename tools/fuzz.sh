#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in
# build/fuzz and runs each for a bounded time, two at a time.
#
#   tools/fuzz.sh            30 s per target (what tools/test.sh runs)
#   tools/fuzz.sh 600        a long run
#   tools/fuzz.sh 600 issue_command template_reader
#
# Each run starts from a copy of the seed corpus in tests/fuzz/corpus/<target>
# in a scratch directory, so the repository is never written. A crash, leak,
# sanitizer report or failed property check makes the script exit non-zero;
# the failing inputs are kept in build/fuzz/artifacts/<target>/ and can be
# replayed with build/fuzz/tests/fuzz/fuzz_<target> <file>.
# FUZZ_BUILD_DIR=<dir> builds and runs elsewhere than build/fuzz;
# FUZZ_CORPUS_OUT=<dir> keeps the grown corpora in <dir>/<target>/.
# FUZZ_SEED=<n> fixes libFuzzer's random seed (the test command does, so that
# a run explores the same inputs each time; a long run explores anew).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

seconds=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(statement_text template_reader issue_command sqlplus_lines)
fi
case "$seconds" in
  ''|*[!0-9]*) echo "usage: tools/fuzz.sh [seconds] [target...]" >&2; exit 2 ;;
esac

build=${FUZZ_BUILD_DIR:-build/fuzz}  # another build directory may be given
echo "== fuzz build (clang, ASan, UBSan) in $build"
CC=clang CXX=clang++ cmake -S . -B "$build" -DVORN_FUZZ=ON -DVORN_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "fuzz_$t"); done
cmake --build "$build" -j"$(nproc)" "${build_targets[@]}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorn-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Longest input per target: templates need room for pieces past 500 units,
# and lines need room past SQL*Plus's 2,499 bytes.
max_len() {
  case "$1" in
    template_reader|sqlplus_lines) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

run_one() {
  local t=$1
  local dir="$scratch/$t"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp tests/fuzz/corpus/"$t"/* "$dir/corpus/"
  local options=()
  if [ -f "tests/fuzz/$t.dict" ]; then options=(-dict="tests/fuzz/$t.dict"); fi
  if [ -n "${FUZZ_SEED:-}" ]; then options+=(-seed="$FUZZ_SEED"); fi
  local rc=0
  "$build/tests/fuzz/fuzz_$t" "$dir/corpus" "${options[@]}" \
    -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1 || rc=$?
  echo "$rc" >"$dir/rc"
}

# Two at a time: the machine has two cores.
pending=("${targets[@]}")
running=0
for t in "${pending[@]}"; do
  if [ "$running" -ge 2 ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== fuzz_$t for ${seconds} s"
  run_one "$t" &
  running=$((running + 1))
done
wait || true

failed=0
for t in "${targets[@]}"; do
  dir="$scratch/$t"
  if [ -n "${FUZZ_CORPUS_OUT:-}" ]; then
    mkdir -p "$FUZZ_CORPUS_OUT/$t"
    cp "$dir"/corpus/* "$FUZZ_CORPUS_OUT/$t"/
  fi
  rc=$(cat "$dir/rc" 2>/dev/null || echo 1)
  runs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$dir/log" | tail -n 1 || true)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$dir/log" | tail -n 1 || true)
  corpus=$(ls "$dir/corpus" | wc -l)
  if [ "$rc" = 0 ]; then
    echo "fuzz_$t: ok; ${runs:-no runs}s; $cov; corpus $corpus inputs"
  else
    failed=1
    keep="$build/artifacts/$t"
    mkdir -p "$keep"
    cp "$dir"/artifacts/* "$keep"/ 2>/dev/null || true
    cp "$dir/log" "$keep/log"
    echo "fuzz_$t: FAILED (exit $rc); inputs and log kept in $keep" >&2
    grep -v '^    #' "$dir/log" | grep -m1 -A20 -E 'PROPERTY FAILED|ERROR: |runtime error' >&2 ||
      tail -n 30 "$dir/log" >&2
  fi
done
exit "$failed"
