#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# The 32-bit programs run under Debian's 32-bit Wine (wine32:i386 beside
# wine64), which needs i386 as a second package architecture.
set -euo pipefail
packages=(cmake make g++ libgtest-dev libbenchmark-dev python3
          g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          wine wine64 wine32:i386 xvfb xdotool imagemagick x11-utils fonts-ipafont-gothic fonts-wine
          clang libclang-rt-14-dev zip unzip nsis locales
          msitools wixl osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
