#!/usr/bin/env bash
# The main job: builds the Windows programs and shows them at work under Wine
# against the SQL*Plus stand-in, on a virtual display when there is none.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash tools/install_deps.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$(nproc)"
python3 tools/demo.py build/win
