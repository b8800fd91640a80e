# Refused runs end with status 3 and change nothing: a second copy beside the window
# of the first or beside a silent run (where a copy without switches ends at once, as
# ever), an unknown switch (with the usage in a box unless /silent), a log in a
# missing folder. /? shows the usage and scans nothing.
MODES="win98 nt40 winxp win10"
source "$(dirname "${BASH_SOURCE[0]}")/../lib/unattended.sh"
USAGE='cordafix.exe [/silent] [/log=PATH] [/nofix] [/reboot] [/?]'

setup() { make_sample 'a_setup.exe' 0 && mkdir -p "$DRIVE_D/many" && (cd "$DRIVE_D/many" && seq 40000 | xargs touch); }

# box_run ARGS...: the text of the message box cordafix.exe ARGS shows (OK), then its exit status.
box_run() {
    wine_start "$PREFIX" 60 'C:\tests\cordafix.exe' "$@"
    drv answer-msgbox 'Cordafix Ver 1.0' IDOK 30
    wait "$WINE_PID"; echo "status=$?"
}

scenario() {
    check "second copy" same "$(run_status /silent /log=C:\\second.log)" "status=3 windows=0"
    check "bad switch" same "$(run_status /silent /Bogus /log=C:\\bogus.log)" "status=3 windows=0"
    check "log in a missing folder" same "$(run_status /silent /log=C:\\missing\\x.log)" "status=3 windows=0"
    check "the reasons logged" same "$(log_lines second.log | tail -1; log_lines bogus.log | tail -1)" \
        "Exit status 3: Another copy of the program is running"$'\n'"Exit status 3: Unknown switch: /Bogus"
    check "bad switch: the reason and the usage in a box" same "$(box_run -nofix -x | sed -n '1,3p;$p')" \
        "text=Unknown switch: -x"$'\n\n'"$USAGE"$'\n'"status=3"
    check "/?: the usage" same "$(box_run /? | sed -n '1p;$p')" "text=$USAGE"$'\n'"status=3"
    check "nothing changed" same "$(cd "$DRIVE_D" && ls; ls "$PREFIX/drive_c" | grep -c missing)" "a_setup.exe"$'\n'"many"$'\n'"0"
    check "X ends the first copy" drv click IDC_CLOSE_X && program_ended 10

    # A silent run held still (SIGSTOP) just after its log has begun: its hidden window follows at once.
    wine_start "$PREFIX" 200 'C:\tests\cordafix.exe' /silent /nofix /log=C:\\first.log
    local silent=$WINE_PID i
    for i in $(seq 100); do grep -q Switches "$PREFIX/drive_c/first.log" 2>/dev/null && break; sleep 0.05; done
    sleep 0.1 && pkill -STOP -P "$silent"
    check "beside a silent run: a copy without switches ends at once" same "$(run_status)" "status=0 windows=0"
    check "beside a silent run: a second silent run" same "$(run_status /silent)" "status=3 windows=0"
    pkill -CONT -P "$silent"
    wait "$silent"
    check "the silent run goes on to its end" same "$? $(log_lines first.log | tail -1)" "2 Exit status 2: Found and something left"
}
