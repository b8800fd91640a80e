#!/bin/bash
# The sealing helpers of lib.sh on a prefix-shaped folder tree (no Wine is
# started): links that lead off a drive or to files are cut from C:, refused
# on a drive that is mapped, and found on a drive filled after its mapping.
# Prints one "ok"/"FAIL" line per check; the exit status is the number of failures.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/cordafix-sealing.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
# What the helpers say about the links they refuse is expected here.
exec 2>/dev/null

host="$work/host"              # stands for the host's own files
mkdir -p "$host/Desktop" && echo keep >"$host/Desktop/own.txt" && echo keep >"$host/sample.exe"
prefix="$work/prefix"
c="$prefix/drive_c"
mkdir -p "$c/users/me" "$c/windows/system32" "$prefix/dosdevices"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s "$host/Desktop" "$c/users/me/Desktop"         # absolute, off the drive
ln -s ../../../../host "$c/users/me/Up"              # relative, off the drive
ln -s "$host/sample.exe" "$c/windows/evil.exe"      # a file off the drive
ln -s system32 "$c/windows/sys"                     # a folder on the drive
echo x >"$c/windows/system32/x.dll"
ln -s system32/x.dll "$c/windows/x.dll"             # a file on the drive
ln -s nowhere "$c/windows/dangling"

check "C: is cut" _wine_cut_host_links "$prefix"
check "links off C: became empty folders" test -d "$c/users/me/Desktop" -a ! -L "$c/users/me/Desktop" -a ! -L "$c/users/me/Up"
check "file links and dangling links on C: are gone" test ! -e "$c/windows/evil.exe" -a ! -L "$c/windows/x.dll" -a ! -L "$c/windows/dangling"
check "a folder link on C: stays" test -L "$c/windows/sys"
check "the host's files are untouched" test -f "$host/Desktop/own.txt" -a -f "$host/sample.exe" -a -f "$c/windows/system32/x.dll"
ln -s "$host" "$prefix/dosdevices/z:" && ln -s "$work" "$prefix/dosdevices/e:"
check "sealing removes every drive but C:" wine_seal_prefix "$prefix"
check "no drive but C: is left" same "$(ls "$prefix/dosdevices")" "c:"

d="$work/drive_d"
mkdir -p "$d/loop" "$d/real"
ln -s . "$d/loop/L1" && ln -s real "$d/single"
check "a drive whose folder links stay on it is mapped" wine_map_drive "$prefix" d "$d"
check "and passes the checks" wine_check_sealed "$prefix"
ln -s "$host/sample.exe" "$d/link0.exe"
check "a file link put there later is found" fails wine_check_drives "$prefix"
check "the sealed check finds it too" fails wine_check_sealed "$prefix"
rm "$d/link0.exe" && ln -s "$host" "$d/away"
check "a folder link off the drive is found" fails wine_check_drives "$prefix"
rm "$prefix/dosdevices/d:"
check "such a drive is not mapped" fails wine_map_drive "$prefix" d "$d"
check "nor left half-mapped" test ! -e "$prefix/dosdevices/d:"
rm "$d/away" && ln -s real/inside.exe "$d/file.exe" && echo x >"$d/real/inside.exe"
check "a file link on the drive itself is refused too" fails wine_map_drive "$prefix" e "$d"
exit "$FAILURES"
