#!/usr/bin/env bash
# Speed benchmark of the scan engine against its floors and two other scanners,
# measured side by side in one run on one corpus:
#
#   walk-only floor      list the tree, read each entry's size, open nothing
#   two-listing floor    the same with each folder listed twice, first for its
#                        files, then for its subfolders, as the scan's walk does
#   open-and-read floor  also open each file, read its first 1 KiB, close it
#   engine               the scan run on the simulated Windows (native build),
#                        the corpus as drive D:, action "leave alone"
#   engine, thin host    the same with the walk's and the matcher's file calls
#                        answered straight by the host: the engine's own cost
#   YARA                 the 85 records as exact rules (Debian's yara, one thread)
#   clamscan             the 85 records as logical signatures (Debian's clamav)
#   required-work floor  bench/required_work_probe.cpp under Wine on the program's
#                        drives: both listings, three pumped messages per file,
#                        the status text set and painted for every entry
#   program under Wine   cordafix.exe itself, SCAN pressed, timed until OK
#   cordafix-offline     the rescue-system scanner, the corpus as drive C:
#                        (--force --dry-run, so the samples stay), timed as a
#                        whole process
#   ... real hives       the same with the corpus as drive D: of a volume whose
#                        Windows\System32\config holds real hives
#                        (tests/data/real-hives: the clean SYSTEM hive of 73,456
#                        values, and the user hive not closed cleanly with its
#                        two logs as SOFTWARE, so that each run recovers it)
#   hive recovery        the user hive brought up to date from its two logs
#                        in memory, and the structural walk of the result
#                        (bench_hives; files read beforehand)
#   Run values           cordafix-offline (dry run) on a small volume whose Run
#                        key holds 500, then 5,000 values beside the one that
#                        launches its infected program: the autostart cleaning
#                        should grow with the values, not with their square
#   NTFS rows            an NTFS image of 50,000 files: find over its ntfs-3g
#                        mount, ntfsls -R -l, cordafix-offline over the mount
#                        and on the image itself, cold and warm
#                        (bench/ntfs_rows.sh, which also runs alone)
#
# The corpus (about BENCH_FILES files, built once per run in a temporary
# folder that is removed at the end): the PE files of the Wine installation
# (its DLLs and EXEs) copied BENCH_COPIES times, small text files to make up
# the count, and one synthetic sample per detection record planted among them,
# each with a near miss (same length, one pattern byte changed) that no scanner
# may report. The samples are planted again before each run of the program,
# which deletes them.
#
# Every figure is the median of its runs, with the fastest run beside it; the
# runs of the different rows are interleaved, so a burst of load from
# elsewhere on the machine does not hit one row only. Each ratio is given for
# both (time per file of one row over time per file of the other).
#
# Settings (environment): BENCH_FILES (200000: the walk-only floor takes about
# 2.5 microseconds a file here, so its runs last half a second), BENCH_COPIES (1),
# BENCH_REPEATS (5: runs of the floors, the engine and YARA), BENCH_SLOW_REPEATS
# (3: runs of clamscan and of the probe and the program under Wine),
# BENCH_WINE (1; 0 skips the rows under Wine), BENCH_NTFS (1; 0 skips the NTFS rows; BENCH_NTFS_FILES
# and BENCH_NTFS_REPEATS set their image's size and runs), BENCH_BUILD (build folder,
# default $TMPDIR/cordafix-bench-build), BENCH_CORDAFIX_EXE (a cordafix.exe to
# time instead of the one built here), BENCH_PE_SOURCE (default: Wine's folder
# of Windows DLLs).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target_files=${BENCH_FILES:-200000}
copies=${BENCH_COPIES:-1}
repeats=${BENCH_REPEATS:-5}
slow_repeats=${BENCH_SLOW_REPEATS:-3}
with_wine=${BENCH_WINE:-1}
build=${BENCH_BUILD:-${TMPDIR:-/tmp}/cordafix-bench-build}
pe_source=${BENCH_PE_SOURCE:-}
if [ -z "$pe_source" ]; then
    for candidate in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows \
                     /opt/wine-stable/lib/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows; do
        [ -d "$candidate" ] && { pe_source=$candidate; break; }
    done
