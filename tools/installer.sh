#!/usr/bin/env bash
# Builds the setup program with NSIS from a Windows build (the 32-bit one,
# whose programs run on every Windows from XP SP3 on):
#
#   tools/installer.sh [BUILD_DIR [OUT_DIR]]     (default build/win32, BUILD_DIR/installer)
#
# writes OUT_DIR/marlet-tovrin-2.01-setup.exe and prints "installer: PATH".
# The setup program carries what the top of the release zip carries: the
# two programs, the read-me files and the sample files (the release command,
# tools/release.sh, checks the programs' imports through tools/package.sh).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
out=${2:-$build/installer}
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$build/marlet/marlet.exe" "$build/tovrin/tovrin.exe" "$stage/"
bash "$repo/tools/package/stage_texts.sh" "$stage"
setup="$out/marlet-tovrin-2.01-setup.exe"
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DREPO="$repo" -DOUTFILE="$setup" "$repo/tools/package/setup.nsi"
rm -rf "$stage"
echo "installer: $setup"
