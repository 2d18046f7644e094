#!/usr/bin/env bash
# Builds the MSI package (tools/package/marlet-tovrin.wxs) from a Windows
# build's 32-bit pair, with msitools' wixl, then sets what wixl 0.101 takes
# from the source but leaves out of the tables, with msibuild, and reads the
# tables back to check them:
#   - tovrin's shortcut key Ctrl+Alt+Q (Shortcut.Hotkey) and the shortcuts'
#     descriptions;
#   - the sample files' components: Permanent (never removed) and
#     NeverOverwrite (never written where the file exists);
#   - the major upgrade also over a package of the same version (a rebuilt
#     package has a new ProductCode).
# Signs the package last when a certificate is given (tools/package/sign.sh).
#
#   tools/package/msi.sh [BUILD_DIR [OUT_DIR [VERSION]]]
#       (default build/win32, BUILD_DIR/msi, 2.1.0: Windows Installer's form of 2.01)
#
# writes OUT_DIR/marlet-tovrin-2.01.msi and prints "msi: PATH".
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
out=${2:-$build/msi}
version=${3:-2.1.0}
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$build/marlet/marlet.exe" "$build/tovrin/tovrin.exe" "$repo/common/res/vorn3.ico" "$stage/"
bash "$repo/tools/package/stage_texts.sh" "$stage"
msi="$out/marlet-tovrin-2.01.msi"
rm -f "$msi"
# wixl takes the files by names relative to where it runs.
(cd "$stage" && wixl -a x86 -D Version="$version" -o "$msi" "$repo/tools/package/marlet-tovrin.wxs")

ctrl_alt_q=$((0x0651))        # HOTKEYF_CONTROL|HOTKEYF_ALT in the high byte, 'Q' in the low
permanent_never_overwrite=$((0x10 | 0x80))
include_maximum=$((0x200))
msibuild "$msi" -q "UPDATE Shortcut SET Hotkey = $ctrl_alt_q WHERE Shortcut = 'tovrin'"
msibuild "$msi" -q "UPDATE Shortcut SET Description = 'Sends the SQL text on the clipboard to SQL*Plus' WHERE Shortcut = 'tovrin'"
msibuild "$msi" -q "UPDATE Shortcut SET Description = 'SQL templates for SQL*Plus' WHERE Shortcut = 'marlet'"
msibuild "$msi" -q "UPDATE Component SET Attributes = $permanent_never_overwrite WHERE Directory_ = 'VORN3'"
fail() { echo "msi: $*" >&2; exit 1; }
table() { msiinfo export "$msi" "$1" | tail -n +4; }
# Attributes is part of the Upgrade table's key: the row is replaced.
code=$(table Upgrade | awk -F'\t' -v m="$version" '$3 == m {print $1}')
[ -n "$code" ] || fail "wixl wrote no upgrade row up to $version"
msibuild "$msi" -q "DELETE FROM Upgrade WHERE VersionMax = '$version'"
msibuild "$msi" -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$code', '$version', $((1 | include_maximum)), 'WIX_UPGRADE_DETECTED')"

# The tables as Windows Installer will read them.
table Shortcut | awk -F'\t' -v k="$ctrl_alt_q" '$1 == "tovrin" && $8 == k {f = 1} END {exit !f}' \
  || fail "tovrin's shortcut has no key"
[ "$(table Component | awk -F'\t' -v a="$permanent_never_overwrite" '$3 == "VORN3" && $4 == a && $6 != ""' | wc -l)" = 2 ] \
  || fail "the sample files' components are not Permanent and NeverOverwrite, each keyed by its file"
table Upgrade | awk -F'\t' -v m="$version" -v a=$((1 | include_maximum)) '$3 == m && $5 == a {f = 1} END {exit !f}' \
  || fail "no major upgrade up to version $version"

bash "$repo/tools/package/sign.sh" "$msi"
rm -rf "$stage"
echo "msi: $msi"
