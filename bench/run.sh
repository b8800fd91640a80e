#!/usr/bin/env bash
# Speed benchmark of the scan engine against two floors and two other scanners,
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
#   program under Wine   cordafix.exe itself, SCAN pressed, timed until OK
#   cordafix-offline     the rescue-system scanner, the corpus as drive C:
#                        (--force --dry-run, so the samples stay), timed as a
#                        whole process
#
# The corpus: the PE files of the Wine installation (its DLLs and EXEs) copied
# BENCH_COPIES times, BENCH_SMALL small text files, and one synthetic sample per
# detection record planted among them, each with a near miss (same length, one
# pattern byte changed) that no scanner may report. Everything lives in a temporary folder
# that is removed at the end.
#
# Settings (environment): BENCH_COPIES (3), BENCH_SMALL (3000), BENCH_REPEATS
# (3: runs of YARA, best counts), BENCH_FAST_REPEATS (10: runs of the floors
# and the engine in one round), BENCH_ROUNDS (3 interleaved rounds of those), BENCH_WINE (1; 0 skips the program under Wine),
# BENCH_BUILD (build folder, default $TMPDIR/cordafix-bench-build),
# BENCH_CORDAFIX_EXE (a cordafix.exe to time instead of the one built here),
# BENCH_PE_SOURCE (default: Wine's i386-windows folder).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copies=${BENCH_COPIES:-3}
small=${BENCH_SMALL:-3000}
repeats=${BENCH_REPEATS:-3}
fast_repeats=${BENCH_FAST_REPEATS:-10}
rounds=${BENCH_ROUNDS:-3}
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
cmake -S "$repo" -B "$build/native" >/dev/null
cmake --build "$build/native" -j2 --target bench_floors bench_corpus bench_engine cordafix-offline >/dev/null
bin=$build/native/bench
offline_bin=$build/native/cordafix-offline
# Where 32-bit programs cannot start, the program under Wine is the 64-bit
# build of the same sources under wine64 (tools/wine-arch.sh).
source "$repo/tools/wine-arch.sh"
export CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH:-$(wine_test_arch)}
cross=win32 cross_gxx=i686-w64-mingw32-g++ cross_toolchain=mingw-i686.cmake
if [ "$CORDAFIX_WINE_ARCH" = win64 ]; then
    cross=win64 cross_gxx=x86_64-w64-mingw32-g++ cross_toolchain=mingw-x86_64.cmake
    say "this machine cannot start 32-bit programs: the program under Wine is the 64-bit build"
fi
program_exe=${BENCH_CORDAFIX_EXE:-}
if [ "$with_wine" = 1 ] && [ -n "$program_exe" ]; then
    [ -f "$program_exe" ] || { echo "run.sh: no such program: $program_exe" >&2; exit 1; }
    "$cross_gxx" -O2 -static -o "$build/wine_scan_timer.exe" "$repo/bench/wine_scan_timer.cpp" -luser32 ||
        with_wine=0
