# The 9x rename script rewritten for a held infected file, three times in one
# prefix, each time over a hostile script already in place: one of every byte
# value (NUL, Ctrl-Z, lone CR ...), one of 1 MB with lines past the 647-byte
# reading (their later parts begin with "["), and one single 1 MB line whose
# parts begin with "[rename]" and "[other]". Each time the entry joins the end
# of the rename section (or a new one at the end), every other byte stays
# (CR LF line ends become LF), and nothing else on C: changes but the working
# copy in the temporary folder.
MODES="win98"
source "$(dirname "${BASH_SOURCE[0]}")/repair_held_file.sh"
START_PROGRAM=0

SCRIPT() { echo "$PREFIX/drive_c/windows/wininit.ini"; }

# every_byte: the 256 byte values in order, twice (no CR LF, no "[" at a line start).
every_byte() {
    local i
    for i in 1 2; do printf "$(printf '\\%03o' {0..255})"; done
}
# lines COUNT END: COUNT "key" lines, each ended by END.
lines() { awk -v n="$1" -v e="$2" 'BEGIN { for (i = 1; i <= n; i++) printf "key%05d=%0120d%s", i, i, e }'; }
# long_line END: one line of 2,000 characters whose 648th and 1,295th begin with "[".
long_line() {
    printf 'NUL=C:\\%0640d' 0
    printf '[%0646d' 0
    printf '[%0100d%s' 0 "$1"
}
# one_line: 1 MiB, no line end; each 647-byte part begins with "[boot]", "[rename]" or "[other]".
one_line() {
    awk 'BEGIN { split("[boot] [rename] [other]", tag, " ");
                 for (i = 0; i * 647 < 1048576; i++) {
                     part = tag[i % 3 + 1]; while (length(part) < 647) part = part "x";
                     if ((i + 1) * 647 > 1048576) part = substr(part, 1, 1048576 - i * 647);
                     printf "%s", part } }'
}

# The scripts, and what each must hold afterwards (ENTRY: the new entry's line).
binary_script() {
    printf '[boot]\r\n'; every_byte; printf '\r\n[Rename]\r\nNUL=C:\\OLD1.TXT\r\n'
    every_byte; printf '\n[other]\r\n'; every_byte
}
binary_expected() {
    printf '[boot]\n'; every_byte; printf '\n[Rename]\nNUL=C:\\OLD1.TXT\n'
    every_byte; printf '\n%s[other]\n' "$ENTRY"; every_byte
}
big_script() {
    printf '[boot]\r\n'; lines 4000 $'\r\n'; printf '[rename]\r\nNUL=C:\\OLD2.TXT\r\n'; long_line $'\r\n'
    printf '[other]\r\n'; lines 4000 $'\r\n'
}
big_expected() {
    printf '[boot]\n'; lines 4000 $'\n'; printf '[rename]\nNUL=C:\\OLD2.TXT\n'; long_line $'\n'
    printf '%s[other]\n' "$ENTRY"; lines 4000 $'\n'
}
line_script() { one_line; }
line_expected() { one_line; printf '\r\n[rename]\r\n%s' "$ENTRY"; }

# The files on C: with their sizes and checksums, but the script and the working copy.
c_files() {
    (cd "$PREFIX/drive_c" && find . -type f ! -path ./windows/wininit.ini ! -iname wininit.ini -print0 |
        sort -z | xargs -0 md5sum)
}

# one_script NAME: a scan over the NAME script.
one_script() {
    local kind=$1 name total expected before
    "${kind}_script" >"$(SCRIPT)"
    "${kind}_expected" >"$WORK/$kind.expected"
    check "$kind: script of $(stat -c %s "$(SCRIPT)") bytes in place" test -s "$(SCRIPT)"
    before=$(c_files)
    name=$(detection_name "$(HELD_HOST)")
    total=$(count_files)
    expected="$HELD     $name Unable to remove"$'\n'
    expected+=$(statistics "$total" 1 0)
    start_program
    check "$kind: main window shown" drv wait-window 30
    check "$kind: SCAN clicked" drv click IDC_SCAN
    check "$kind: restart question reached" question_reached
    check "$kind: scan completed" drv wait-status "Scanning completed" 30
    check "$kind: unable-to-remove line" same "$(drv list)" "$expected"
    check "$kind: script rewritten as expected" cmp "$(SCRIPT)" "$WORK/$kind.expected"
    check "$kind: no other file on C: changed" same "$(c_files)" "$before"
    check "$kind: working copy holds the old script" cmp <("${kind}_script") \
        "$(find "$PREFIX/drive_c" -ipath '*temp/wininit.ini' | head -n 1)"
    check "$kind: NO answered" drv answer-prompt 'Cordafix Ver 1.0' IDC_PROMPT_NO
    check "$kind: X ends the program" drv click IDC_CLOSE_X
    check "$kind: program ended" program_ended 10
}

scenario() {
    local short
    short=$(short_path "$HELD")
    check "short path known" test -n "$short"
    ENTRY="NUL=$short"$'\r\n'
    one_script binary
    one_script big
    one_script line
    check "held file still there" test -f "$(HELD_HOST)"
}
