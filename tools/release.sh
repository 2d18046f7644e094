#!/usr/bin/env bash
# The release command: builds both Windows builds, then writes the release
# zip (tools/package.sh: the 32-bit pair at its top, the 64-bit pair in x64/),
# the setup program (tools/installer.sh) and the MSI package
# (tools/package/msi.sh), both with the 32-bit pair, into one folder, and
# prints "release: PATH" for each.
#
#   bash tools/release.sh [OUT_DIR [BUILD_32 BUILD_64]]     (default build/release)
#
# Given the two builds, it takes their programs as they are and builds
# nothing. With a certificate in the environment (VORN_SIGN_PFX,
# VORN_SIGN_PASSWORD, VORN_SIGN_TIMESTAMP: tools/package/sign.sh), the four
# programs, the setup program and its uninstaller and the MSI package are
# signed; without one, the release is unsigned and says so in one line.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$repo/build/release}
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [ $# -ge 3 ]; then
  build32=$(cd "$2" && pwd)
  build64=$(cd "$3" && pwd)
  cd "$repo"
else
  cd "$repo"
  bash tools/install_deps.sh
  jobs=$(nproc)
  cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/win -j"$jobs" --target marlet tovrin >/dev/null
  cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/win32 -j"$jobs" --target marlet tovrin >/dev/null
  build32=$repo/build/win32
  build64=$repo/build/win
fi

# Signed: copies of the programs, laid out as in their builds, are signed
# and everything is made from them (the builds' own files stay unsigned).
work="$out/work"
rm -rf "$work"
if [ -n "${VORN_SIGN_PFX:-}" ]; then
  for pair in "$build32:win32" "$build64:win"; do
    IFS=: read -r build name <<<"$pair"
    for exe in marlet/marlet.exe tovrin/tovrin.exe; do
      mkdir -p "$work/$name/$(dirname "$exe")"
      cp "$build/$exe" "$work/$name/$exe"
      bash tools/package/sign.sh "$work/$name/$exe"
    done
  done
  build32=$work/win32
  build64=$work/win
else
  echo "sign: no certificate given (VORN_SIGN_PFX, see README.md): the release is unsigned"
fi

bash tools/package.sh "$build32" "$build64" >/dev/null
bash tools/installer.sh "$build32" "$work/installer" >/dev/null
bash tools/package/msi.sh "$build32" "$work/msi" >/dev/null
for file in "$build32/package/marlet-tovrin-2.01.zip" "$work/installer/marlet-tovrin-2.01-setup.exe" \
            "$work/msi/marlet-tovrin-2.01.msi"; do
  cp "$file" "$out/"
  echo "release: $out/$(basename "$file")"
done
rm -rf "$work"
