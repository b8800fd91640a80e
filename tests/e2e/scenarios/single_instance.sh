# A second copy ends at once without a window while the first runs, also
# while the first one's terminate question (same caption) is open.
MODES="win98 winxp"

second_copy_ends() {
    local first=$PROGRAM_PID
    start_program 30
    program_ended 10 || return 1
    PROGRAM_PID=$first
    same "$(drv windows)" "1"
}

setup() {
    mkdir -p "$DRIVE_D/many"
    (cd "$DRIVE_D/many" && seq -f 'f%05g.txt' 1 30000 | xargs touch)
}

scenario() {
    check "second copy ends, one main window" second_copy_ends
    check "first copy unchanged" same "$(drv state IDC_SCAN | cut -c1-19)" "visible=1 enabled=1"
    check "SCAN clicked" drv click IDC_SCAN
    check "scan running" drv wait-status-prefix 'D:\many\' 60
    check "question open" drv key-escape
    check "question shown" drv prompt 'Cordafix Ver 1.0' 10
    check "second copy ends during the question" second_copy_ends
    screenshot
    check "confirmed" drv answer-prompt 'Cordafix Ver 1.0' IDC_PROMPT_YES
    check "scan terminated" drv wait-status "Scanning terminated" 60
}
