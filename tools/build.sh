#!/usr/bin/env bash
# Builds the Windows program (build/win32/cordafix.exe, cross-compiled) and the
# native test build (build/native), which also runs the Wine tests of the first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win32 -j"$jobs"

cmake -S . -B build/native -DCORDAFIX_WIN32_DIR="$PWD/build/win32" >/dev/null
cmake --build build/native -j"$jobs"
