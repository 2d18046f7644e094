#!/usr/bin/env bash
# Benchmarks of marlet and tovrin: builds the benchmark programs (native,
# Release, build/bench-native) and the Windows programs (Release, 64-bit in
# build/win and 32-bit in build/win32), runs every measurement, natively and
# under Wine (the 32-bit programs under 32-bit Wine), and prints one table of
# figures beside their baselines measured in the same run, with the targets
# (tools/bench/bench_table.py says which).
# The programs' own output is kept in build/bench-logs.
#
#   tools/bench.sh        seven runs of each Wine start-up measurement
#   tools/bench.sh 15     more runs (tovrin's latency takes three times as many)
#
# BENCH_NATIVE_DIR=<dir>, BENCH_WIN_DIR=<dir> and BENCH_WIN32_DIR=<dir> build
# elsewhere; the logs then go beside the native build directory.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

runs=${1:-7}
case "$runs" in
  ''|*[!0-9]*|0) echo "usage: tools/bench.sh [runs]" >&2; exit 2 ;;
esac

bash tools/install_deps.sh
native=${BENCH_NATIVE_DIR:-build/bench-native}
win=${BENCH_WIN_DIR:-build/win}
win32=${BENCH_WIN32_DIR:-build/win32}
jobs=$(nproc)

echo "== native Release build of the benchmark programs in $native"
cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DVORN_BENCHMARKS=ON >/dev/null
cmake --build "$native" -j"$jobs" --target bench_statement_text bench_template_reader >/dev/null

echo "== Windows Release build in $win"
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$win" -j"$jobs" --target marlet tovrin sqlplus_standin clipboard_tool window_probe \
  minimal_program minimal_window peak_memory >/dev/null
echo "== 32-bit Windows Release build in $win32"
cmake -S . -B "$win32" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$win32" -j"$jobs" --target marlet tovrin sqlplus_standin clipboard_tool window_probe \
  minimal_program minimal_window >/dev/null

python3 tools/bench/bench_table.py --native "$native" --win "$win" --win32 "$win32" --runs "$runs"
