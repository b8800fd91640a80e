# A sample that another program holds open cannot be deleted: the line says
# so, the deletion is left for the restart, and the scan ends with the
# restart question, answered NO here so that nothing restarts.
MODES="win98 nt40 winxp win10"

setup() {
    make_sample 'held/busy.exe' 9 || return 1
    [ -f "$BUILD/repair_hold.exe" ] || { echo "no repair_hold.exe"; return 1; }
    wine_start "$PREFIX" 150 'C:\tests\repair_hold.exe' 'D:\held\busy.exe' 140 >"$WORK/hold.out"
    local i
    for i in $(seq 1 100); do
        grep -q HELD "$WORK/hold.out" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the file was not held"
    return 1
}

restart_question() {
    printf '%s\n' 'caption=Cordafix Ver 1.0' \
        'text=The system has to be restarted to remove the virus completely from your system. ' '' \
        ' Restart now?' 'buttons=IDC_PROMPT_YES IDC_PROMPT_NO'
}

scheduled() {
    if [ "$MODE" = win98 ]; then
        tr -d '\r' <"$PREFIX/drive_c/windows/wininit.ini" | grep -qix 'NUL=D:\\held\\busy.exe'
    else
        grep -qi 'held\\\\busy.exe' "$PREFIX/system.reg"
    fi
}

scenario() {
    local name total question
    name=$(detection_name "$DRIVE_D/held/busy.exe")
    total=$(count_files)
    check "SCAN clicked" drv click IDC_SCAN
    # No program runs the file, so ending its program fails; the system's own
    # box reports that, except on NT 5.x, which ends programs by full path
    # (and under Wine the performance data of NT 4 and NT 6 hold no process).
    if [ "$MODE" != winxp ]; then
        check "failed termination reported" same "$(drv answer-msgbox 'D:\held\busy.exe' IDOK 30)" \
            "text=Could not kill process"
    fi
    question=$(drv prompt 'Cordafix Ver 1.0' 60)
    check "restart question" same "$question" "$(restart_question)"
    check "statistics before the question" same "$(drv list)" \
        "D:\\held\\busy.exe     $name Unable to remove"$'\n'"$(statistics "$total" 1 0)"
    screenshot
    check "NO" drv answer-prompt 'Cordafix Ver 1.0' IDC_PROMPT_NO
    check "scan completed" drv wait-status "Scanning completed" 30
    check "still running after NO" same "$(drv state IDC_OK_BUTTON | cut -c1-19)" "visible=1 enabled=1"
    check "file still there" test -f "$DRIVE_D/held/busy.exe"
    wine_stop "$PREFIX"   # writes the registry to disk; no restart happens meanwhile
    check "deletion left for the restart" scheduled
}
