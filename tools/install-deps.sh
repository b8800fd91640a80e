#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is all there.
# Run as root (apt). Safe to run again.
set -euo pipefail

source "$(dirname "$0")/wine-arch.sh"

packages=(cmake make g++ libgtest-dev googletest
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          wine xvfb xauth imagemagick
          libhivex-dev nlohmann-json3-dev ntfs-3g ntfs-3g-dev xz-utils  # cordafix-offline and its tests
          clang libclang-rt-dev)  # the sanitizer build and the fuzz targets
# Where 32-bit programs cannot start, the Wine tests use wine64 and a 64-bit
# test build (see wine-arch.sh).
if [ "$(wine_test_arch)" = win32 ]; then
  packages+=(wine32)
else
  packages+=(wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [[ " ${missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
