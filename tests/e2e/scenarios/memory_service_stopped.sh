# An infected program that refuses termination, with a service of its name
# (the test service) and that service's keys in both numbered control sets:
# the memory pass stops the service (polling while it reports STOP_PENDING),
# removes the keys, has the file removed (which still fails: the program runs
# on, so it is left for the restart) and ends the program without a question.
MODES="winxp"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/memory.sh"

setup() {
    make_runnable 'run/R0.EXE' 84 && make_control_set_keys R0 && make_service R0 stop-ms 2500 &&
        start_sample 'D:\run\R0.EXE' guarded
}

scenario() {
    check "keys in both control sets" same "$(control_set_keys R0)" $'ControlSet001\nControlSet002'
    start_padding 4
    check "log list watched" watch_list
    check "SCAN clicked" drv click IDC_SCAN
    check "program ended with status 0 after the pass" ended_with 0 60
    check "service stopped" same "$(service_state R0)" STOPPED
    check "keys removed from both control sets" same "$(control_set_keys R0)" ""
    check "lines" same "$(watched_lines)" \
        "$CONFIRM_LINE"$'\n'"D:\\run\\R0.EXE     W32/Drovak.Trojan Unable to remove"
    check "file left for the restart" test -f "$DRIVE_D/run/R0.EXE"
    wine_stop "$PREFIX"   # writes the registry to disk
    check "deletion registered" grep -qi 'run\\\\R0.EXE' "$PREFIX/system.reg"
}
