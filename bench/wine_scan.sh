#!/usr/bin/env bash
# One whole scan by the real program under Wine, timed from the SCAN press to
# OK: a fresh prefix (Z: removed) whose D: drive is the corpus. Run it inside
# xvfb-run. The program deletes what it finds, so the corpus loses its samples.
#   wine_scan.sh CORDAFIX_EXE TIMER_EXE CORPUS WORKDIR [MODE]
# Prints the timer's line "files=N seconds=S infected=I".
# With --probe first, the same prefix and drives walked by the spec-floor
# probe (bench/spec_floor_probe.cpp) instead, over C: and D:, in the window
# made from CORDAFIX_EXE's resources; prints the probe's line.
#   wine_scan.sh --probe PROBE_EXE CORDAFIX_EXE CORPUS WORKDIR [MODE]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/wine/lib.sh"

if [ "${1:-}" = --probe ]; then
    probe=${2:?usage: wine_scan.sh --probe PROBE_EXE CORDAFIX_EXE CORPUS WORKDIR [MODE]}
    exe=${3:?} corpus=${4:?} work=${5:?} mode=${6:-winxp}
    template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
    prefix="$work/prefix"
    trap 'wine_stop "$prefix"' EXIT
    wine_template_prefix "$template" || { echo "wine_scan.sh: no template prefix" >&2; exit 1; }
    wine_new_prefix "$template" "$prefix" "$mode" || exit 1
    wine_map_drive "$prefix" d "$corpus" || exit 1
    mkdir -p "$prefix/drive_c/bench" && cp "$probe" "$prefix/drive_c/bench/spec_floor_probe.exe" &&
        cp "$exe" "$prefix/drive_c/bench/cordafix.exe" || exit 1
    wine_persist "$prefix" 120
    wine_run "$prefix" 900 'C:\bench\spec_floor_probe.exe' 'C:\bench\cordafix.exe' 'C:\' 'D:\' | tr -d '\r' | grep 'files='
    exit "${PIPESTATUS[0]}"
fi

exe=${1:?usage: wine_scan.sh CORDAFIX_EXE TIMER_EXE CORPUS WORKDIR [MODE]}
timer=${2:?} corpus=${3:?} work=${4:?} mode=${5:-winxp}
template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
prefix="$work/prefix"

cleanup() { wine_stop "$prefix"; }
trap cleanup EXIT

wine_template_prefix "$template" || { echo "wine_scan.sh: no template prefix" >&2; exit 1; }
wine_new_prefix "$template" "$prefix" "$mode" || exit 1
wine_map_drive "$prefix" d "$corpus" || exit 1
mkdir -p "$prefix/drive_c/bench" &&
    cp "$exe" "$prefix/drive_c/bench/cordafix.exe" &&
    cp "$timer" "$prefix/drive_c/bench/wine_scan_timer.exe" || exit 1
wine_persist "$prefix" 120

out="$work/timer.txt"
wine_run "$prefix" 600 'C:\bench\cordafix.exe' &
program_pid=$!
wine_run "$prefix" 600 'C:\bench\wine_scan_timer.exe' 500 >"$out" &
timer_pid=$!
# A program that ends before the timer has its figures (say it could not
# show its window) ends the wait at once instead of the timer's patience.
wait -n "$program_pid" "$timer_pid"
if ! grep -q 'files=' "$out"; then
    sleep 2
    grep -q 'files=' "$out" || wine_stop "$prefix"
fi
wait "$timer_pid"
status=$?
# OK has been pressed; a program still up after that (a question left open)
# goes with its prefix.
for _ in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.2
done
wine_stop "$prefix"
wait "$program_pid"
tr -d '\r' <"$out"
grep -q 'files=' "$out" || { echo "wine_scan.sh: no figures from the program" >&2; exit 1; }
exit "$status"
