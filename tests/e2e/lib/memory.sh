# Shared pieces of the memory_* scenarios: runnable samples started in the
# test prefix, a service registered under a sample's name, and a watch on the
# log list of a program that ends by itself after the memory pass.
#
#   make_runnable RELPATH RECORD    D:\RELPATH: the build's sleeper.exe padded to match RECORD
#   start_sample WINPATH [GUARDED]  starts it (GUARDED=guarded: others cannot terminate it);
#                                   SAMPLE_PID is the host process to watch (unguarded only)
#   start_padding N                 N more sleeping processes, listed after the program
#   make_service NAME [ARGS]        registers and starts test_service.exe ARGS as NAME
#   make_control_set_keys NAME      ControlSet001/002 keys of NAME with Enum and Security
#   service_state NAME              RUNNING, STOPPED, ... as the service manager reports it
#   key_exists PATH                 HKLM\PATH exists
#   control_set_keys NAME           the numbered control sets that still hold NAME's key
#   watch_list                      has every line the program adds recorded from inside it
#   watched_lines                   waits for the watch to end and prints the recorded lines
#   ended_with STATUS [SECONDS]     the program ended by itself with exit status STATUS

CONFIRM_LINE='System Memory    W32/Drovak.Trojan removed'

make_runnable() {
    need_samples || return 1
    mkdir -p "$(dirname "$DRIVE_D/$1")"
    "$MAKE_SAMPLES" --runnable "$BUILD/sleeper.exe" --record "$2" --out "$DRIVE_D/$1" >/dev/null
}

start_sample() {
    if [ "${2:-}" = guarded ]; then
        # To a file: the started program inherits the output and keeps it open.
        wine_run "$PREFIX" 60 'C:\tests\run_guarded.exe' "$1" 190 >"$WORK/guarded.out" 2>&1
        grep -q '^STARTED' "$WORK/guarded.out" || { echo "  $1 not started"; return 1; }
    else
        wine_start "$PREFIX" 200 "$1" 190
        SAMPLE_PID=$WINE_PID
    fi
    sleep 1  # until it runs its program
}

start_padding() {
    local i
    for i in $(seq "$1"); do
        wine_start "$PREFIX" 200 'C:\tests\sleeper.exe' 190
    done
    # Until all of them run: one that starts late is listed too late to
    # lengthen the pass (seen on a loaded machine).
    for i in $(seq 100); do
        [ "$(drv running sleeper.exe)" -ge "$1" ] 2>/dev/null && return 0
        sleep 0.2
    done
    echo "  the padding processes did not start"
    return 1
}

make_service() {
    local name=$1
    shift
    in_prefix sc create "$name" binpath= "C:\\tests\\test_service.exe $*" >/dev/null &&
        in_prefix sc start "$name" >/dev/null || return 1
    local i
    for i in $(seq 50); do
        [ "$(service_state "$name")" = RUNNING ] && return 0
        sleep 0.2
    done
    echo "  service $name did not start"
    return 1
}

make_control_set_keys() {
    local set key
    for set in ControlSet001 ControlSet002; do
        for key in Enum Security; do
            in_prefix reg add "HKLM\\SYSTEM\\$set\\Services\\$1\\$key" /f >/dev/null || return 1
        done
    done
}

service_state() { in_prefix sc query "$1" | sed -n 's/^ *STATE *: *[0-9]* *//p'; }
key_exists() { in_prefix reg query "HKLM\\$1" >/dev/null 2>&1; }
# control_set_keys NAME: which of the numbered control sets still hold NAME's key.
control_set_keys() {
    local set
    for set in ControlSet001 ControlSet002; do
        key_exists "SYSTEM\\$set\\Services\\$1" && echo "$set"
    done
}

watch_list() {
    rm -f "$PREFIX/drive_c/tests/hooked_lines.txt"
    wine_start "$PREFIX" 150 'C:\tests\e2e_driver.exe' hook-list 140 >"$WORK/lines"
    WATCH_PID=$WINE_PID
    local i
    for i in $(seq 100); do grep -q '^WATCHING' "$WORK/lines" 2>/dev/null && return 0; sleep 0.1; done
    echo "  the log list is not watched"
    return 1
}

# Called inside $(...), where the watcher is no child to wait for: poll until
# it has ended (it ends with the main window).
watched_lines() {
    local i
    for i in $(seq 150); do kill -0 "$WATCH_PID" 2>/dev/null || break; sleep 0.1; done
    cat "$PREFIX/drive_c/tests/hooked_lines.txt" 2>/dev/null
}

ended_with() { program_ended "${2:-60}" && same "$PROGRAM_STATUS" "$1"; }
