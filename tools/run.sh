#!/usr/bin/env bash
# The main job: builds the Windows programs (the 64-bit pair in build/win, the
# 32-bit pair for every Windows from XP SP3 on in build/win32) and shows the
# 32-bit pair, the one users get, at work under 32-bit Wine against the
# SQL*Plus stand-in, on a virtual display when there is none.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash tools/install_deps.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$(nproc)"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j"$(nproc)"
python3 tools/demo.py build/win32
