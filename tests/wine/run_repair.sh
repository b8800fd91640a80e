#!/bin/bash
# The repair pieces on the real registry and files under Wine, through
# repair_probe.exe: autostart values, the hosts check, deletion at restart of
# a file held open by another process, and the restart that carries it out.
#   run_repair.sh WIN32_BUILD_DIR [MODE]     MODE: win98 or winxp (default)
# Prints one "ok"/"FAIL" line per check; the exit status is the number of failures.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"
source "$here/../../tools/virtual-display.sh"

build=${1:?usage: run_repair.sh WIN32_BUILD_DIR [MODE]}
mode=${2:-winxp}
for exe in repair_probe.exe repair_hold.exe; do
    [ -f "$build/$exe" ] || { echo "run_repair.sh: no $build/$exe" >&2; exit 1; }
done
# Windows need a display; the probe's own capture window is never shown.
if [ -z "${CORDAFIX_REPAIR_DISPLAY:-}" ]; then
    CORDAFIX_REPAIR_DISPLAY=1 exec "${virtual_display[@]}" bash "$0" "$@"
fi

CHECK_LABEL=$mode
wine_test_prefix repair "$mode" || exit 1
work=$WINE_WORK
prefix=$WINE_PREFIX

probe() { wine_text "$prefix" 60 'C:\tests\repair_probe.exe' "$@"; }
reg() { wine_reg "$prefix" "$@"; }
has_value() { reg query "HKLM\\$1" /v "$2" | grep -q "$2"; }
no_value() { ! has_value "$@"; }

run_key='Software\Microsoft\Windows\CurrentVersion\Run'
services_key='Software\Microsoft\Windows\CurrentVersion\RunServices'
windows="$prefix/drive_c/windows"

wine_map_drive "$prefix" d "$work/drive_d" || exit 1
mkdir -p "$prefix/drive_c/tests" && cp "$build/repair_probe.exe" "$build/repair_hold.exe" "$prefix/drive_c/tests/" ||
    exit 1
wine_persist "$prefix" 300
# The first process boots the prefix, which works off any restart-time
# operations; files below are written after it so that they stay.
probe short 'C:\' >/dev/null

# --- autostart values -----------------------------------------------------------
mkdir -p "$work/drive_d/Apps" && echo x >"$work/drive_d/Apps/evil.exe"
reg add "HKLM\\$run_key" /v Evil /d 'D:\Apps\evil.exe /x' /f >/dev/null
reg add "HKLM\\$run_key" /v Keep /d 'C:\keep\keep.exe' /f >/dev/null
reg add "HKLM\\$run_key" /v BareElsewhere /d 'evil.exe' /f >/dev/null
reg add "HKLM\\$run_key" /v AsArgument /d 'C:\keep\keep.exe D:\Apps\evil.exe' /f >/dev/null
reg add "HKLM\\$services_key" /v EvilSvc /d '"d:\apps\EVIL.EXE" -s' /f >/dev/null
reg add "HKLM\\$run_key" /v SysBare /d 'abc.exe' /f >/dev/null
reg add "HKLM\\$run_key" /v SysExpand /t REG_EXPAND_SZ /d '%windir%\system32\abc.exe' /f >/dev/null

output=$(probe repair 'W32/Drovak.Trojan' 'D:\Apps\evil.exe' \
               regset run EvilSvc 'C:\keep\again.exe' \
               repair 'W32/Drovak.Zg.Trojan' 'C:\windows\system32\abc.exe')
walk='LINE System Registry     W32/Drovak.Trojan removed'
check "autostart lines" same "$(grep '^LINE' <<<"$output")" \
    "$walk"$'\n'"$walk"$'\n''LINE System Registry     W32/Drovak.Zg.Trojan removed'$'\n'"$walk"$'\n'"$walk"
check "name remembered from the first file" same "$(grep '^REMEMBERED' <<<"$output" | head -1)" "REMEMBERED EvilSvc"
for name in Evil SysBare SysExpand EvilSvc; do
    check "Run value $name removed" no_value "$run_key" $name
done
check "RunServices value EvilSvc removed" no_value "$services_key" EvilSvc
for name in Keep BareElsewhere AsArgument; do
    check "Run value $name kept" has_value "$run_key" $name
done
check "Wine's own RunServices value kept" has_value "$services_key" winemenubuilder

# --- hosts file -------------------------------------------------------------------
if [ "$mode" = win98 ]; then
    hosts="$windows/hosts" hosts_path='C:\windows\hosts'
else
    hosts="$windows/system32/drivers/etc/hosts" hosts_path='C:\windows\system32\drivers\etc\hosts'
