# Samples on D: are removed with one exact line each, near misses and ordinary
# files stay, and the statistics count them.
MODES="win98 nt40 winxp win10"

setup() {
    make_sample 'a_setup.exe' 0
    make_plain 'b_plain.exe' 2048
    make_sample 'games/c_launcher.exe' 5
    make_sample 'games/level1/d_patch.exe' 42
    make_sample 'z_last/e_copy.exe' 84
    make_sample 'z_last/f_locked.exe' 13
    chmod a-w "$DRIVE_D/z_last/f_locked.exe"   # read-only: the attributes are reset first
    need_samples && "$MAKE_SAMPLES" --near-miss first-byte --record 7 --out "$DRIVE_D/games/g_near.exe" >/dev/null
}

scenario() {
    local samples='a_setup.exe games/c_launcher.exe games/level1/d_patch.exe z_last/e_copy.exe z_last/f_locked.exe'
    local expected='' f
    for f in $samples; do expected+="$(removed_line "$f")"$'\n'; done
    expected+=$(statistics "$(count_files)" 5 5)
    scan_to_end "result lines and statistics" "$expected"
    for f in $samples; do
        check "$f deleted" test ! -e "$DRIVE_D/$f"
    done
    check "ordinary file kept" test -f "$DRIVE_D/b_plain.exe"
    check "near miss kept" test -f "$DRIVE_D/games/g_near.exe"
    check "last line selected" same "$(drv selection)" "$(( $(drv count) - 1 ))"
    screenshot
    check "X ends the program after the scan" drv click IDC_CLOSE_X
    check "window gone" drv wait-gone 10
    check "program ended" program_ended 10
}
