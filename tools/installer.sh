#!/usr/bin/env bash
# Builds the setup program from a Windows build with NSIS:
#   tools/installer.sh [BUILD_DIR] [OUT_DIR]
# writes OUT_DIR/marlet-tovrin-2.01-setup.exe (OUT_DIR: BUILD_DIR/installer)
# and prints "installer: PATH". The setup program carries what the release
# zip carries: package.sh stages it (imports checked, read-me files in
# Windows form), here on a private copy of the two programs so that it never
# meets another run's output.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build/win}" && pwd)
out=$(mkdir -p "${2:-$build/installer}" && cd "${2:-$build/installer}" && pwd)
name=marlet-tovrin-2.01
work="$out/work"
rm -rf "$work"
mkdir -p "$work/marlet" "$work/tovrin"
cp "$build/marlet/marlet.exe" "$work/marlet/"
cp "$build/tovrin/tovrin.exe" "$work/tovrin/"
bash "$repo/tools/package.sh" "$work" >/dev/null
setup="$out/$name-setup.exe"
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$work/package/$name" -DREPO="$repo" -DOUTFILE="$setup" \
  "$repo/tools/package/setup.nsi"
rm -rf "$work"
echo "installer: $setup"
