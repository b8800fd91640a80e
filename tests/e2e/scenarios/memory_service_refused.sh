# An infected program that refuses termination, with a service of its name
# that refuses the stop control. NT 5.x: the stop fails, the service's keys go
# all the same, and the found-in-memory question (style 65: OK and Cancel,
# information picture) comes; Cancel ends the program without a restart and
# nothing is removed (neither termination succeeded). NT 6 and later: no
# service step, so no question and the keys stay; the program ends as well.
MODES="winxp win10"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/memory.sh"

QUESTION='W32/Drovak.Trojan found in memory! registry entries created by the worm are removed. You must restart the computer and run this program to continue scanning.'$'\n\n''Restart the computer now?'

setup() {
    make_runnable 'run/R0.EXE' 84 && make_control_set_keys R0 && make_service R0 refuse &&
        start_sample 'D:\run\R0.EXE' guarded
}

scenario() {
    check "SCAN clicked" drv click IDC_SCAN
    if [ "$MODE" = winxp ]; then
        check "found-in-memory question" same "$(drv prompt 'Cordafix Ver 1.0' 60)" \
            "caption=Cordafix Ver 1.0"$'\n'"text=$QUESTION"$'\n'"buttons=IDC_PROMPT_OK IDC_PROMPT_CANCEL"
        check "keys removed before the question" same "$(control_set_keys R0)" ""
        screenshot
        check "Cancel" drv answer-prompt 'Cordafix Ver 1.0' IDC_PROMPT_CANCEL
        check "program ended with status 0" ended_with 0 20
    else
        check "program ended with status 0 without a question" ended_with 0 60
        check "keys kept" same "$(control_set_keys R0)" $'ControlSet001\nControlSet002'
    fi
    check "service still running" same "$(service_state R0)" RUNNING
    check "no restart: the sample still runs" drv running R0.EXE
    check "file kept" test -f "$DRIVE_D/run/R0.EXE"
}
