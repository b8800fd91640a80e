#!/usr/bin/env bash
# Runs the fuzz targets (tests/fuzz) one after another, each for a given time
# or number of executions, at the lowest priority, and prints one summary line
# per target. Builds them first (clang, with the sanitizers) in build/fuzz, apart
# from the test command's sanitizer build, so that both can run at once.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]      default 60 seconds, every target
#   FUZZ_RUNS=N tools/fuzz.sh 0 TARGET       stop after N executions instead
#
# Targets: pe_matcher hosts_check rename_script autostart shorten_path perf_data partition_table
#          hive_logs offline_registry
# Inputs with new coverage collect in build/fuzz-work/<target>; an input that
# crashes a target is saved as tests/fuzz/corpus/<target>/regression-crash-*,
# where the test command replays it from then on: fix the fault, keep the input.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pe_matcher hosts_check rename_script autostart shorten_path perf_data partition_table
                                     hive_logs offline_registry)
build=${FUZZ_BUILD:-build/fuzz}

bash tools/install-deps.sh >/dev/null
CC=clang CXX=clang++ cmake -S . -B "$build" -DCORDAFIX_SANITIZE=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null

# The simulated Windows keeps its drives in TMPDIR: memory is faster than disk.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
max_len() {
    case "$1" in
        pe_matcher) echo 32768 ;;   # the smallest detection-table length is 24576
        autostart) echo 20000 ;;    # value names reach 16,383 characters
        perf_data) echo 16384 ;;    # small instances past the 254 read fit in 16 KB
        hive_logs) echo 32768 ;;    # a small hive and its two logs
        offline_registry) echo 65536 ;;  # a small hive
        partition_table) echo 24576 ;;  # a GPT's entries, or a chain of logical partitions
        *) echo 8192 ;;
    esac
}

# Inputs of the autostart target near 17 KB make and free several long names
# each; through AddressSanitizer's default 256 MB quarantine every one of them
# is a fresh page, which made that target five times slower. A 16 MB
# quarantine still holds the last few inputs' memory for use-after-free. The
# performance-data target gains a tenth from it too (a 51,200-byte buffer per input),
# and the offline registry target, which forks for every change it writes,
# forks a fifth of the memory.
asan_options() {
    case "$1" in
        autostart|perf_data|offline_registry) echo "quarantine_size_mb=16" ;;
        *) echo "" ;;
    esac
}

status=0
summary=()
for target in "${targets[@]}"; do
    corpus=tests/fuzz/corpus/$target
    work=build/fuzz-work/$target
    log=build/fuzz-work/$target.log
    mkdir -p "$work"
    limit=(-max_total_time="$seconds")
    [ -n "${FUZZ_RUNS:-}" ] && limit=(-runs="$FUZZ_RUNS")
    echo "== $target" >&2
    if ! ASAN_OPTIONS=$(asan_options "$target") nice -n 19 "$build/fuzz_$target" "${limit[@]}" -max_len="$(max_len "$target")" -timeout=20 \
            -print_final_stats=1 -artifact_prefix="$corpus/regression-" "$work" "$corpus" >"$log" 2>&1; then
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    crashes=$(ls "$corpus" | grep -c '^regression-\(crash\|leak\|timeout\|oom\)-' || true)
    summary+=("$(printf '%-14s executions %-10s seconds %-6s coverage %-5s features %-6s crash inputs %s' \
        "$target" "${runs:-?}" "${time:-?}" "${cov:-?}" "${features:-?}" "$crashes")")
    [ "$status" -eq 0 ] || { tail -40 "$log" >&2; break; }
done
printf '%s\n' "${summary[@]}"
exit "$status"
