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
# With a certificate in the environment (tools/package/sign.sh), the setup
# program and the uninstaller in it are signed.
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
nsis=(makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DREPO="$repo")
if [ -n "${VORN_SIGN_PFX:-}" ]; then
  # Signed: the uninstaller inside too (tools/package/sign.sh; see setup.nsi).
  sign="bash $repo/tools/package/sign.sh"
  IFS=' ' read -r major minor <<<"$(makensis -VERSION | sed -n 's/^v\([0-9]*\)\.\([0-9]*\).*/\1 \2/p')"
  if [ $((10#${major:-0} * 100 + 10#${minor:-0})) -ge 308 ]; then
    nsis+=(-DSIGN="$sign" -DUSE_UNINSTFINALIZE)
  else
    # makensis before 3.08: let a first build write the uninstaller out (under
    # Wine), sign it, and build again with that file.
    "${nsis[@]}" -DOUTFILE="$stage/writer.exe" -DWRITE_UNINSTALLER="$(winepath -w "$stage/uninstall.exe")" \
      "$repo/tools/package/setup.nsi"
    WINEDEBUG=-all wine "$stage/writer.exe" /S
    bash "$repo/tools/package/sign.sh" "$stage/uninstall.exe"
    nsis+=(-DSIGNED_UNINSTALLER="$stage/uninstall.exe")
  fi
fi
"${nsis[@]}" -DOUTFILE="$setup" "$repo/tools/package/setup.nsi"
bash "$repo/tools/package/sign.sh" "$setup"
rm -rf "$stage"
echo "installer: $setup"
