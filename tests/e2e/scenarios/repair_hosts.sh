# A hosts file holding the encoded attachment is checked with each detection
# and deleted with its own line, counted as infected and removed.
MODES="win98 winxp"

hosts_file() {
    if [ "$MODE" = win98 ]; then echo "$PREFIX/drive_c/windows/hosts"; else echo "$PREFIX/drive_c/windows/system32/drivers/etc/hosts"; fi
}
hosts_path() {
    if [ "$MODE" = win98 ]; then echo 'C:\windows\hosts'; else echo 'C:\windows\system32\drivers\etc\hosts'; fi
}

setup() {
    make_sample 'x_trigger.exe' 0 || return 1
    # The signature runs across the first line break of the encoded text.
    {
        printf 'begin 644 attach.exe\r\n'
        printf '%s\r\n' \
            'M0V]R9&%F:7@@<WEN=&AE=&EC(&%T=&%C:&UE;G0@<V%M<&QE(&9O<B!T:&4@' \
            'M96YC;V1E9"UT97AT(&UA=&-H97([(&AA<FUL97-S(&9I;&QE<B!B>71E<R!O' \
            '`' 'end'
    } >"$(hosts_file)"
}

scenario() {
    local expected
    expected="$(hosts_path)     W32/Nyxem.Worm removed"$'\n'
    expected+="$(removed_line x_trigger.exe)"$'\n'
    expected+=$(statistics "$(count_files)" 2 2)
    scan_to_end "hosts line before the file's line" "$expected"
    check "hosts file deleted" test ! -e "$(hosts_file)"
    screenshot
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
