# Unattended runs on NT 5 that need a restart to finish (status 3010): an infected
# program in memory (the program ends after the memory pass, as without switches),
# a held file (its deletion waits for the restart, the question is answered NO);
# with /reboot the question is answered YES and the restart starts (1641).
# That restart ends every process of the prefix, a watching driver too, so the
# /reboot run is timed by Wine itself: its exit code is the status's low byte.
MODES="winxp"
START_PROGRAM=0
source "$(dirname "${BASH_SOURCE[0]}")/../lib/memory.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/unattended.sh"
QUESTION='Question: The system has to be restarted to remove the virus completely from your system. Restart now?'

setup() { make_runnable 'run/R0.EXE' 84 && make_sample 'held/busy.exe' 9 && start_sample 'D:\run\R0.EXE'; }

hold_file() {
    wine_start "$PREFIX" 150 'C:\tests\repair_hold.exe' "$1" 140 >"$WORK/hold.out"
    for _ in $(seq 100); do grep -q HELD "$WORK/hold.out" 2>/dev/null && return 0; sleep 0.1; done; return 1
}

reboot_exit_code() {
    wine_run "$PREFIX" 200 'C:\tests\cordafix.exe' /silent /reboot /log=C:\\reboot.log
    echo "exit code $?"
}

scenario() {
    local name total i
    name=$(detection_name "$DRIVE_D/held/busy.exe")
    check "in memory: status 3010" same "$(run_status /silent /log=C:\\memory.log)" "status=3010 windows=0"
    check "in memory: the pass's lines, the result; no walk" same "$(log_lines memory.log | sed 1,4d)" \
        "$CONFIRM_LINE"$'\n'"D:\\run\\R0.EXE     W32/Drovak.Trojan removed"$'\n'"Exit status 3010: Found in memory and removed; restart the computer and run the program again"

    check "held file: held" hold_file 'D:\held\busy.exe'
    total=$(($(count_files) + 1))  # and the log the run makes
    check "held file: status 3010" same "$(run_status /silent /log=C:\\held.log)" "status=3010 windows=0"
    check "held file: its line, the statistics, the question, the result" same "$(log_lines held.log | sed 1,4d)" \
        "D:\\held\\busy.exe     $name Unable to remove"$'\n'"$(statistics "$total" 1 0)"$'\n'"$QUESTION -> NO
Exit status 3010: Everything handled; a restart is needed to finish"
    wine_stop "$PREFIX"  # writes the registry; the next start carries the deletion out
    check "held file: its deletion waits for the restart" grep -qi 'held\\\\busy.exe' "$PREFIX/system.reg"

    make_sample 'held/again.exe' 9 && check "/reboot: another file held" hold_file 'D:\held\again.exe'
    check "/reboot: status 1641" same "$(reboot_exit_code)" "exit code $((1641 & 255))"
    check "/reboot: the question answered YES, the result" same "$(log_lines reboot.log | tail -2)" \
        "$QUESTION -> YES"$'\n'"Exit status 1641: A restart of the computer was started"
    for i in $(seq 100); do [ -e "$DRIVE_D/held/again.exe" ] && sleep 0.1; done  # the restart takes a moment
    check "/reboot: the restart removed the file" test ! -e "$DRIVE_D/held/again.exe"
}
