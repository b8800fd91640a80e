# A D: that works against the scan: two folder links that loop, a link to
# another folder of D:, names the 8-bit calls list but cannot open, a FIFO,
# a tree past the 260-character paths, and a sparse file of 4 GiB plus record
# 0's length that carries its patterns. The scan ends, counts each file once,
# removes the samples it can reach (the odd names through their short names,
# which the lines show) and leaves the rest alone.
# Not made here: links to files and links off D: (the sealed prefix refuses
# them: Wine lists a file link as a plain file) and names outside the code
# page (their short names depend on the locale); the native tests cover them.
MODES="winxp"

ODD=('trail.exe.' 'trailsp.exe ' 'a?b.exe' 'a*b.exe' 'a<b.exe' 'a>b.exe' 'a|b.exe' 'a"b.exe')
is_odd() {
    local name
    for name in "${ODD[@]}"; do [ "$name" = "$1" ] && return 0; done
    return 1
}

# deep DEPTH NAME: D:\deep, DEPTH folders "d", then NAME (7 + 2 DEPTH + 1 + |NAME| characters).
deep() {
    local path=deep i
    for ((i = 0; i < $1; i++)); do path+=/d; done
    echo "$path/$2"
}

setup() {
    local name
    make_sample 'loop/in_loop.exe' 0 && ln -s . "$DRIVE_D/loop/L1" && ln -s . "$DRIVE_D/loop/L2" || return 1
    make_sample 'real/sub/inf42.exe' 5 && ln -s real "$DRIVE_D/single" || return 1
    for name in "${ODD[@]}"; do make_sample "odd/$name" 0 || return 1; done
    make_sample 'odd/a\b.exe' 0 || return 1
    mkdir -p "$DRIVE_D/dev" && mkfifo "$DRIVE_D/dev/fifo.exe" || return 1
    make_sample "$(deep 50 s11.exe)" 0 && make_sample "$(deep 120 s256.exe)" 0 &&
        make_sample "$(deep 128 s.exe)" 0 && make_sample "$(deep 200 s416.exe)" 0 || return 1
    make_sample 'big/huge.exe' 0 && truncate -s $((4 * 1024 * 1024 * 1024 + 95744)) "$DRIVE_D/big/huge.exe"
}

scenario() {
    local expected='' name short listing f
    listing=$(in_prefix 'C:\tests\repair_probe.exe' names 'D:\odd\*.*')
    for f in "$(deep 50 s11.exe)" "$(deep 120 s256.exe)" loop/in_loop.exe; do
        expected+="$(removed_line "$f")"$'\n'
    done
    # D:\odd in Wine's listing order; a"b.exe ... a|b.exe, then trail.exe. and trailsp.exe .
    while IFS= read -r f; do
        name=${f%|*} short=${f##*|}  # a short name holds no "|", a long one may
        is_odd "$name" || continue
        expected+="D:\\odd\\$short     W32/Drovak.Trojan removed"$'\n'
    done < <(sed -n 's/^NAME //p' <<<"$listing")
    expected+="$(removed_line real/sub/inf42.exe)"$'\n'
    # The FIFO is a file to the scan too; the two samples past 260 characters
    # are out of its reach.
    expected+=$(statistics "$(( $(count_files) + 1 - 2 ))" 12 12)

    check "every odd name has a short name" same "$(sed -n 's/^NAME //p' <<<"$listing" | grep -c '|.')" 9
    scan_to_end "result lines and statistics" "$expected"
    for name in "${ODD[@]}"; do
        check "odd name '$name' removed" test ! -e "$DRIVE_D/odd/$name"
    done
    # Wine's short name of a name with a backslash holds that backslash: no
    # call reaches the file under Wine (the native tests show it on Windows).
    check "a name with a backslash left" test -f "$DRIVE_D/odd/a\\b.exe"
    check "paths past 260 characters left" test -f "$DRIVE_D/$(deep 128 s.exe)" -a -f "$DRIVE_D/$(deep 200 s416.exe)"
    check "4 GiB + 95,744 bytes never matched" test -f "$DRIVE_D/big/huge.exe"
    check "links left" test -L "$DRIVE_D/loop/L1" -a -L "$DRIVE_D/loop/L2" -a -L "$DRIVE_D/single"
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
