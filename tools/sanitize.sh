#!/usr/bin/env bash
# The native tests again, built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer (build/native-asan): every unit and contract test,
# and every fuzz corpus input replayed. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/native-asan

CC=clang CXX=clang++ cmake -S . -B "$build" -DCORDAFIX_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900
