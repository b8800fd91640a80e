# A scan that finds nothing: the scanning layout, then the finished layout and
# a statistics block that counts every file of C: and D:.
MODES="win98 nt40 winxp win10"

setup() {
    make_plain 'docs/letter.txt' 300
    make_plain 'docs/old/notes.txt' 10
    make_plain 'tools/plain.exe' 4096
}

scenario() {
    scan_to_end "statistics of a clean scan" "$(statistics "$(count_files)" 0 0)"
    # After the run.
    local expected
    expected=$(layout_except IDC_CANCEL_BUTTON=0,1 IDC_SCAN=1,0 IDC_SEARCHING_FOR=0,1 \
        IDC_PRODUCT_NOTICE=0,1 IDC_MAKER_NOTICE=0,1 IDC_DESCRIPTION=0,1 IDC_DLINK=0,0 IDC_ULINK=0,0)
    check "finished layout" same "$(drv layout)" "$expected"
    check "status frame without caption" same "$(drv state IDC_STATUS_GROUP)" "visible=1 enabled=1 text="
    check "last line selected" same "$(drv selection)" "4"
    screenshot
    # SCAN stays disabled, and a click that reaches the window anyway starts nothing.
    drv post-command IDC_SCAN
    drv click IDC_SCAN
    check "no second scan" drv no-prompt 1
    check "status unchanged" same "$(drv status)" "Scanning completed"
    check "no lines added" same "$(drv count)" "5"
    check "OK ends the program" drv click IDC_OK_BUTTON
    check "window gone" drv wait-gone 10
    check "program ended" program_ended 10
}
