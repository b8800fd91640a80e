# The window as it opens: which controls show, which work, and its texts.
MODES="win98 nt40 winxp win10"

scenario() {
    local expected
    # The product key is absent in a fresh prefix.
    expected=$(layout_except IDC_OK_BUTTON=0,0 IDC_CANCEL_BUTTON=0,1 IDC_STATUS_GROUP=0,1 \
        IDC_STATUS_LINE=0,1 IDC_SEARCHING_FOR=0,1 IDC_PRODUCT_NOTICE=0,1 IDC_LOG_GROUP=0,1 \
        IDC_LOG_LIST=0,1)
    check "idle layout" same "$(drv layout)" "$expected"
    check "description line" same "$(drv state IDC_DESCRIPTION)" \
        "visible=1 enabled=1 text=Cordafix Ver 1.0 - Tool to detect and remove all the variants of W32/Drovak Trojan"
    check "family line" same "$(drv state IDC_FAMILY_LINE)" "visible=1 enabled=1 text=for W32/Drovak Trojan"
    check "one main window" same "$(drv windows)" "1"
    check "empty log list" same "$(drv count)" "0"
    screenshot
}
