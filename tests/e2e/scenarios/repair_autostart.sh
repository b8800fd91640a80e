# Each detection also removes the Run and RunServices values that launch the
# infected file, one line each before the file's own line; values of other
# programs stay, also one naming the file only as an argument.
MODES="win98 winxp"

RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
SERVICES='HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices'
has_value() { reg query "$1" /v "$2" | grep -q "$2"; }
no_value() { ! has_value "$@"; }

setup() {
    make_sample 'Apps/evil.exe' 0 || return 1
    # Autostart values run at the next start of the prefix: none may point
    # at a program that exists.
    reg add "$RUN" /v Evil /d 'D:\Apps\evil.exe /x' /f >/dev/null &&
    reg add "$RUN" /v Keep /d 'C:\keep\keep.exe' /f >/dev/null &&
    reg add "$RUN" /v AsArgument /d 'C:\keep\keep.exe D:\Apps\evil.exe' /f >/dev/null &&
    reg add "$RUN" /v BareElsewhere /d 'evil.exe' /f >/dev/null &&
    reg add "$SERVICES" /v EvilSvc /d '"d:\apps\EVIL.EXE" -s' /f >/dev/null
}

scenario() {
    local expected
    expected='System Registry     W32/Drovak.Trojan removed'$'\n'
    expected+='System Registry     W32/Drovak.Trojan removed'$'\n'
    expected+="$(removed_line Apps/evil.exe)"$'\n'
    expected+=$(statistics "$(count_files)" 1 1)
    scan_to_end "registry lines before the file's line" "$expected"
    check "infected file deleted" test ! -e "$DRIVE_D/Apps/evil.exe"
    check "Run value with the path and arguments removed" no_value "$RUN" Evil
    check "RunServices value with the quoted path removed" no_value "$SERVICES" EvilSvc
    check "Run value of another program kept" has_value "$RUN" Keep
    check "Run value naming the file as an argument kept" has_value "$RUN" AsArgument
    check "bare value for a file outside the system folders kept" has_value "$RUN" BareElsewhere
    check "Wine's own RunServices value kept" has_value "$SERVICES" winemenubuilder
    check "no restart question" drv no-prompt 2
    screenshot
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
