# As repair_held_file on the 9x family, with a rename script already in
# place: the entry joins the end of its rename section, the other sections
# stay, and the restart carries out the old entry and the new one.
MODES="win98"
source "$(dirname "${BASH_SOURCE[0]}")/repair_held_file.sh"

extra_setup() {
    echo old >"$DRIVE_D/OLDFILE.TXT"
    printf '[boot]\r\nshell=x\r\n[rename]\r\nNUL=D:\\OLDFILE.TXT\r\n[other]\r\na=b\r\n' \
        >"$PREFIX/drive_c/windows/wininit.ini"
}
expected_script() { printf '[boot]\nshell=x\n[rename]\nNUL=D:\\OLDFILE.TXT\nNUL=%s\r\n[other]\na=b\n' "$1"; }
extra_after_restart() {
    check "the script's earlier entry carried out too" test ! -e "$DRIVE_D/OLDFILE.TXT"
}