fi
[ -n "$pe_source" ] && [ -d "$pe_source" ] || { echo "run.sh: no folder of Wine's Windows DLLs (set BENCH_PE_SOURCE)" >&2; exit 1; }

say() { echo "== $*" >&2; }

# --- tools -------------------------------------------------------------------
missing=()
command -v yara >/dev/null || missing+=(yara)
command -v clamscan >/dev/null || missing+=(clamav)
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null; }
fi

# --- build -------------------------------------------------------------------
say "building the bench programs in $build"
# A build folder configured from another checkout cannot be reused: start it afresh.
if [ -f "$build/native/CMakeCache.txt" ] &&
    ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$repo" "$build/native/CMakeCache.txt"; then
    rm -rf "$build/native"
fi
cmake -S "$repo" -B "$build/native" >/dev/null
cmake --build "$build/native" -j2 --target bench_floors bench_corpus bench_engine bench_hives bench_run_values \
    cordafix-offline >/dev/null
bin=$build/native/bench
offline_bin=$build/native/cordafix-offline
# Where 32-bit programs cannot start, the program under Wine is the 64-bit
# build of the same sources under wine64 (tools/wine-arch.sh).
source "$repo/tools/wine-arch.sh"
export CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH:-$(wine_test_arch)}
source "$repo/tools/cross-build.sh"
source "$repo/tools/virtual-display.sh"
cross=$CORDAFIX_WINE_ARCH
cross_gxx=$(cross_compiler "$cross")
if [ "$cross" = win64 ]; then
    say "this machine cannot start 32-bit programs: the program under Wine is the 64-bit build"
fi
# The probe borrows the program's window helpers to make the same window.
build_probe() {
    "$cross_gxx" -O2 -static -I"$repo" -o "$build/required_work_probe.exe" "$repo/bench/required_work_probe.cpp" \
        "$repo/ui/ShapedWindow.cpp" "$repo/ui/logic/Rescale.cpp" "$repo/ui/logic/RegionRuns.cpp" -luser32 -lgdi32
}
program_exe=${BENCH_CORDAFIX_EXE:-}
if [ "$with_wine" = 1 ] && [ -n "$program_exe" ]; then
    [ -f "$program_exe" ] || { echo "run.sh: no such program: $program_exe" >&2; exit 1; }
    { "$cross_gxx" -O2 -static -I"$repo" -o "$build/wine_scan_timer.exe" "$repo/bench/wine_scan_timer.cpp" -luser32 &&
      build_probe; } ||
        with_wine=0
elif [ "$with_wine" = 1 ]; then
    program_exe=$build/$cross/cordafix.exe
    if cross_build "$build/$cross" "$cross" cordafix >/dev/null &&
       "$cross_gxx" -O2 -static -I"$repo" -o "$build/wine_scan_timer.exe" "$repo/bench/wine_scan_timer.cpp" -luser32 &&
       build_probe; then
        :
    else
        echo "run.sh: the cross build failed; the program under Wine is left out" >&2
        with_wine=0
    fi
fi

