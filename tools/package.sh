#!/usr/bin/env bash
# Makes the release zip from a Windows build: the two programs, a sample
# tovrin.ini and marlet.txt, and read-me files. Fails when a program imports
# any DLL that is not part of Windows itself.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build/win}" && pwd)
name=marlet-tovrin-2.01
stage="$build/package/$name"
rm -rf "$build/package"
mkdir -p "$stage"

system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|windowscodecs|msvcrt|ucrtbase|imm32|uxtheme|version|shlwapi|api-ms-win-[a-z0-9-]+)\.dll$'
for exe in marlet/marlet.exe tovrin/tovrin.exe; do
  cp "$build/$exe" "$stage/"
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "package: $(basename "$exe") imports $dll, which is not a system DLL" >&2
      exit 1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$build/$exe" | sed -n 's/^\s*DLL Name: //p')
done

# Text files for Windows users: CR LF line ends; the Japanese read-me in
# UTF-8 with a byte-order mark so that every Notepad opens it right.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }
crlf "$repo/tools/package/README-en.txt" > "$stage/README-en.txt"
{ printf '\xef\xbb\xbf'; crlf "$repo/tools/package/README-ja.txt"; } > "$stage/README-ja.txt"
cp "$repo/marlet/sample/marlet.txt" "$stage/marlet.txt"
cp "$repo/marlet/sample/tovrin.ini" "$stage/tovrin.ini"

(cd "$build/package" && rm -f "$name.zip" && zip -q -r "$name.zip" "$name")
echo "package: $build/package/$name.zip"
(cd "$build/package" && unzip -l "$name.zip" | sed -n '4,$p' | head -n -2)
