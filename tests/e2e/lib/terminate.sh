# Shared body of the scan_terminate_* scenarios: a terminate request during a
# scan, first declined, then confirmed. The scenario sets
#   request()    a function that makes the request (Escape, CANCEL or X)
#   CAPTION      the caption the question must carry
#   decline()    a function that answers the open question with "no" its own way
#   afterwards() a function that ends the program after the scan

terminate_setup() {
    # Enough files for the scan to be still running while the test talks to
    # it: about 30 s of scanning on an idle machine. 30,000 files (9 s) ran out
    # once on a loaded one, where each driver call took seconds.
    make_empty_files many 10 || return 1
    make_sample 'zz/late.exe' 3
}

scanning_layout() {
    layout_except IDC_OK_BUTTON=0,1 IDC_SCAN=1,0 IDC_PRODUCT_NOTICE=0,1 IDC_MAKER_NOTICE=0,1 \
        IDC_DESCRIPTION=0,1 IDC_DLINK=0,0 IDC_ULINK=0,0
}

question_is_open() {
    same "$(drv prompt "$CAPTION" 10)" \
        "caption=$CAPTION"$'\n'"text=Terminate the Scan now?"$'\n'"buttons=IDC_PROMPT_YES IDC_PROMPT_NO"
}

status_frozen() {
    local before after
    before=$(drv status)
    sleep 0.5
    after=$(drv status)
    same "$after" "$before"
}

status_moves() {
    local before=$1 i
    for i in $(seq 1 40); do
        [ "$(drv status)" != "$before" ] && return 0
        sleep 0.1
    done
    echo "  status stays at $before"
    return 1
}

terminate_scenario() {
    local total held
    total=$(count_files)
    check "SCAN clicked" drv click IDC_SCAN
    check "scan running" drv wait-status-prefix 'D:\many\' 60
    check "scanning layout" same "$(drv layout)" "$(scanning_layout)"
    check "status frame captioned" same "$(drv state IDC_STATUS_GROUP)" "visible=1 enabled=1 text=Scanning"
    check "search heading" same "$(drv state IDC_SEARCHING_FOR)" \
        "visible=1 enabled=1 text=Searching for W32/Drovak Trojan and its variants"

    check "request made" request
    check "question asked" question_is_open
    check "scan waits for the answer" status_frozen
    held=$(drv status)
    check "declined" decline
    check "scan goes on after no" status_moves "$held"
    check "layout unchanged after no" same "$(drv layout)" "$(scanning_layout)"

    check "request made again" request
    check "question asked again" question_is_open
    check "confirmed" drv answer-prompt "$CAPTION" IDC_PROMPT_YES
    check "scan terminated" drv wait-status "Scanning terminated" 60
    check "OK in place of CANCEL" same "$(drv state IDC_OK_BUTTON | cut -c1-19) $(drv state IDC_CANCEL_BUTTON | cut -c1-9)" \
        "visible=1 enabled=1 visible=0"
    local lines
    lines=$(drv list)
    local scanned
    scanned=$(sed -n 's/^Total files scanned\t\t:  //p' <<<"$lines")
    check "statistics after the cancel" same "$(tail -n 5 <<<"$lines")" "$(statistics "$scanned" 0 0)"
    check "part of the files scanned" test "$scanned" -gt 0 -a "$scanned" -lt "$total"
    check "late sample left alone" test -f "$DRIVE_D/zz/late.exe"
    screenshot
    check "program ends after the scan" afterwards
    check "window gone" drv wait-gone 10
    check "program ended" program_ended 10
}
