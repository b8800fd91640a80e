#!/usr/bin/env bash
# Builds the Windows program (build/win32/cordafix.exe, cross-compiled) and the
# native test build (build/native), which also runs the Wine tests of the first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

source tools/cross-build.sh
cross_build build/win32 win32

# The Wine tests run the 32-bit build; where this machine cannot start 32-bit
# programs, a 64-bit build of the same sources under wine64 (wine-arch.sh).
source tools/wine-arch.sh
wine_arch=$(wine_test_arch)
wine_dir="$PWD/build/win32"
if [ "$wine_arch" = win64 ]; then
  echo "build.sh: this machine cannot start 32-bit programs; the Wine tests run a 64-bit build under wine64"
  cross_build build/win64 win64
  wine_dir="$PWD/build/win64"
fi

cmake -S . -B build/native -DCORDAFIX_WIN32_DIR="$PWD/build/win32" \
      -DCORDAFIX_WINE_DIR="$wine_dir" -DCORDAFIX_WINE_ARCH="$wine_arch" >/dev/null
cmake --build build/native -j"$jobs"
