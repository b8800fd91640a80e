# A running infected program. On NT the memory pass terminates it, removes its
# file with the two lines and ends the program right after the pass (status
# 0, no walk of the drives, no statistics; no question, because under Wine
# the second termination succeeds and no service step follows). On the 9x
# family the pass cannot name the file (Wine's tool-help gives only its name),
# so the walk finds it and has it terminated by that name before deleting it.
MODES="win98 nt40 winxp win10"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/memory.sh"

setup() {
    make_runnable 'run/R0.EXE' 84 && make_sample 'other/later.exe' 5 && start_sample 'D:\run\R0.EXE'
}

sample_ended() {
    local i
    for i in $(seq 50); do kill -0 "$SAMPLE_PID" 2>/dev/null || return 0; sleep 0.2; done
    echo "  the sample still runs"
    return 1
}

scenario() {
    if [ "$MODE" = win98 ]; then
        scan_to_end "terminated by name during the walk, then removed" \
            "$(removed_line other/later.exe)"$'\n'"$(removed_line run/R0.EXE)"$'\n'"$(statistics "$(count_files)" 2 2)"
        check "sample ended" sample_ended
        check "program still running" drv wait-window 5
        return
    fi
    start_padding 4   # listed after the program: the pass goes on long enough to be watched
    check "log list watched" watch_list
    check "SCAN clicked" drv click IDC_SCAN
    check "program ended with status 0 after the pass" ended_with 0 60
    check "two lines" same "$(watched_lines)" "$CONFIRM_LINE"$'\n'"D:\\run\\R0.EXE     W32/Drovak.Trojan removed"
    check "sample ended" sample_ended
    check "sample's file removed" test ! -e "$DRIVE_D/run/R0.EXE"
    check "no walk: the file on D: is still there" test -f "$DRIVE_D/other/later.exe"
}
