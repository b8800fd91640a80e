# The window as it opens: which controls show, which work, and its texts.
MODES="win98 nt40 winxp win10"

scenario() {
    local expected
    # id visible enabled; the product key is absent in a fresh prefix.
    expected=$(cat <<'LAYOUT'
1070 0 0
2 0 1
1052 1 1
1053 1 1
1054 1 1
1064 0 1
1065 0 1
1076 0 1
1068 1 1
1075 0 1
1072 1 1
1074 1 1
1077 1 1
1080 1 1
1085 1 1
1034 0 1
1055 0 1
LAYOUT
)
    check "idle layout" same "$(drv layout)" "$expected"
    check "description line" same "$(drv state 1074)" \
        "visible=1 enabled=1 text=Cordafix Ver 1.0 - Tool to detect and remove all the variants of W32/Drovak Trojan"
    check "family line" same "$(drv state 1068)" "visible=1 enabled=1 text=for W32/Drovak Trojan"
    check "one main window" same "$(drv windows)" "1"
    check "empty log list" same "$(drv count)" "0"
    screenshot
}
