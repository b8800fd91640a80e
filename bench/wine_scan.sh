#!/usr/bin/env bash
# One whole scan by the real program under Wine, timed from the SCAN press to
# OK: a fresh prefix (Z: removed) whose D: drive is the corpus. Run it inside
# xvfb-run. The program deletes what it finds, so the corpus loses its samples.
#   wine_scan.sh CORDAFIX_EXE TIMER_EXE CORPUS WORKDIR [MODE]
# Prints the timer's line "files=N seconds=S infected=I".
# With --probe first, the same prefix and drives walked by the required-work
# probe (bench/required_work_probe.cpp) instead, over C: and D:, in the window
# made from CORDAFIX_EXE's resources; prints the probe's line.
#   wine_scan.sh --probe PROBE_EXE CORDAFIX_EXE CORPUS WORKDIR [MODE]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/wine/lib.sh"

# prepare WORK MODE CORPUS SOURCE NAME [SOURCE NAME]...: a sealed prefix in
# WORK whose D: is CORPUS, with each SOURCE as C:\bench\NAME; ended at exit.
prepare() {
    local work=$1 mode=$2 corpus=$3 template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
    shift 3
    prefix="$work/prefix"
    trap 'wine_stop "$prefix"' EXIT
    wine_template_prefix "$template" || { echo "wine_scan.sh: no template prefix" >&2; return 1; }
    wine_new_prefix "$template" "$prefix" "$mode" || return 1
    wine_map_drive "$prefix" d "$corpus" || return 1
    mkdir -p "$prefix/drive_c/bench" || return 1
    while [ $# -ge 2 ]; do
        cp "$1" "$prefix/drive_c/bench/$2" || return 1
        shift 2
    done
    wine_persist "$prefix" 120
}

if [ "${1:-}" = --probe ]; then
    probe=${2:?usage: wine_scan.sh --probe PROBE_EXE CORDAFIX_EXE CORPUS WORKDIR [MODE]}
    exe=${3:?} corpus=${4:?} work=${5:?} mode=${6:-winxp}
    prepare "$work" "$mode" "$corpus" "$probe" required_work_probe.exe "$exe" cordafix.exe || exit 1
    wine_text "$prefix" 900 'C:\bench\required_work_probe.exe' 'C:\bench\cordafix.exe' 'C:\' 'D:\' | grep 'files='
    exit "${PIPESTATUS[0]}"
fi

exe=${1:?usage: wine_scan.sh CORDAFIX_EXE TIMER_EXE CORPUS WORKDIR [MODE]}
timer=${2:?} corpus=${3:?} work=${4:?} mode=${5:-winxp}
prepare "$work" "$mode" "$corpus" "$exe" cordafix.exe "$timer" wine_scan_timer.exe || exit 1

out="$work/timer.txt"
wine_start "$prefix" 600 'C:\bench\cordafix.exe'
program_pid=$WINE_PID
wine_start "$prefix" 600 'C:\bench\wine_scan_timer.exe' 500 >"$out"
timer_pid=$WINE_PID
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
