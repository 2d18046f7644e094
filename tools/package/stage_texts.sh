#!/usr/bin/env bash
# Writes the text files of a release into DEST: the read-me files in Windows
# form (CR LF line ends; the Japanese one in UTF-8 with a byte-order mark so
# that every Notepad opens it right) and the sample tovrin.ini and
# marlet.txt as they are. The release zip (tools/package.sh) and the setup
# program (tools/installer.sh) both carry them.
#
#   tools/package/stage_texts.sh DEST
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
dest=$1
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }
crlf "$repo/tools/package/README-en.txt" > "$dest/README-en.txt"
{ printf '\xef\xbb\xbf'; crlf "$repo/tools/package/README-ja.txt"; } > "$dest/README-ja.txt"
cp "$repo/marlet/sample/marlet.txt" "$dest/marlet.txt"
cp "$repo/marlet/sample/tovrin.ini" "$dest/tovrin.ini"
