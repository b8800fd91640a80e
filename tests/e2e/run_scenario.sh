#!/bin/bash
# Runs one end-to-end scenario against the real cordafix.exe under Wine + Xvfb.
#   run_scenario.sh WIN32_BUILD_DIR SCENARIO_FILE MODE [SHOT_DIR]
# MODE is a Windows version mode (win98, nt40, winxp, win10, ...). The
# scenario's screenshot goes to SHOT_DIR (default WIN32_BUILD_DIR/e2e-shots).
# Environment: CORDAFIX_MAKE_SAMPLES (the native make_samples; scenarios that
# make samples need it), CORDAFIX_WINE_TEMPLATE (template prefix folder).
# Prints one "ok"/"FAIL" line per check; exit status 0 only when all passed.
# The scenario format is described in tests/e2e/README.md.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../wine/lib.sh"
source "$here/../../tools/virtual-display.sh"

BUILD=${1:?usage: run_scenario.sh WIN32_BUILD_DIR SCENARIO_FILE MODE [SHOT_DIR]}
SCENARIO_FILE=${2:?usage: run_scenario.sh WIN32_BUILD_DIR SCENARIO_FILE MODE [SHOT_DIR]}
MODE=${3:?usage: run_scenario.sh WIN32_BUILD_DIR SCENARIO_FILE MODE [SHOT_DIR]}
SHOT_DIR=${4:-$BUILD/e2e-shots}
BUILD=$(realpath "$BUILD")
SCENARIO_FILE=$(realpath "$SCENARIO_FILE")
SCENARIO=$(basename "$SCENARIO_FILE" .sh)
for exe in cordafix.exe e2e_driver.exe; do
    [ -f "$BUILD/$exe" ] || { echo "run_scenario.sh: no $BUILD/$exe" >&2; exit 1; }
done
LIMIT=${CORDAFIX_E2E_LIMIT:-240}
if [ -z "${CORDAFIX_E2E_DISPLAY:-}" ]; then
    # The inner run stops itself at LIMIT and cleans up; this is the backstop.
    CORDAFIX_E2E_DISPLAY=1 exec timeout -k 10 $((LIMIT + 60)) "${virtual_display[@]}" bash "$0" "$@"
fi

PROGRAM_PID=
SHOT_TAKEN=0
CHECK_LABEL="$SCENARIO/$MODE"
WATCHDOG=

cleanup() {
    [ -n "$WATCHDOG" ] && kill "$WATCHDOG" 2>/dev/null
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
    wine_test_cleanup
}
trap cleanup EXIT
trap 'echo "FAIL $SCENARIO/$MODE: stopped after $LIMIT s"; exit 124' TERM INT
# The watchdog keeps no output open (CTest waits for every holder of it) and
# takes its sleep along when it is stopped.
bash -c 'sleep "$1" & s=$!; trap "kill $s; exit 0" TERM; wait $s && kill -TERM "$2"' \
    watchdog "$LIMIT" $$ >/dev/null 2>&1 </dev/null &
WATCHDOG=$!

# --- functions for scenarios -------------------------------------------------

# Checks: check, same and fails of tests/wine/lib.sh.

# drv ARGS...: runs the driver; its output without the CRs of the Wine console.
drv() { wine_text "$PREFIX" 90 'C:\tests\e2e_driver.exe' "$@"; }
# in_prefix EXE [ARGS...]: any program in the prefix (a minute at most), output without CRs.
in_prefix() { wine_text "$PREFIX" 60 "$@"; }
# reg ARGS...: Wine's reg command in the prefix.
reg() { wine_reg "$PREFIX" "$@"; }

# layout_except NAME=V,E...: what `drv layout` prints when every control of
# the main window (those of res/resource.h not named IDC_PROMPT_, in its
# order) is visible and enabled but for the ones listed, which have
# visibility V and enabled state E (0 or 1).
layout_except() {
    local names name state spec
    names=$(sed -n 's/^#define \(IDC_[A-Z0-9_]*\) .*/\1/p' "$here/../../res/resource.h" | grep -v '^IDC_PROMPT_')
    for spec in "$@"; do
        grep -qx "${spec%%=*}" <<<"$names" || echo "layout_except: no control ${spec%%=*}"
    done
    while read -r name; do
        state="1 1"
        for spec in "$@"; do
            [ "${spec%%=*}" = "$name" ] && state=$(tr ',' ' ' <<<"${spec#*=}")
        done
        echo "$name $state"
    done <<<"$names"
}

# state_is NAME VISIBLE ENABLED: control NAME of the main window has that state.
state_is() {
    local got
    got=$(drv state "$1" | sed 's/ text=.*//')
    same "$got" "visible=$2 enabled=$3"
}

