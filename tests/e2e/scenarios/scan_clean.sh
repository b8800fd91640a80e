# A scan that finds nothing: the scanning layout, then the finished layout and
# a statistics block that counts every file of C: and D:.
MODES="win98 nt40 winxp win10"

setup() {
    make_plain 'docs/letter.txt' 300
    make_plain 'docs/old/notes.txt' 10
    make_plain 'tools/plain.exe' 4096
}

scenario() {
    check "SCAN clicked" drv click 1052
    check "scan completed" drv wait-status "Scanning completed" 150
    check "statistics of a clean scan" same "$(drv list)" "$(statistics "$(count_files)" 0 0)"
    # id visible enabled, after the run.
    local expected
    expected=$(cat <<'LAYOUT'
1070 1 1
2 0 1
1052 1 0
1053 1 1
1054 1 1
1064 1 1
1065 1 1
1076 0 1
1068 1 1
1075 0 1
1072 0 1
1074 0 1
1077 0 0
1080 0 0
1085 1 1
1034 1 1
1055 1 1
LAYOUT
)
    check "finished layout" same "$(drv layout)" "$expected"
    check "status frame without caption" same "$(drv state 1064)" "visible=1 enabled=1 text="
    check "last line selected" same "$(drv selection)" "4"
    screenshot
    # SCAN stays disabled, and a click that reaches the window anyway starts nothing.
    drv post-command 1052
    drv click 1052
    check "no second scan" drv no-prompt 1
    check "status unchanged" same "$(drv status)" "Scanning completed"
    check "no lines added" same "$(drv count)" "5"
    check "OK ends the program" drv click 1070
    check "window gone" drv wait-gone 10
    check "program ended" program_ended 10
}