# --- corpus ------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/cordafix-bench.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
corpus=$work/corpus
say "building the corpus in $corpus"
shopt -s nullglob nocaseglob
dlls=("$pe_source"/*.dll)
exes=("$pe_source"/*.exe)
shopt -u nullglob nocaseglob
for ((k = 1; k <= copies; k++)); do
    mkdir -p "$corpus/wine$k/system32" "$corpus/wine$k/programs"
    cp "${dlls[@]}" "$corpus/wine$k/system32/"
    cp "${exes[@]}" "$corpus/wine$k/programs/"
done
small=$(( target_files - (${#dlls[@]} + ${#exes[@]}) * copies - 170 ))
[ "$small" -gt 0 ] || small=0
mkdir -p "$corpus/documents"
"$bin/bench_corpus" small "$corpus/documents" "$small"
"$bin/bench_corpus" plant "$corpus" >"$work/planted.txt" 2>"$work/plant.log" || { cat "$work/plant.log" >&2; exit 1; }
"$bin/bench_corpus" rules "$work/records.yar" "$work/records.ldb" 2>/dev/null
planted=$(wc -l <"$work/planted.txt")
# A volume with the real hives (SYSTEM, and the user hive with its logs as SOFTWARE).
config=$work/volume/Windows/System32/config hives=$work/hives real=$repo/tests/data/real-hives
mkdir -p "$config" "$hives"
xz -dc "$real/SYSTEM-clean.xz" >"$config/SYSTEM"
for suffix in "" .LOG1 .LOG2; do
    xz -dc "$real/NTUSER-dirty.DAT$suffix.xz" >"$hives/NTUSER.DAT$suffix"
    cp "$hives/NTUSER.DAT$suffix" "$config/SOFTWARE$suffix"
done
pe_files=$(( (${#dlls[@]} + ${#exes[@]}) * copies ))
corpus_bytes=$(du -sb "$corpus" | cut -f1)

# key=value fields of a result line
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
now() { date +%s.%N; }

# --- measurements ------------------------------------------------------------
say "warming the caches"
"$bin/bench_floors" open "$corpus" 1 >/dev/null

# Seconds of each run of each row, one figure a line, in $work/times/<row>.
mkdir -p "$work/times"
note() { echo "$2" >>"$work/times/$1"; }
seconds_of() { field seconds "$1"; }

# cordafix-offline on the corpus, the whole process timed: "files=N seconds=S";
# its detections (as host paths) go to $1.
offline_scan() {
    local out t0
    t0=$(now)
    out=$("$offline_bin" --force --dry-run "$corpus" 2>/dev/null) || true
    sed -n 's/^C:\\\(.*\)     W32\/Drovak[^ ]* removed$/\1/p' <<<"$out" | tr '\\' / | sed "s|^|$corpus/|" >"$1"
    echo "files=$(sed -n 's/^Total files scanned\t\t:  //p' <<<"$out")" \
         "seconds=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }')"
}

# The same on the volume with the real hives, the corpus as its drive D:;
# fails when it did not recover SOFTWARE or found other than the samples.
offline_hives_scan() {
    local out t0
    t0=$(now)
    out=$("$offline_bin" --dry-run --drive "D=$corpus" "$work/volume" 2>/dev/null) || true
    grep -q '^Registry hive SOFTWARE: .*(recovered from its transaction logs' <<<"$out" || return 1
    [ "$(grep -c '^D:\\.*     W32/Drovak[^ ]* removed$' <<<"$out")" -eq "$planted" ] || return 1
    echo "files=$(sed -n 's/^Total files scanned\t\t:  //p' <<<"$out")" \
         "seconds=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }')"
}

say "floors, engine and YARA: $repeats interleaved rounds"
for ((round = 0; round < repeats; round++)); do
    walk=$("$bin/bench_floors" walk "$corpus" 1) && note walk "$(seconds_of "$walk")"
    walk2=$("$bin/bench_floors" walk2 "$corpus" 1) && note walk2 "$(seconds_of "$walk2")"
    open=$("$bin/bench_floors" open "$corpus" 1) && note open "$(seconds_of "$open")"
    engine=$("$bin/bench_engine" sim "$corpus" 1 "$work/engine-found.txt") && note engine "$(seconds_of "$engine")"
    thin=$("$bin/bench_engine" thin "$corpus" 1 "$work/thin-found.txt") && note thin "$(seconds_of "$thin")"
    offline=$(offline_scan "$work/offline-found.txt") && note offline "$(seconds_of "$offline")"
    hives_line=$(offline_hives_scan) ||
        { echo "run.sh: cordafix-offline on real hives did not recover SOFTWARE or missed samples" >&2; exit 1; }
    note hives "$(seconds_of "$hives_line")"
    hive=$("$bin/bench_hives" "$hives/NTUSER.DAT" "$hives/NTUSER.DAT.LOG1" "$hives/NTUSER.DAT.LOG2") &&
        note recover "$(field recover "$hive")" && note hivewalk "$(field walk "$hive")"
    t0=$(now)
    yara -p 1 -r "$work/records.yar" "$corpus" >"$work/yara-out.txt" 2>"$work/yara-err.txt" || true
    note yara "$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }')"
done
files=$(field files "$walk")
awk '{ print $2 }' "$work/yara-out.txt" | sort -u >"$work/yara-found.txt"

say "clamscan: $slow_repeats runs"
for ((round = 0; round < slow_repeats; round++)); do
    t0=$(now)
    clamscan --no-summary -i -r -d "$work/records.ldb" "$corpus" >"$work/clam-out.txt" 2>"$work/clam-err.txt" || true
    note clam "$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }')"
done
grep ' FOUND$' "$work/clam-out.txt" | sed 's/: [^:]* FOUND$//' | sort -u >"$work/clam-found.txt" || true

# Under Wine, each run in a fresh prefix whose D: is the corpus: the probe,
# then the program, on the same tree (the program deletes the samples: they
# are planted again before each pair).
wine_line= probe_line=
xvfb() { "${virtual_display[@]}" "$@"; }
if [ "$with_wine" = 1 ]; then
    say "the required-work probe and the program under Wine: $slow_repeats interleaved rounds"
    for ((round = 0; round < slow_repeats; round++)); do
        "$bin/bench_corpus" plant "$corpus" >/dev/null 2>&1
        line=$(xvfb bash "$repo/bench/wine_scan.sh" --probe "$build/required_work_probe.exe" "$program_exe" "$corpus" \
               "$work/wine-probe" 2>"$work/wine-err.txt" | grep 'files=' | tail -1 || true)
        [ -n "$line" ] && { probe_line=$line; note probe "$(seconds_of "$line")"; } ||
            { echo "run.sh: the probe under Wine failed:" >&2; tail -5 "$work/wine-err.txt" >&2; }
        line=$(xvfb bash "$repo/bench/wine_scan.sh" "$program_exe" "$build/wine_scan_timer.exe" "$corpus" \
               "$work/wine" 2>"$work/wine-err.txt" | grep 'files=' | tail -1 || true)
        [ -n "$line" ] && { wine_line=$line; note program "$(seconds_of "$line")"; } ||
            { echo "run.sh: the run under Wine failed:" >&2; tail -5 "$work/wine-err.txt" >&2; }
    done
fi

say "Run values: $repeats runs each"
for count in 500 5000; do
    "$bin/bench_run_values" "$work/run$count" "$count"
    for ((round = 0; round < repeats; round++)); do
        t0=$(now)
        "$offline_bin" --dry-run "$work/run$count" >/dev/null 2>&1 || true
        note "run$count" "$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.6f", b - a }')"
    done
done

# --- report ------------------------------------------------------------------
# "median minimum" of a row's runs (empty when it has none).
stats() {
    [ -s "$work/times/$1" ] || return 0
    sort -g "$work/times/$1" | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.6f %.6f\n", m, v[1] }'
}
# Microseconds per file of a row: "median minimum".
per_file() {
    local figures
    figures=$(stats "$1")
    [ -n "$figures" ] && [ "${2:-0}" -gt 0 ] || return 0
    awk -v n="$2" -v f="$figures" 'BEGIN { split(f, s, " "); printf "%.4f %.4f\n", s[1] * 1e6 / n, s[2] * 1e6 / n }'
}
engine_files=$(field files "$engine")
wine_files=$(field files "$wine_line")
probe_files=$(field files "$probe_line")
declare -A row_files=([walk]=$files [walk2]=$(field files "$walk2") [open]=$(field files "$open")
                      [engine]=$engine_files [thin]=$(field files "$thin") [offline]=$(field files "$offline") [hives]=$(field files "$hives_line") [yara]=$files [clam]=$files
                      [probe]=${probe_files:-0} [program]=${wine_files:-0})

row() {  # name key
    local figures micro
    figures=$(stats "$2")
    [ -n "$figures" ] || return 0
    micro=$(per_file "$2" "${row_files[$2]}")
    awk -v name="$1" -v n="${row_files[$2]}" -v f="$figures" -v u="$micro" -v runs="$(wc -l <"$work/times/$2")" 'BEGIN {
        split(f, s, " "); split(u, p, " ")
        printf "%-46s %7d %4d %9.3f %9.3f %9.2f %9.2f\n", name, n, runs, s[1], s[2], p[1], p[2] }'
}

# One summary line per ratio: time per file of the first row over the second's.
ratio() {  # text first second
    local a b
    a=$(per_file "$2" "${row_files[$2]}")
    b=$(per_file "$3" "${row_files[$3]}")
    [ -n "$a" ] && [ -n "$b" ] || return 0
    awk -v t="$1" -v a="$a" -v b="$b" 'BEGIN { split(a, x, " "); split(b, y, " ")
        printf "%-52s %6.2fx (median)  %6.2fx (fastest runs)\n", t, x[1] / y[1], x[2] / y[2] }'
}

echo
echo "Corpus: $files files, $((corpus_bytes / 1048576)) MiB: $pe_files PE files (Wine's DLLs and EXEs x $copies),"
echo "        $small small text files, $planted planted samples (one per record) and as many near misses."
echo "        Runs: $repeats of the floors, the engine and YARA; $slow_repeats of clamscan and of the rows under Wine."
echo
printf "%-46s %7s %4s %9s %9s %9s %9s\n" "" "files" "runs" "median s" "min s" "us/file" "min"
row "walk-only floor (readdir + stat)" walk
row "two-listing floor (each folder listed twice)" walk2
row "open-and-read floor (open, 1 KiB, close)" open
row "engine (native, simulated Windows)" engine
row "engine (native, thin host calls)" thin
row "cordafix-offline (whole process, dry run)" offline
row "cordafix-offline, the same with real hives" hives
row "YARA $(yara --version) (-p 1, exact rules)" yara
row "clamscan $(clamscan --version | sed 's/ClamAV \([^/]*\).*/\1/') (logical signatures)" clam
row "required-work floor under Wine (probe, C: and D:)" probe
row "cordafix.exe under Wine (C: and D:)" program
echo
ratio "Engine / walk-only floor" engine walk
ratio "Engine / two-listing floor" engine walk2
ratio "Engine on thin host calls / two-listing floor" thin walk2
ratio "cordafix-offline / walk-only floor (aim 1.5)" offline walk
ratio "cordafix-offline with real hives / walk-only floor" hives walk
ratio "YARA / engine" yara engine
ratio "clamscan / engine" clam engine
ratio "Program under Wine / required-work floor under Wine (aim 1.1)" program probe
echo
seconds_row() {  # name key
    local figures
    figures=$(stats "$2")
    [ -n "$figures" ] || return 0
    awk -v name="$1" -v f="$figures" -v runs="$(wc -l <"$work/times/$2")" 'BEGIN {
        split(f, s, " "); printf "%-60s %4d runs  median %8.4f s  fastest %8.4f s\n", name, runs, s[1], s[2] }'
}
echo "Hives, in memory ($(field entries "$hive") log entries, $(field keys "$hive") keys, $(field values "$hive") values):"
seconds_row "  recovery of the real user hive from its two logs" recover
seconds_row "  structural walk of the recovered hive" hivewalk
echo
echo "Autostart cleaning (cordafix-offline, dry run, one infected file), median / fastest in s:"
for count in 500 5000; do
    awk -v n="$count" -v f="$(stats "run$count")" 'BEGIN { split(f, s, " ")
        printf "  %5d Run values      %9.3f %9.3f\n", n, s[1], s[2] }'
