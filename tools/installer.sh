#!/usr/bin/env bash
# Builds the setup program with NSIS from a Windows build (the 32-bit one,
# whose programs run on every Windows from XP SP3 on):
#
#   tools/installer.sh [BUILD_DIR [OUT_DIR [MAKENSIS_OPTION...]]]
#       (default build/win32, BUILD_DIR/installer; further options, such as
#       -DNAME, go to makensis)
#
# writes OUT_DIR/marlet-tovrin-2.01-setup.exe and prints "installer: PATH".
# The setup program carries what the top of the release zip carries: the
# two programs, the read-me files and the sample files (the release command,
# tools/release.sh, checks the programs' imports through tools/package.sh).
# With a certificate in the environment (tools/package/sign.sh), the setup
# program and the uninstaller in it are signed.
#
# It refuses a makensis whose uninstaller stub lacks the fix for
# CVE-2023-37378: before NSIS 3.09, an uninstaller run with administrator
# rights copied itself into a folder of %TEMP% with a predictable name that
# the user's other programs could write, and ran from there. Accepted:
# 3.09 or later, or Debian's 3.08 from 3.08-3+deb12u1 on (the fix taken
# back into Debian 12's package; its makensis names that version).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
out=${2:-$build/installer}
shift $(($# < 2 ? $# : 2))

if ! command -v makensis >/dev/null; then
  echo "installer: makensis not found: NSIS 3.09 or later, or Debian's nsis 3.08-3+deb12u1 or later, is needed" >&2
  exit 1
fi
version=$(makensis -VERSION 2>/dev/null || true)
version=${version#v}
fixed=no
if [[ $version =~ ^([0-9]+)\.([0-9]+) ]]; then
  number=$((10#${BASH_REMATCH[1]} * 100 + 10#${BASH_REMATCH[2]}))
  if [ "$number" -ge 309 ]; then
    fixed=yes
  elif [ "$number" -eq 308 ] && [[ $version == 3.08-* ]] && command -v dpkg >/dev/null &&
       dpkg --compare-versions "$version" ge 3.08-3+deb12u1; then
    fixed=yes
  fi
fi
if [ "$fixed" != yes ]; then
  echo "installer: makensis ${version:-of an unknown version} lacks the fix for CVE-2023-37378 (its uninstaller, run" \
       "with administrator rights, runs from a folder of %TEMP% that other programs of the user can write):" \
       "use NSIS 3.09 or later, or Debian's nsis 3.08-3+deb12u1 or later" >&2
  exit 1
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$build/marlet/marlet.exe" "$build/tovrin/tovrin.exe" "$stage/"
bash "$repo/tools/package/stage_texts.sh" "$stage"
setup="$out/marlet-tovrin-2.01-setup.exe"
rm -f "$setup"
nsis=(makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DREPO="$repo" "$@")
if [ -n "${VORN_SIGN_PFX:-}" ]; then
  # Signed: the uninstaller inside too (tools/package/sign.sh; see setup.nsi).
  nsis+=(-DSIGN="bash $repo/tools/package/sign.sh")
fi
"${nsis[@]}" -DOUTFILE="$setup" "$repo/tools/package/setup.nsi"
bash "$repo/tools/package/sign.sh" "$setup"
rm -rf "$stage"
echo "installer: $setup"
