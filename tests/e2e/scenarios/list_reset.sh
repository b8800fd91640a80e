# 300 samples: the 151st result line empties the log list, and the statistics
# block that follows a full list of 150 lines is kept whole (156 lines).
MODES="win98 winxp"

setup() {
    local i
    for i in $(seq 1 300); do
        make_sample "$(printf 'set/s%03d.exe' "$i")" $((i % 85)) || return 1
    done
}

scenario() {
    local expected='' i total
    total=$(count_files)
    for i in $(seq 151 300); do expected+="$(removed_line "$(printf 'set/s%03d.exe' "$i")")"$'\n'; done
    expected+=$(statistics "$total" 300 300)
    scan_to_end "lines 151 to 300 and the whole statistics block" "$expected"
    check "156 lines" same "$(drv count)" "156"
    check "last line selected" same "$(drv selection)" "155"
    check "every sample deleted" same "$(find "$DRIVE_D/set" -type f | wc -l)" "0"
    screenshot
}
