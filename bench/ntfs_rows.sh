#!/usr/bin/env bash
# The NTFS rows of the speed benchmark (bench/run.sh calls this; it also runs
# alone). An NTFS image of about BENCH_NTFS_FILES files is made with mkntfs and
# filled through an ntfs-3g mount: Wine's PE files, small text files, and one
# synthetic sample per detection record with its near miss. Then, side by side:
#
#   find over the mount        find MOUNT -type f -printf '%s\n': every listing
#                              and size is a round trip through the FUSE daemon
#   ntfsls -R -l               Debian's ntfs-3g tool: the same library, in its
#                              own process, no FUSE
#   cordafix-offline, mount    --force --dry-run MOUNT (the folder form)
#   cordafix-offline, image    --force --dry-run IMAGE (read through the library)
#
# each cold (the page cache dropped before every run, the mount made afresh)
# and warm (the same run just made once before). Then each form of the
# scanner cleans its own copy of the image for real, and what is left on the
# two copies is compared name by name.
#
# Usage: ntfs_rows.sh CORDAFIX_OFFLINE BENCH_CORPUS PE_FOLDER
# Settings: BENCH_NTFS_FILES (50000), BENCH_NTFS_REPEATS (3).
set -euo pipefail

offline=$1 corpus_tool=$2 pe_source=$3
target_files=${BENCH_NTFS_FILES:-50000}
repeats=${BENCH_NTFS_REPEATS:-3}
for tool in mkntfs ntfs-3g ntfsls ntfsfix; do
    command -v "$tool" >/dev/null || { echo "ntfs_rows.sh: $tool is missing (Debian's ntfs-3g)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/cordafix-ntfs-bench.XXXXXX")
mount=$work/mnt
mkdir -p "$mount"
cleanup() {
    mountpoint -q "$mount" && umount "$mount"
    rm -rf "$work"
}
trap cleanup EXIT
say() { echo "== $*" >&2; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }'; }
# The ntfs-3g daemon holds its lock on the image a moment after umount returns.
unmount() {  # [image]
    local inode
    inode=$(stat -c %i "${1:-$image}")
    umount "$mount"
    while grep -q ":$inode " /proc/locks; do sleep 0.02; done
}