# make_sample RELPATH RECORD: a matching sample of RECORD at D:\RELPATH.
make_sample() {
    need_samples || return 1
    mkdir -p "$(dirname "$DRIVE_D/$1")"
    "$MAKE_SAMPLES" --record "$2" --out "$DRIVE_D/$1" >/dev/null
}
# make_plain RELPATH SIZE: an ordinary file.
make_plain() {
    need_samples || return 1
    mkdir -p "$(dirname "$DRIVE_D/$1")"
    "$MAKE_SAMPLES" --plain "$2" --out "$DRIVE_D/$1" >/dev/null
}
# make_empty_files RELPATH FOLDERS: FOLDERS folders p0, p1 ... below RELPATH
# on D:, each with 10,000 empty files f00001.txt ... f10000.txt.
make_empty_files() {
    local folder
    for ((folder = 0; folder < $2; folder++)); do
        mkdir -p "$DRIVE_D/$1/p$folder" &&
            (cd "$DRIVE_D/$1/p$folder" && seq -f 'f%05g.txt' 1 10000 | xargs touch) || return 1
    done
}
# detection_name FILE: the name the program reports for FILE ("-" for none).
detection_name() { "$MAKE_SAMPLES" --check "$1" | cut -f2; }
# winpath RELPATH: the Windows path of the file at RELPATH on D:.
winpath() { local p=${1//\//\\}; echo "D:\\$p"; }
# removed_line RELPATH: the line the scan shows once it removed the sample at
# RELPATH on D: (asked while the file is still there).
removed_line() { echo "$(winpath "$1")     $(detection_name "$DRIVE_D/$1") removed"; }

# count_files: the files the scan will count on C: and D: (no links exist).
count_files() {
    local c d=0
    c=$(find "$PREFIX/drive_c" -type f | wc -l)
    [ -d "$DRIVE_D" ] && d=$(find "$DRIVE_D" -type f | wc -l)
    echo $((c + d))
}

# statistics SCANNED INFECTED REMOVED: the block the scan ends with.
statistics() {
    [ "$2" -gt 0 ] && echo " "
    printf 'Scanning statistics\n------------------------------\n'
    printf 'Total files scanned\t\t:  %d\nTotal files infected\t\t:  %d\nTotal files removed\t\t:  %d\n' \
        "$1" "$2" "$3"
}

# scan_to_end WHAT EXPECTED: SCAN clicked, the scan completed, and the log
# list equal to EXPECTED (the check named WHAT).
scan_to_end() {
    check "SCAN clicked" drv click IDC_SCAN
    check "scan completed" drv wait-status "Scanning completed" 150
    check "$1" same "$(drv list)" "$2"
}

# start_program [SECONDS]: starts cordafix.exe in the background (killed
# after SECONDS, default 180).
start_program() {
    wine_start "$PREFIX" "${1:-180}" 'C:\tests\cordafix.exe'
    PROGRAM_PID=$WINE_PID
}

# program_ended [SECONDS]: the program started last has ended; its exit status
# is then in PROGRAM_STATUS.
program_ended() {
    local waited=0 limit=$(( ${1:-10} * 10 ))
    while kill -0 "$PROGRAM_PID" 2>/dev/null; do
        [ $waited -ge $limit ] && { echo "  the program is still running"; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$PROGRAM_PID" 2>/dev/null
    PROGRAM_STATUS=$?
    PROGRAM_PID=
    return 0
}

# screenshot: keeps the display as SHOT_DIR/SCENARIO-MODE.png (once per run).
screenshot() {
    [ "$SHOT_TAKEN" = 1 ] && return 0
    mkdir -p "$SHOT_DIR"
    timeout -k 2 20 import -window root "$SHOT_DIR/$SCENARIO-$MODE.png" 2>/dev/null && SHOT_TAKEN=1
}

# --- the run ---------------------------------------------------------------------

MAKE_SAMPLES=${CORDAFIX_MAKE_SAMPLES:-$BUILD/../native/make_samples}
need_samples() {
    [ -x "$MAKE_SAMPLES" ] && return 0
    echo "run_scenario.sh: no make_samples (set CORDAFIX_MAKE_SAMPLES)" >&2
    return 1
}
setup() { :; }
scenario() { echo "run_scenario.sh: $SCENARIO has no scenario()" >&2; return 1; }
START_PROGRAM=1
source "$SCENARIO_FILE"

wine_test_prefix e2e "$MODE" || exit 1
WORK=$WINE_WORK
PREFIX=$WINE_PREFIX
DRIVE_D="$WORK/drive_d"
wine_map_drive "$PREFIX" d "$DRIVE_D" || exit 1
mkdir -p "$PREFIX/drive_c/tests" && cp "$BUILD"/*.exe "$BUILD"/list_hook.dll "$PREFIX/drive_c/tests/" || exit 1
wine_persist "$PREFIX" 120
# The first process starts the prefix; files the scenario writes come after.
drv windows >/dev/null

setup || { echo "FAIL $SCENARIO/$MODE: setup"; exit 1; }
# What setup put on the drives may not lead the scan off them.
wine_check_drives "$PREFIX" || { echo "FAIL $SCENARIO/$MODE: setup left links that lead off a drive"; exit 1; }
if [ "$START_PROGRAM" = 1 ]; then
    start_program
    check "main window shown" drv wait-window 30
fi
scenario
screenshot
check "prefix still sealed" wine_check_sealed "$PREFIX"
echo "$SCENARIO/$MODE: $CHECKS checks, $FAILURES failed"
[ "$FAILURES" -eq 0 ] && [ "$CHECKS" -gt 0 ]
