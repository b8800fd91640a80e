# Before a scan: Enter and the logo do nothing; Escape and X end the program.
MODES="win98 nt40 winxp win10"

scenario() {
    local before
    before=$(drv layout)
    drv key-enter
    drv click IDC_LOGO
    drv post-command IDC_LOGO
    check "nothing asked" drv no-prompt 1
    check "layout unchanged after Enter and the logo" same "$(drv layout)" "$before"
    check "still running" same "$(drv windows)" "1"
    screenshot
    check "Escape" drv key-escape
    check "Escape ends the program" program_ended 10

    start_program
    check "started again" drv wait-window 30
    check "X" drv click IDC_CLOSE_X
    check "X ends the program" program_ended 10
}
