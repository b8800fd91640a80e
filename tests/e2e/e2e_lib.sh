# Shell functions shared by the end-to-end harness (run_scenario.sh) and the
# run command (tools/run.sh). Source after tests/wine/lib.sh.
#
#   e2e_seal_prefix PREFIX       no drive and no folder of PREFIX reaches the host's files
#   e2e_check_sealed PREFIX      fails when something in PREFIX still reaches outside (or a
#                                drive holds a link that leads off it or to a file)
#   e2e_screenshot FILE          the whole X display as a PNG

# A new Wine prefix links the user's Desktop, Documents, Music... to the
# host's home folders, and maps Z: to /. The program walks every fixed drive
# and deletes what it finds, so neither may stay: the links become empty
# folders and every drive but C: (and those the caller maps later) goes.
e2e_seal_prefix() {
    local prefix=${1:?e2e_seal_prefix PREFIX}
    local link entry
    [ -d "$prefix/drive_c" ] || { echo "e2e_seal_prefix: $prefix is no Wine prefix" >&2; return 1; }
    for entry in "$prefix"/dosdevices/?: "$prefix"/dosdevices/?::; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        case "${entry##*/}" in
            c:) ;;
            *) rm -f "$entry" ;;
        esac
    done
    while IFS= read -r -d '' link; do
        rm -f "$link" && mkdir -p "$link" || return 1
    done < <(find "$prefix/drive_c" -type l -print0)
    e2e_check_sealed "$prefix"
}

e2e_check_sealed() {
    local prefix=${1:?e2e_check_sealed PREFIX}
    if [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
        echo "e2e: $prefix still has a Z: drive" >&2
        return 1
    fi
    if [ "$(readlink -f "$prefix/dosdevices/c:")" != "$(readlink -f "$prefix/drive_c")" ]; then
        echo "e2e: C: of $prefix is not its drive_c" >&2
        return 1
    fi
    if [ -n "$(find "$prefix/drive_c" -type l -print -quit)" ]; then
        echo "e2e: $prefix/drive_c holds links:" >&2
        find "$prefix/drive_c" -type l >&2
        return 1
    fi
    wine_check_drives "$prefix"
}

e2e_screenshot() {
    local file=${1:?e2e_screenshot FILE}
    mkdir -p "$(dirname "$file")"
    timeout -k 2 20 import -window root "$file" 2>/dev/null
}