fi
printf '# hosts\r\n127.0.0.1 localhost\r\n' >"$hosts"
output=$(probe hosts 100)
check "ordinary hosts file: no line" same "$(grep -c '^LINE' <<<"$output")" 0
check "ordinary hosts file kept" test -f "$hosts"
# An encoded attachment whose signature runs across the first line break.
encoded() {
    printf 'begin 644 attach.exe\r\n'
    printf '%s\r\n' \
        'M0V]R9&%F:7@@<WEN=&AE=&EC(&%T=&%C:&UE;G0@<V%M<&QE(&9O<B!T:&4@' \
        'M96YC;V1E9"UT97AT(&UA=&-H97([(&AA<FUL97-S(&9I;&QE<B!B>71E<R!O' \
        'M;FQY+B!#;W)D869I>"!S>6YT:&5T:6,@871T86-H;65N="!S86UP;&4@9F]R' \
        '`' 'end'
}
encoded >"$hosts"
output=$(probe hosts 103)
check "left alone with action 103" same "$(grep '^LINE' <<<"$output")" \
    "LINE $hosts_path     W32/Nyxem.Worm Not Disinfected As Per User's Selection"
check "hosts file kept with action 103" test -f "$hosts"
output=$(probe hosts 100)
check "encoded hosts file: removed line" same "$(grep '^LINE' <<<"$output")" \
    "LINE $hosts_path     W32/Nyxem.Worm removed"
check "encoded hosts file deleted" test ! -e "$hosts"
check "counted as infected" same "$(grep '^INFECTED' <<<"$output")" "INFECTED 1"

# --- deletion at restart, restart ------------------------------------------------
mkdir -p "$work/drive_d/Long Folder"
echo x >"$work/drive_d/Long Folder/held file.exe"
echo x >"$work/drive_d/Long Folder/second one.exe"
held='D:\Long Folder\held file.exe'
second='D:\Long Folder\second one.exe'
wine_start "$prefix" 120 'C:\tests\repair_hold.exe' "$held" 110 >"$work/hold.out" 2>&1
holder=$WINE_PID
for _ in $(seq 50); do grep -q HELD "$work/hold.out" && break; sleep 0.2; done
check "file held open" grep -q HELD "$work/hold.out"

output=$(probe schedule "$held" short "$held")
check "held file scheduled" same "$(grep '^RESULT' <<<"$output")" "RESULT 1"
short_held=$(sed -n 's/^SHORT //p' <<<"$output")
check "held file still there" test -f "$work/drive_d/Long Folder/held file.exe"
if [ "$mode" = win98 ]; then
    check "new rename script" same "$(od -c "$windows/wininit.ini")" \
        "$(printf '[rename]\r\nNUL=%s\r\n' "$short_held" | od -c)"
    check "short path entered" test "$short_held" != "$held"
    printf '[boot]\r\nshell=x\r\n' >"$windows/wininit.new.tmp"
    cat "$windows/wininit.ini" >>"$windows/wininit.new.tmp"
    printf '[other]\r\na=b\r\n' >>"$windows/wininit.new.tmp"
    mv "$windows/wininit.new.tmp" "$windows/wininit.ini"
    output=$(probe schedule "$second" short "$second")
    short_second=$(sed -n 's/^SHORT //p' <<<"$output")
    check "second file scheduled" same "$(grep '^RESULT' <<<"$output")" "RESULT 1"
    check "entry placed inside the existing script" same "$(od -c "$windows/wininit.ini")" \
        "$(printf '[boot]\nshell=x\n[rename]\nNUL=%s\nNUL=%s\r\n[other]\na=b\n' "$short_held" "$short_second" | od -c)"
    # A read-only script is the system's to keep: nothing is entered.
    before=$(od -c "$windows/wininit.ini")
    chmod a-w "$windows/wininit.ini"
    output=$(probe schedule 'D:\Long Folder\second one.exe')
    check "read-only script: not scheduled" same "$(grep '^RESULT' <<<"$output")" "RESULT 0"
    check "read-only script left as it was" same "$(od -c "$windows/wininit.ini")" "$before"
    chmod u+w "$windows/wininit.ini"
    pending=$(reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations)
    check "no delayed deletion registered" fails grep -qi 'held file' <<<"$pending"
else
    pending=$(reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations)
    check "delayed deletion recorded by the system" grep -qi 'D:\\Long Folder\\held file.exe' <<<"$pending"
    check "no rename script written" test ! -e "$windows/wininit.ini"
    output=$(probe schedule "$second")
    check "second file scheduled" same "$(grep '^RESULT' <<<"$output")" "RESULT 1"
fi

output=$(probe restart)
check "restart started" same "$(grep '^RESULT' <<<"$output")" "RESULT 1"
# The restart ends every process of the prefix (the holder too) and then
# carries out the scheduled deletions, as a reboot would.
for _ in $(seq 60); do
    [ ! -e "$work/drive_d/Long Folder/held file.exe" ] && [ ! -e "$work/drive_d/Long Folder/second one.exe" ] && break
    sleep 0.5
done
check "holder ended by the restart" fails kill -0 "$holder" 2>/dev/null
check "held file deleted at the restart" test ! -e "$work/drive_d/Long Folder/held file.exe"
check "second file deleted at the restart" test ! -e "$work/drive_d/Long Folder/second one.exe"
if [ "$mode" = win98 ]; then
    check "rename script used up" test ! -e "$windows/wininit.ini"
fi
exit "$FAILURES"
