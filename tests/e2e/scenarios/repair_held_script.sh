# As repair_held_file on the 9x family, with a hidden system rename script
# already in place that holds a Ctrl-Z and a NUL: the entry joins the end of
# its rename section, every other byte stays (CR LF line ends become LF), the
# script stays hidden and system, and the restart carries out the old entry
# and the new one.
MODES="win98"
source "$(dirname "${BASH_SOURCE[0]}")/repair_held_file.sh"

# The script's read-only, hidden and system attributes (after setting them to $1 when given).
script_attributes() {
    local value
    value=$(in_prefix 'C:\tests\repair_probe.exe' attrib 'C:\windows\wininit.ini' "$@" | sed -n 's/^ATTRIB //p')
    printf '0x%X\n' $(( ${value:-0} & 0x7 ))
}
extra_setup() {
    echo old >"$DRIVE_D/OLDFILE.TXT"
    printf '[boot]\r\nshell=x\r\nk=v\032\r\n[rename]\r\nNUL=D:\\OLDFILE.TXT\r\n[other]\r\na=b\0c\r\n' \
        >"$PREFIX/drive_c/windows/wininit.ini"
    [ "$(script_attributes 0x6)" = 0x6 ]
}
expected_script() { printf '[boot]\nshell=x\nk=v\032\n[rename]\nNUL=D:\\OLDFILE.TXT\nNUL=%s\r\n[other]\na=b\0c\n' "$1"; }
extra_after_scan() {
    check "the script still hidden and system" same "$(script_attributes)" 0x6
}
extra_after_restart() {
    check "the script's earlier entry carried out too" test ! -e "$DRIVE_D/OLDFILE.TXT"
}
