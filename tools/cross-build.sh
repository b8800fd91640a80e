# The cross builds of the Windows programs with MinGW-w64. Source this file.
#
#   cross_build DIR ARCH [TARGET...]   configures DIR (Release) and builds the
#                                      targets, all by default; ARCH win32 is
#                                      the program's own 32-bit build, win64
#                                      the copy the Wine tests run where
#                                      32-bit programs cannot start
#   cross_compiler ARCH                prints the MinGW C++ compiler of ARCH
_cross_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

cross_compiler() {
    if [ "$1" = win64 ]; then echo x86_64-w64-mingw32-g++; else echo i686-w64-mingw32-g++; fi
}

cross_build() {
    local dir=$1 arch=$2 toolchain=mingw-i686.cmake target
    shift 2
    [ "$arch" = win64 ] && toolchain=mingw-x86_64.cmake
    local options=(-DCMAKE_BUILD_TYPE=Release) targets=()
    # The toolchain is fixed when a build folder is made; it is not given again.
    [ -f "$dir/CMakeCache.txt" ] || options+=(-DCMAKE_TOOLCHAIN_FILE="$_cross_root/cmake/$toolchain")
    for target in "$@"; do targets+=(--target "$target"); done
    cmake -S "$_cross_root" -B "$dir" "${options[@]}" >/dev/null ||
        { echo "cross-build.sh: $dir could not be configured" >&2; return 1; }
    cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}
