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
#     package has a new ProductCode);
#   - PROTECTVORN3=1 (only administrators may change C:\vorn3): the folder's
#     permissions in the MsiLockPermissionsEx table, with that condition,
#     and the two custom actions after InstallFiles that run icacls as
#     LocalSystem: the owner Administrators for the folder and all in it,
#     and the files that were there already made to take the folder's
#     permissions (deferred, no impersonation: 34 | 0x400 | 0x800).
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
permanent=$((0x10))
permanent_never_overwrite=$((0x10 | 0x80))
include_maximum=$((0x200))
exe_in_script_as_system=$((34 | 0x400 | 0x800))
protect='PROTECTVORN3 = "1"'
vorn3_sddl='D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)'
icacls='"[SystemFolder]icacls.exe"'
msibuild "$msi" -q "UPDATE Shortcut SET Hotkey = $ctrl_alt_q WHERE Shortcut = 'tovrin'"
msibuild "$msi" -q "UPDATE Shortcut SET Description = 'Sends the SQL text on the clipboard to SQL*Plus' WHERE Shortcut = 'tovrin'"
msibuild "$msi" -q "UPDATE Shortcut SET Description = 'SQL templates for SQL*Plus' WHERE Shortcut = 'marlet'"
msibuild "$msi" -q "UPDATE Component SET Attributes = $permanent_never_overwrite WHERE Directory_ = 'VORN3' AND KeyPath <> ''"
msibuild "$msi" -q "UPDATE Component SET Attributes = $permanent WHERE Component = 'Vorn3Folder'"
fail() { echo "msi: $*" >&2; exit 1; }
table() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }

msibuild "$msi" -q "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL, \`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL, \`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
msibuild "$msi" -q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`, \`Condition\`) VALUES ('Vorn3Folder', 'VORN3', 'CreateFolder', '$vorn3_sddl', '$protect')"
if ! msiinfo tables "$msi" | grep -qx CustomAction; then
  msibuild "$msi" -q "CREATE TABLE \`CustomAction\` (\`Action\` CHAR(72) NOT NULL, \`Type\` INT NOT NULL, \`Source\` CHAR(72), \`Target\` CHAR(255), \`ExtendedType\` LONG PRIMARY KEY \`Action\`)"
fi
msibuild "$msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('Vorn3Owner', $exe_in_script_as_system, 'SystemFolder', '$icacls C:\\vorn3 /setowner *S-1-5-32-544 /T /C /Q')"
msibuild "$msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('Vorn3Inherit', $exe_in_script_as_system, 'SystemFolder', '$icacls C:\\vorn3\\* /reset /T /C /Q')"
files=$(table InstallExecuteSequence | awk -F'\t' '$1 == "InstallFiles" {print $3}')
[ -n "$files" ] || fail "no InstallFiles action"
for step in "Vorn3Owner 1" "Vorn3Inherit 2"; do
  read -r action offset <<<"$step"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$action', '$protect AND NOT (REMOVE = \"ALL\")', $((files + offset)))"
done
secure=$(table Property | awk -F'\t' '$1 == "SecureCustomProperties" {print $2}')
msibuild "$msi" -q "DELETE FROM \`Property\` WHERE \`Property\` = 'SecureCustomProperties'"
msibuild "$msi" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', '${secure:+$secure;}PROTECTVORN3')"
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
table Component | awk -F'\t' -v a="$permanent" '$1 == "Vorn3Folder" && $3 == "VORN3" && $4 == a && $6 == "" {f = 1} END {exit !f}' \
  || fail "the folder C:\\vorn3 is not a Permanent component of its own"
table CreateFolder | awk -F'\t' '$1 == "VORN3" && $2 == "Vorn3Folder" {f = 1} END {exit !f}' \
  || fail "C:\\vorn3 is not in the CreateFolder table"
table MsiLockPermissionsEx | awk -F'\t' -v s="$vorn3_sddl" -v c="$protect" \
  '$2 == "VORN3" && $3 == "CreateFolder" && $4 == s && $5 == c {f = 1} END {exit !f}' \
  || fail "no permissions for C:\\vorn3 on PROTECTVORN3"
[ "$(table InstallExecuteSequence | awk -F'\t' -v c="$protect AND NOT (REMOVE = \"ALL\")" -v f="$files" \
     '($1 == "Vorn3Owner" && $3 == f + 1 || $1 == "Vorn3Inherit" && $3 == f + 2) && $2 == c' | wc -l)" = 2 ] \
  || fail "the icacls actions are not right after InstallFiles on PROTECTVORN3"
[ "$(table CustomAction | awk -F'\t' -v t="$exe_in_script_as_system" '$2 == t && $3 == "SystemFolder" && $4 ~ /icacls/' | wc -l)" = 2 ] \
  || fail "the icacls actions are not deferred, as LocalSystem"
table LaunchCondition | grep -q PROTECTVORN3 || fail "no launch condition for PROTECTVORN3"

bash "$repo/tools/package/sign.sh" "$msi"
rm -rf "$stage"
echo "msi: $msi"
