#!/usr/bin/env bash
# Makes the release zip from the two Windows builds: the 32-bit programs at
# its top (for every Windows from XP SP3 on), the 64-bit ones in x64/, a
# sample tovrin.ini and marlet.txt, and read-me files.
#
#   tools/package.sh [BUILD_32 [BUILD_64]]     (default build/win32 build/win)
#
# Prints each program's size beside the limit. Fails when a program is not
# of its build's architecture, is larger than 256 KB (its signature, if any,
# not counted: its size is the publisher's certificate chain's, not ours),
# or imports what its oldest Windows lacks (tools/check_imports.py: XP SP3's
# exports for the 32-bit pair, Windows' own DLLs for the 64-bit one).
# The zip is made in BUILD_32/package.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build32=$(cd "${1:-$repo/build/win32}" && pwd)
build64=$(cd "${2:-$repo/build/win}" && pwd)
name=marlet-tovrin-2.01
stage="$build32/package/$name"
limit=$((256 * 1024))
rm -rf "$build32/package"
mkdir -p "$stage/x64"

programs=()
for pair in "$build32:.:pei-i386:x86" "$build64:x64:pei-x86-64:x64"; do
  IFS=: read -r build folder format machine <<<"$pair"
  for exe in marlet/marlet.exe tovrin/tovrin.exe; do
    file="$build/$exe"
    if ! x86_64-w64-mingw32-objdump -f "$file" | grep -q "file format $format"; then
      echo "package: $file is not a $format program" >&2
      exit 1
    fi
    size=$(stat -c %s "$file")
    # The signature is the certificate table, "Security Directory" in the
    # data directories: its size is the entry's second number (hex).
    signature=$(x86_64-w64-mingw32-objdump -p "$file" | awk '/Security Directory/ && !n++ {print $4}')
    size=$((size - 16#${signature:-0}))
    echo "package: $(basename "$exe") ($machine): $size bytes of at most $limit ($((limit - size)) left)"
    if [ "$size" -gt "$limit" ]; then
      echo "package: $file has $size bytes, more than $limit" >&2
      exit 1
    fi
    cp "$file" "$stage/$folder/"
    programs+=("$file")
  done
done
python3 "$repo/tools/check_imports.py" "${programs[@]}"

# The read-me files in Windows form and the sample files.
bash "$repo/tools/package/stage_texts.sh" "$stage"

(cd "$build32/package" && rm -f "$name.zip" && zip -q -r "$name.zip" "$name")
echo "package: $build32/package/$name.zip"
(cd "$build32/package" && unzip -l "$name.zip" | sed -n '4,$p' | head -n -2)
