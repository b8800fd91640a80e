#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is all there.
# Run as root (apt). Safe to run again.
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          wine wine32 xvfb xauth imagemagick)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