done
awk -v a="$(stats run5000)" -v b="$(stats run500)" 'BEGIN { split(a, x, " "); split(b, y, " ")
    printf "  5,000 / 500 values      %6.2fx (median)  %6.2fx (fastest runs); linear would be at most 10x\n",
        x[1] / y[1], x[2] / y[2] }'
for floor in walk walk2 open; do
    awk -v f="$(stats "$floor")" -v n="$floor" 'BEGIN { split(f, s, " ")
        if (s[2] < 0.5) printf "note: the %s floor took %.3f s in its fastest run, below half a second: raise BENCH_FILES\n", n, s[2] }'
done
echo
same_as_planted() { diff -q <(sort "$1") <(sort "$work/planted.txt") >/dev/null && echo "the planted files" || echo "NOT the planted files"; }
echo "Detections:"
echo "  planted samples                 $planted"
echo "  engine                          $(field infected "$engine") ($(same_as_planted "$work/engine-found.txt"))"
echo "  engine, thin host calls         $(field infected "$thin") ($(same_as_planted "$work/thin-found.txt"))"
echo "  cordafix-offline                $(wc -l <"$work/offline-found.txt") ($(same_as_planted "$work/offline-found.txt"))"
echo "  YARA (exact rules)              $(wc -l <"$work/yara-found.txt") ($(same_as_planted "$work/yara-found.txt"))"
echo "  clamscan (EP+k counts file bytes, so the database only approximates the records)"
echo "                                  $(wc -l <"$work/clam-found.txt") found; the samples whose entry point lies in their"
echo "                                  patterns' section (file and image distances agree there):" \
     "$(sed -n "s/.*patterns' section: //p" "$work/plant.log")"
