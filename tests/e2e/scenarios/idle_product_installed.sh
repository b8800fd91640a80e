# With the maker's product installed, DOWNLOAD shows disabled, DLINK is gone
# and the product notice shows.
MODES="win98 winxp"

setup() {
    reg add 'HKLM\Software\Quorvex\Kestrova 2000' \
        /v 'Installed Folder' /d 'C:\Program Files\Kestrova' /f >/dev/null
}

scenario() {
    check "DOWNLOAD visible, disabled" state_is IDC_DOWNLOAD 1 0
    check "DLINK hidden, disabled" state_is IDC_DLINK 0 0
    check "ULINK works" state_is IDC_ULINK 1 1
    check "product notice" same "$(drv state IDC_PRODUCT_NOTICE)" \
        "visible=1 enabled=1 text=This program is a part of Kestrova antivirus software."
    screenshot
}