elif [ "$with_wine" = 1 ]; then
    program_exe=$build/$cross/cordafix.exe
    toolchain=()
    [ -f "$build/$cross/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$cross_toolchain")
    if cmake -S "$repo" -B "$build/$cross" "${toolchain[@]}" >/dev/null &&
       cmake --build "$build/$cross" -j2 --target cordafix >/dev/null &&
       "$cross_gxx" -O2 -static -o "$build/wine_scan_timer.exe" "$repo/bench/wine_scan_timer.cpp" -luser32; then
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
mkdir -p "$corpus/documents"
"$bin/bench_corpus" small "$corpus/documents" "$small"
"$bin/bench_corpus" plant "$corpus" >"$work/planted.txt" 2>"$work/plant.log" || { cat "$work/plant.log" >&2; exit 1; }
"$bin/bench_corpus" rules "$work/records.yar" "$work/records.ldb" 2>/dev/null
planted=$(wc -l <"$work/planted.txt")
pe_files=$(( (${#dlls[@]} + ${#exes[@]}) * copies ))
corpus_bytes=$(du -sb "$corpus" | cut -f1)

# key=value fields of a result line
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
now() { date +%s.%N; }

# --- measurements ------------------------------------------------------------
say "warming the caches"
"$bin/bench_floors" open "$corpus" 1 >/dev/null

# The faster of two result lines (by their seconds field).
faster() {
    if [ -z "$1" ]; then echo "$2"; return; fi
    awk -v a="$(field seconds "$1")" -v b="$(field seconds "$2")" 'BEGIN { exit !(b < a) }' && echo "$2" || echo "$1"
}

# cordafix-offline on the corpus, the whole process timed: "files=N seconds=S"
# for the fastest of $1 runs; its detections (as host paths) go to $2.
offline_scan() {
    local best= out t0 t1 s
    for ((r = 0; r < $1; r++)); do
        t0=$(now)
        out=$("$offline_bin" --force --dry-run "$corpus" 2>/dev/null) || true
        t1=$(now)
        s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
        if [ -z "$best" ] || awk -v a="$s" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$s; fi
    done
    sed -n 's/^C:\\\(.*\)     W32\/Drovak[^ ]* removed$/\1/p' <<<"$out" | tr '\\' / | sed "s|^|$corpus/|" >"$2"
    echo "files=$(sed -n 's/^Total files scanned\t\t:  //p' <<<"$out") seconds=$best"
}

# The floors and the engine take milliseconds: they run in interleaved rounds,
# so a burst of load from elsewhere on the machine does not hit one of them only.
say "floors and engine, $rounds rounds"
walk= walk2= open= engine= thin= offline=
for ((round = 0; round < rounds; round++)); do
    walk=$(faster "$walk" "$("$bin/bench_floors" walk "$corpus" "$fast_repeats")")
    walk2=$(faster "$walk2" "$("$bin/bench_floors" walk2 "$corpus" "$fast_repeats")")
    open=$(faster "$open" "$("$bin/bench_floors" open "$corpus" "$fast_repeats")")
    engine=$(faster "$engine" "$("$bin/bench_engine" sim "$corpus" "$fast_repeats" "$work/engine-found.txt")")
    thin=$(faster "$thin" "$("$bin/bench_engine" thin "$corpus" "$fast_repeats" "$work/thin-found.txt")")
    offline=$(faster "$offline" "$(offline_scan "$fast_repeats" "$work/offline-found.txt")")
done
files=$(field files "$walk")

say "YARA"
yara_best=
for ((r = 0; r < repeats; r++)); do
    t0=$(now)
    yara -p 1 -r "$work/records.yar" "$corpus" >"$work/yara-out.txt" 2>"$work/yara-err.txt" || true
    t1=$(now)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
    if [ -z "$yara_best" ] || awk -v a="$s" -v b="$yara_best" 'BEGIN { exit !(a < b) }'; then yara_best=$s; fi
done
awk '{ print $2 }' "$work/yara-out.txt" | sort -u >"$work/yara-found.txt"

say "clamscan (one run)"
t0=$(now)
clamscan --no-summary -i -r -d "$work/records.ldb" "$corpus" >"$work/clam-out.txt" 2>"$work/clam-err.txt" || true
t1=$(now)
clam_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }')
grep ' FOUND$' "$work/clam-out.txt" | sed 's/: [^:]* FOUND$//' | sort -u >"$work/clam-found.txt" || true

wine_line=
if [ "$with_wine" = 1 ]; then
    say "the program under Wine (deletes the samples it finds: last)"
    if ! wine_line=$(xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
            bash "$repo/bench/wine_scan.sh" "$program_exe" "$build/wine_scan_timer.exe" \
            "$corpus" "$work/wine" 2>"$work/wine-err.txt"); then
        echo "run.sh: the run under Wine failed:" >&2
        tail -5 "$work/wine-err.txt" >&2
        wine_line=
    fi
    wine_line=$(grep 'files=' <<<"$wine_line" | tail -1 || true)
fi

# --- report ------------------------------------------------------------------
engine_files=$(field files "$engine")
engine_seconds=$(field seconds "$engine")
walk_seconds=$(field seconds "$walk")
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
engine_rate=$(rate "$engine_files" "$engine_seconds")
walk_rate=$(rate "$files" "$walk_seconds")

same_as_planted() { diff -q <(sort "$1") <(sort "$work/planted.txt") >/dev/null && echo "the planted files" || echo "NOT the planted files"; }

row() {  # name files seconds
    local r
    r=$(rate "$2" "$3")
    awk -v name="$1" -v n="$2" -v s="$3" -v r="$r" -v w="$walk_rate" -v e="$engine_rate" 'BEGIN {
        printf "%-44s %7d %9.3f %9d %9.2f %9.2f\n", name, n, s, r, (r > 0 ? w / r : 0), (r > 0 ? e / r : 0) }'
}

echo
echo "Corpus: $files files, $((corpus_bytes / 1048576)) MiB: $pe_files PE files (Wine's DLLs and EXEs x $copies),"
echo "        $small small text files, $planted planted samples (one per record) and as many near misses."
echo "        Best of $rounds x $fast_repeats runs (floors, engine), of $repeats (YARA); clamscan and the program"
echo "        under Wine run once."
echo
printf "%-44s %7s %9s %9s %9s %9s\n" "" "files" "seconds" "files/s" "x walk" "x engine"
row "walk-only floor (readdir + stat)" "$files" "$walk_seconds"
row "two-listing floor (each folder listed twice)" "$(field files "$walk2")" "$(field seconds "$walk2")"
row "open-and-read floor (open, 1 KiB, close)" "$(field files "$open")" "$(field seconds "$open")"
row "engine (native, simulated Windows)" "$engine_files" "$engine_seconds"
row "engine (native, thin host calls)" "$(field files "$thin")" "$(field seconds "$thin")"
row "cordafix-offline (whole process, dry run)" "$(field files "$offline")" "$(field seconds "$offline")"
row "YARA $(yara --version) (-p 1, exact rules)" "$files" "$yara_best"
row "clamscan $(clamscan --version | sed 's/ClamAV \([^/]*\).*/\1/') (logical signatures)" "$files" "$clam_seconds"
if [ -n "$wine_line" ]; then
    row "cordafix.exe under Wine (C: and D:)" "$(field files "$wine_line")" "$(field seconds "$wine_line")"
fi
echo
echo "x walk, x engine: time per file as a multiple of the walk-only floor's and of the engine's."
awk -v e="$engine_rate" -v w="$walk_rate" 'BEGIN {
    printf "Engine vs walk-only floor: %.2fx the time per file (aim: within 1.25x)\n", w / e }'
awk -v t="$(rate "$(field files "$thin")" "$(field seconds "$thin")")" -v w="$walk_rate" \
    -v w2="$(rate "$(field files "$walk2")" "$(field seconds "$walk2")")" 'BEGIN {
    printf "Engine on thin host calls: %.2fx the walk-only floor, %.2fx the two-listing floor\n", w / t, w2 / t }'
awk -v o="$(rate "$(field files "$offline")" "$(field seconds "$offline")")" -v w="$walk_rate" 'BEGIN {
    printf "cordafix-offline vs walk-only floor: %.2fx the time per file (aim: within 1.5x)\n", w / o }'
if [ -n "$wine_line" ]; then
    awk -v r="$(rate "$(field files "$wine_line")" "$(field seconds "$wine_line")")" -v e="$engine_rate" 'BEGIN {
        printf "Program under Wine vs native engine: %d vs %d files/s, ratio %.4f\n", r, e, r / e }'
fi
echo
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

# The figures only count when the exact scanners found exactly the samples.
for list in engine-found thin-found offline-found yara-found; do
    diff -q <(sort "$work/$list.txt") <(sort "$work/planted.txt") >/dev/null ||
        { echo "run.sh: $list differs from the planted samples" >&2; exit 1; }
done
