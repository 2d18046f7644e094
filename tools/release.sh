#!/usr/bin/env bash
# The release command: builds both Windows builds, then writes the release
# zip (tools/package.sh: the 32-bit pair at its top, the 64-bit pair in x64/)
# and the setup program (tools/installer.sh: the 32-bit pair) into one
# folder, and prints "release: PATH" for each.
#
#   bash tools/release.sh [OUT_DIR]      (default build/release)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash tools/install_deps.sh
jobs=$(nproc)
out=${1:-$repo/build/release}
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$jobs" --target marlet tovrin >/dev/null
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j"$jobs" --target marlet tovrin >/dev/null
bash tools/package.sh build/win32 build/win >/dev/null
bash tools/installer.sh build/win32 >/dev/null
mkdir -p "$out"
out=$(cd "$out" && pwd)
for file in build/win32/package/marlet-tovrin-2.01.zip build/win32/installer/marlet-tovrin-2.01-setup.exe; do
  cp "$file" "$out/"
  echo "release: $out/$(basename "$file")"
done
