# A Run key crowded with 1,000 values of other programs (data that name the
# infected file as an argument, bare, through an environment reference, too
# long to read, other types) around the values that launch the infected file,
# and value names of 127, 128, 255 and 16,383 characters. Only the launching
# values go, one line each, whatever the length of their names (those past
# 127 characters are not remembered); every other value stays with its data,
# in its place.
MODES="winxp"

RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
SERVICES='HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices'
RUN_REG='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run'
SERVICES_REG='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunServices'

# long_name LENGTH TAG: a value name of LENGTH characters that begins with TAG.
long_name() { printf '%s%*s' "$2" $(($1 - ${#2})) '' | tr ' ' 'n'; }
LAUNCHING=(Evil0500 Evil1000 "$(long_name 127 L127_)" EvilSvc)
LONG_LAUNCHING=("$(long_name 128 L128_)" "$(long_name 255 L255_)" "$(long_name 16383 L16383_)")

# The .reg text: 1,000 values of other programs, in several forms, with the
# launching ones among them (.reg strings double their backslashes).
values_file() {
    printf 'REGEDIT4\r\n\r\n[%s]\r\n' "$RUN_REG"
    awk -v l127="${LAUNCHING[2]}" -v long="${LONG_LAUNCHING[*]}" -v u255="$(long_name 255 U255_)" '
    function data(i) {
        k = i % 8
        if (k == 0) return sprintf("\\\"C:\\\\Program Files\\\\App%04d\\\\app.exe\\\" /run", i)
        if (k == 1) return sprintf("C:\\\\keep\\\\keep.exe D:\\\\Apps\\\\evil.exe %d", i)  # the file as an argument
        if (k == 2) return "evil.exe"                              # bare, not in a system folder
        if (k == 3) return sprintf("%%SystemRoot%%\\\\app%04d.exe", i)
        if (k == 4) return sprintf("D:\\\\Apps\\\\evil%d.exe", i)
        if (k == 5) return "D:\\\\Apps\\\\evil.ex"                 # shorter than the infected path
        if (k == 6) return sprintf("C:\\\\long\\\\%0300d.exe", i)  # past the data buffer
        return "D:\\\\Apps2\\\\evil.exe"
    }
    BEGIN {
        split(long, names, " ")
        for (i = 1; i <= 1000; i++) {
            printf "\"Other%04d\"=\"%s\"\r\n", i, data(i)
            if (i == 1) printf "\"Dword\"=dword:00000007\r\n\"Binary\"=hex:44,3a,5c,41\r\n"
            if (i == 250) printf "\"%s\"=\"D:\\\\Apps\\\\evil.exe /x\"\r\n", l127
            if (i == 500) printf "\"Evil0500\"=\"D:\\\\Apps\\\\evil.exe /x\"\r\n"
            if (i == 750) {
                for (n = 1; n <= 3; n++) printf "\"%s\"=\"D:\\\\Apps\\\\evil.exe\"\r\n", names[n]
                printf "\"%s\"=\"C:\\\\keep\\\\keep.exe\"\r\n", u255
            }
        }
    }'
    printf '"Evil1000"="\\"d:\\\\apps\\\\EVIL.EXE\\" -s"\r\n'
    printf '\r\n[%s]\r\n"EvilSvc"="D:\\\\Apps\\\\evil.exe"\r\n"OtherSvc"="C:\\\\keep\\\\svc.exe"\r\n' "$SERVICES_REG"
}

# NAME and DATA of every value of KEY, in the registry's order.
values_of() { reg query "$1" | sed -n 's/^    //p'; }
# The listing without the values of the given names.
without() {
    local listing=$1 name
    shift
    for name in "$@"; do listing=$(grep -v -F -x -e "$name    REG_SZ    D:\\Apps\\evil.exe /x" \
        -e "$name    REG_SZ    \"d:\\apps\\EVIL.EXE\" -s" -e "$name    REG_SZ    D:\\Apps\\evil.exe" <<<"$listing"); done
    printf '%s\n' "$listing"
}

setup() {
    make_sample 'Apps/evil.exe' 0 || return 1
    values_file >"$PREFIX/drive_c/values.reg"
    reg import 'C:\values.reg' >/dev/null
    rm -f "$PREFIX/drive_c/values.reg"
}

scenario() {
    local run_before services_before total expected
    run_before=$(values_of "$RUN")
    services_before=$(values_of "$SERVICES")
    check "1,000 unrelated values in place" same "$(grep -c '^Other[0-9]\{4\} ' <<<"$run_before")" 1000
    check "the long names in place" same \
        "$(for n in "${LAUNCHING[2]}" "${LONG_LAUNCHING[@]}"; do grep -c "^$n " <<<"$run_before"; done | tr '\n' ' ')" \
        '1 1 1 1 '
    total=$(count_files)
    expected=''
    for n in 1 2 3 4 5 6 7; do expected+='System Registry     W32/Drovak.Trojan removed'$'\n'; done
    expected+="$(removed_line Apps/evil.exe)"$'\n'
    expected+=$(statistics "$total" 1 1)
    scan_to_end "one line per launching value, then the file's" "$expected"
    check "infected file deleted" test ! -e "$DRIVE_D/Apps/evil.exe"
    check "Run: only the launching values gone, the rest in place with their data" \
        same "$(values_of "$RUN")" "$(without "$run_before" Evil0500 Evil1000 "${LAUNCHING[2]}" "${LONG_LAUNCHING[@]}")"
    check "RunServices: only the launching value gone" \
        same "$(values_of "$SERVICES")" "$(without "$services_before" EvilSvc)"
    check "launching values with names past 127 characters gone too" same \
        "$(values_of "$RUN" | grep -c -F -e "${LONG_LAUNCHING[0]}    " -e "${LONG_LAUNCHING[1]}    " \
            -e "${LONG_LAUNCHING[2]}    ")" 0
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
