# Shared pieces of the unattended_* scenarios.
#   run_status ARGS...   runs cordafix.exe ARGS to its end: "status=N windows=W" (driver's run-watched)
#   log_lines FILE       the lines of C:\FILE without their CRs

run_status() { wine_text "$PREFIX" 200 'C:\tests\e2e_driver.exe' run-watched 190 "C:\\tests\\cordafix.exe $*"; }
log_lines() { tr -d '\r' <"$PREFIX/drive_c/$1"; }
