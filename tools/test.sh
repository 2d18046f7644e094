#!/usr/bin/env bash
# Builds and runs every test: the native unit tests (plain and with ASan and
# UBSan), then the two Windows builds and their tests under Wine.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash tools/install_deps.sh
jobs=$(nproc)

echo "== native build and unit tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON -DVORN_BENCHMARKS=OFF >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== fuzz targets, 30 s each (tools/fuzz.sh 600 for a long run)"
FUZZ_SEED=1 bash tools/fuzz.sh 30

echo "== Windows builds: 64-bit in build/win, 32-bit (XP SP3 and later) in build/win32"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$jobs"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j"$jobs"

# The 32-bit pair is the one users get: every test runs on it. The 64-bit
# pair gets its import check and the tovrin and marlet send tests
# (VORN_ALL_WINE_TESTS=1 runs all of its tests too).
echo "== 64-bit programs under 64-bit Wine"
if [ "${VORN_ALL_WINE_TESTS:-0}" = 1 ]; then
  ctest --test-dir build/win --output-on-failure -j"$jobs"
else
  ctest --test-dir build/win --output-on-failure -j"$jobs" -R '^(import_check|wine_test_tovrin|wine_test_marlet_send)$'
fi
echo "== 32-bit programs under 32-bit Wine, also reporting Windows 98 and XP; the release zip"
ctest --test-dir build/win32 --output-on-failure -j"$jobs"
