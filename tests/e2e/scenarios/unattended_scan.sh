# Unattended runs on a drive with samples and a Run value that launches one:
# /silent /nofix changes nothing (status 2); /silent shows no window, removes
# them (status 1) and logs, after its header, exactly the lines a normal run
# on the same drive shows, then its result.
MODES="win98 nt40 winxp win10"
START_PROGRAM=0
source "$(dirname "${BASH_SOURCE[0]}")/../lib/unattended.sh"
RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
declare -A VERSION=([win98]=4.10 [nt40]=4.0 [winxp]=5.1 [win10]=6.2)

add_run_value() { reg add "$RUN_KEY" /v Launcher /d 'D:\games\c_launcher.exe' /f >/dev/null; }
has_run_value() { reg query "$RUN_KEY" /v Launcher >/dev/null; }

setup() {
    make_sample 'a_setup.exe' 0 && make_plain 'b_plain.exe' 2048 && make_sample 'games/c_launcher.exe' 5 &&
        make_sample 'z_last/e_copy.exe' 84 && cp -a "$DRIVE_D" "$WORK/pristine" && add_run_value
}

scenario() {
    check "/nofix: status 2, no window" same "$(run_status /silent /nofix /log=C:\\nofix.log)" "status=2 windows=0"
    check "/nofix: the drive unchanged" diff -r "$WORK/pristine" "$DRIVE_D"
    check "/nofix: the Run value kept" has_run_value
    check "/nofix: 3 files and the value reported, the result" same "$(log_lines nofix.log | grep -c "as per user's \|^Exit status 2: Found and something left$")" 5

    check "/silent: status 1, no window" same "$(run_status -SILENT /Log=C:\\silent.log)" "status=1 windows=0"
    check "/silent: samples removed" same "$(cd "$DRIVE_D" && find . -type f)" "./b_plain.exe"
    check "/silent: CR LF lines" same "$(grep -c $'\r$' "$PREFIX/drive_c/silent.log")" "$(wc -l <"$PREFIX/drive_c/silent.log")"
    check "/silent: header and result" same "$(log_lines silent.log | sed -n '1p;3s/ build.*//p;$p')" \
        "Cordafix Ver 1.0"$'\n'"Windows ${VERSION[$MODE]}"$'\n'"Exit status 1: Found and everything removed"

    rm -rf "${DRIVE_D:?}"/* && cp -a "$WORK/pristine/." "$DRIVE_D/" && add_run_value
    wine_start "$PREFIX" 200 'C:\tests\e2e_driver.exe' run-watched 190 'C:\tests\cordafix.exe' >"$WORK/normal"
    check "normal run on the same drive" drv click IDC_SCAN
    check "normal run completed" drv wait-status "Scanning completed" 150
    check "the log's lines are the list's" same "$(log_lines silent.log | sed '1,4d;$d')" "$(drv list)"
    drv click IDC_CLOSE_X && wait "$WINE_PID"  # the driver watching it
    check "the normal run's window was seen" same "$(tr -d '\r' <"$WORK/normal")" "status=0 windows=1"
}