# --- the image ---------------------------------------------------------------
say "building an NTFS image of about $target_files files in $work"
corpus=$work/corpus
mkdir -p "$corpus/Windows/System32" "$corpus/Program Files/Tools" "$corpus/Users/Documents"
shopt -s nullglob nocaseglob
dlls=("$pe_source"/*.dll)
exes=("$pe_source"/*.exe)
shopt -u nullglob nocaseglob
cp "${dlls[@]}" "$corpus/Windows/System32/"
cp "${exes[@]}" "$corpus/Program Files/Tools/"
small=$(( target_files - ${#dlls[@]} - ${#exes[@]} - 170 ))
[ "$small" -gt 0 ] || small=0
"$corpus_tool" small "$corpus/Users/Documents" "$small"
"$corpus_tool" plant "$corpus" >"$work/planted.txt" 2>/dev/null
files=$(find "$corpus" -type f | wc -l)
sed "s|^$corpus/|C:\\\\|; s|/|\\\\|g" "$work/planted.txt" | sort >"$work/planted-windows.txt"
image=$work/volume.img
truncate -s $(( $(du -sb "$corpus" | cut -f1) * 5 / 4 + 256 * 1048576 )) "$image"
mkntfs -F -Q -q -L Windows "$image" >/dev/null 2>&1
ntfs-3g "$image" "$mount"
cp -r "$corpus/." "$mount/"
unmount
rm -rf "$corpus"

# --- measurements --------------------------------------------------------------
cold=0
sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null && cold=1
drop() { sync; echo 3 >/proc/sys/vm/drop_caches; }
mkdir -p "$work/times"
note() { echo "$2" >>"$work/times/$1"; }
# Detections of a dry run, as Windows paths, sorted.
detections() { sed -n 's/^\(C:\\.*\)     W32\/Drovak[^ ]* removed$/\1/p' | sort; }

run_row() {  # row cold(0|1) command...
    local row=$1 fresh=$2 t0
    shift 2
    t0=$(now)
    "$@" >"$work/last.out" 2>/dev/null || true
    note "$row-$fresh" "$(since "$t0")"
}
over_mount() {  # row cold(0|1) command... ($mount in it): a read-only mount for the run
    local row=$1 fresh=$2
    shift 2
    ntfs-3g -o ro "$image" "$mount"
    [ "$fresh" = 0 ] && { "$@" >/dev/null 2>&1 || true; }
    [ "$fresh" = 1 ] && drop
    run_row "$row" "$fresh" "$@"
    unmount
}
on_image() {
    local row=$1 fresh=$2
    shift 2
    [ "$fresh" = 0 ] && { "$@" >/dev/null 2>&1 || true; }
    [ "$fresh" = 1 ] && drop
    run_row "$row" "$fresh" "$@"
}

say "$repeats interleaved rounds, cold $( [ $cold = 1 ] && echo and warm || echo "cache not droppable here: warm only")"
for ((round = 0; round < repeats; round++)); do
    for fresh in $( [ $cold = 1 ] && echo 1 0 || echo 0); do
        over_mount find "$fresh" find "$mount" -type f -printf '%s\n'
        on_image ntfsls "$fresh" ntfsls -R -l -f "$image"
        over_mount mount "$fresh" "$offline" --force --dry-run "$mount"
        detections <"$work/last.out" >"$work/found-mount.txt"
        on_image image "$fresh" "$offline" --force --dry-run "$image"
        detections <"$work/last.out" >"$work/found-image.txt"
        scanned=$(sed -n 's/^Total files scanned\t\t:  //p' "$work/last.out")
    done
done

# --- cleaning for real, each form on its own copy -----------------------------------
say "cleaning a copy of the image over the mount, and another one directly"
cp --sparse=always "$image" "$work/by-mount.img"
cp --sparse=always "$image" "$work/by-image.img"
ntfs-3g "$work/by-mount.img" "$mount"
"$offline" --force "$mount" >"$work/clean-mount.out" 2>&1 || true
unmount "$work/by-mount.img"
"$offline" --force "$work/by-image.img" >"$work/clean-image.out" 2>&1 || true
left() { ntfsls -R -f "$1" 2>/dev/null | sort; }
same_left=$(cmp -s <(left "$work/by-mount.img") <(left "$work/by-image.img") && echo yes || echo NO)
removed_mount=$(detections <"$work/clean-mount.out" | wc -l)
removed_image=$(detections <"$work/clean-image.out" | wc -l)
consistent=$(ntfsfix -n "$work/by-image.img" 2>&1 | grep -q 'processed successfully' && echo yes || echo NO)

# --- report --------------------------------------------------------------------------
stats() {  # "median minimum" of a row's runs
    [ -s "$work/times/$1" ] || return 0
    sort -g "$work/times/$1" | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.6f %.6f\n", m, v[1] }'
}
row() {  # name key
    local figures
    figures=$(stats "$2")
    [ -n "$figures" ] || return 0
    awk -v name="$1" -v n="$files" -v f="$figures" -v runs="$(wc -l <"$work/times/$2")" 'BEGIN { split(f, s, " ")
        printf "%-46s %7d %4d %9.3f %9.3f %9.2f %9.2f\n", name, n, runs, s[1], s[2], s[1] * 1e6 / n, s[2] * 1e6 / n }'
}
ratio() {  # text first second
    local a b
    a=$(stats "$2") b=$(stats "$3")
    [ -n "$a" ] && [ -n "$b" ] || return 0
    awk -v t="$1" -v a="$a" -v b="$b" 'BEGIN { split(a, x, " "); split(b, y, " ")
        printf "%-60s %6.2fx (median)  %6.2fx (fastest runs)\n", t, x[1] / y[1], x[2] / y[2] }'
}
same_as_planted() { cmp -s "$1" "$work/planted-windows.txt" && echo "the planted files" || echo "NOT the planted files"; }

echo
echo "NTFS image: $files files ($(du -sh --apparent-size "$image" | cut -f1) image, mkntfs, filled through ntfs-3g);"
echo "            $(wc -l <"$work/planted.txt") planted samples and as many near misses. Runs: $repeats of each row."
[ $cold = 1 ] || echo "            Cold cache: /proc/sys/vm/drop_caches cannot be written here, so every row is warm."
echo
printf "%-46s %7s %4s %9s %9s %9s %9s\n" "" "files" "runs" "median s" "min s" "us/file" "min"
for fresh in 1 0; do
    kind=$( [ $fresh = 1 ] && echo cold || echo warm)
    row "find over the ntfs-3g mount ($kind)" "find-$fresh"
    row "ntfsls -R -l on the image ($kind)" "ntfsls-$fresh"
    row "cordafix-offline over the mount ($kind)" "mount-$fresh"
    row "cordafix-offline on the image ($kind)" "image-$fresh"
done
echo
for fresh in 1 0; do
    kind=$( [ $fresh = 1 ] && echo cold || echo warm)
    ratio "cordafix-offline on the image / find over the mount, $kind (at most 0.2)" "image-$fresh" "find-$fresh"
    ratio "cordafix-offline on the image / ntfsls -R -l, $kind (aim 1.5)" "image-$fresh" "ntfsls-$fresh"
    ratio "cordafix-offline over the mount / find over the mount, $kind" "mount-$fresh" "find-$fresh"
done
echo
echo "Detections (dry runs):"
echo "  over the mount    $(wc -l <"$work/found-mount.txt") ($(same_as_planted "$work/found-mount.txt"))"
echo "  on the image      $(wc -l <"$work/found-image.txt") ($(same_as_planted "$work/found-image.txt")); $scanned files scanned"
echo "Cleaning for real: $removed_mount removed over the mount, $removed_image on the image;" \
     "the same files left on both copies: $same_left; ntfsfix -n on the image cleaned directly: consistent $consistent"
[ "$same_left" = yes ] && cmp -s "$work/found-mount.txt" "$work/found-image.txt" ||
    { echo "ntfs_rows.sh: the two forms of the scanner did not find and remove the same files" >&2; exit 1; }