[ "$(grep -c . "$work/clam-found.txt")" -eq "$(grep -Fxc -f "$work/clam-found.txt" "$work/planted.txt")" ] ||
    echo "                                  (some of its finds are not planted samples)"
if [ -n "$wine_line" ]; then
    left=0
    while IFS= read -r sample; do [ -e "$sample" ] && left=$((left + 1)); done <"$work/planted.txt"
    echo "  cordafix.exe under Wine         $(field infected "$wine_line") infected; $(field files "$wine_line") files scanned" \
         "(the prefix's C: adds $(( $(field files "$wine_line") - files )) to the corpus)"
    echo "                                  samples left on D: after it: $left;" \
         "near misses left: $(find "$corpus" -name 'update[0-9][0-9].exe' | wc -l) of $planted"
fi
if [ -s "$work/plant.log" ] && grep -q 'no sample' "$work/plant.log"; then
    echo "  records without a sample:"; grep 'no sample' "$work/plant.log" | sed 's/^/    /'
fi
echo
echo "Heap allocations during one scan (engine with the file checker wrapped to count):"
echo "  simulated Windows:  $(field allocs "$engine") in all, $(field clean_check_allocs "$engine") while checking files" \
     "found clean, $(field detection_allocs "$engine") for the detections"
echo "  thin host calls:    $(field allocs "$thin") in all, $(field clean_check_allocs "$thin") while checking files" \
     "found clean, $(field detection_allocs "$thin") for the detections"

# The NTFS image: the library in this process against the mount.
if [ "${BENCH_NTFS:-1}" = 1 ]; then
    bash "$repo/bench/ntfs_rows.sh" "$offline_bin" "$bin/bench_corpus" "$pe_source"
fi

# The figures only count when the exact scanners found exactly the samples.
for list in engine-found thin-found offline-found yara-found; do
    diff -q <(sort "$work/$list.txt") <(sort "$work/planted.txt") >/dev/null ||
        { echo "run.sh: $list differs from the planted samples" >&2; exit 1; }
done
