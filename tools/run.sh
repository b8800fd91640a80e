#!/usr/bin/env bash
# Runs Cordafix.
#
# On Windows the built program is simply started.
# On Linux it is built, then started under Wine in a sandbox prefix of its own
# (build/run/prefix, made afresh each time): Z: (Wine's view of /) is removed,
# the prefix's links into your home folder are replaced by empty folders, and
# D: is a demo drive (build/run/demo) holding synthetic samples among ordinary
# files, so pressing SCAN shows them found and removed. Nothing outside
# build/run is visible to the program.
#
#   tools/run.sh [--no-build] [--mode MODE] [--running-sample] [--shots DIR]
#     --no-build   use the programs already built (otherwise missing tools are
#                  installed first, with tools/install-deps.sh, and both builds made)
#     --mode MODE  Windows version Wine reports: win98, nt40, winxp (default), win10, ...
#     --running-sample
#                  before the window opens, start a synthetic infected program
#                  (D:\running\RUNNING.EXE, a sleeping program padded to match a
#                  detection record) in the sandbox, so that SCAN's memory pass
#                  has something to find. On NT modes the pass terminates it,
#                  removes its file and then ends the program: no drive walk.
#     --shots DIR  no window: run on a virtual display, press SCAN, and keep
#                  before.png and after.png in DIR (the default when $DISPLAY is unset,
#                  with DIR = build/run/shots)
set -uo pipefail
fail() { echo "run.sh: $*" >&2; exit 1; }
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=1
mode=winxp
shots=
running_sample=0
while [ $# -gt 0 ]; do
    case "$1" in
        --no-build) build=0 ;;
        --running-sample) running_sample=1 ;;
        --mode) mode=${2:?--mode needs a value}; shift ;;
        --shots) shots=${2:?--shots needs a folder}; shift ;;
        -h|--help) sed -n '2,24p' "$0"; exit 0 ;;
        *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

case "$(uname -s)" in
    MINGW*|MSYS*|CYGWIN*)
        exe=build/win32/cordafix.exe
        [ -f "$exe" ] || { echo "run.sh: build $exe first (tools/build.sh)" >&2; exit 1; }
        exec "$exe" ;;
esac

# A machine that cannot start 32-bit programs (no wine32) runs a 64-bit build
# of the same sources under wine64 instead (tools/wine-arch.sh).
source tools/wine-arch.sh
export CORDAFIX_WINE_ARCH=${CORDAFIX_WINE_ARCH:-$(wine_test_arch)}
arch=$CORDAFIX_WINE_ARCH
exe_dir=build/win32
[ "$arch" = win64 ] && exe_dir=build/win64

source tools/cross-build.sh
source tools/virtual-display.sh
build_programs() { cross_build "$1" "$2" cordafix e2e_driver sleeper || fail "cross build failed"; }

if [ "$build" = 1 ]; then
    bash tools/install-deps.sh || fail "missing tools could not be installed"
    build_programs build/win32 win32
    [ "$arch" = win64 ] && build_programs build/win64 win64
    cmake -S . -B build/native >/dev/null || fail "native build not configured"
    cmake --build build/native -j"$(nproc)" --target make_samples || fail "native build failed"
fi
if [ "$arch" = win64 ] && [ -z "${CORDAFIX_RUN_XVFB:-}" ]; then
    echo "run.sh: this machine cannot start 32-bit programs: running the 64-bit build of the same sources under wine64"
fi
for f in "$exe_dir/cordafix.exe" "$exe_dir/e2e_driver.exe" "$exe_dir/sleeper.exe" build/native/make_samples; do
    [ -f "$f" ] || { echo "run.sh: $f is missing (run without --no-build)" >&2; exit 1; }
done

if [ -z "${DISPLAY:-}" ] || [ -n "$shots" ]; then
    shots=$(realpath -m "${shots:-build/run/shots}")
    mkdir -p "$shots" || fail "cannot make $shots"
    if [ -z "${CORDAFIX_RUN_XVFB:-}" ]; then
        sample_option=
        [ "$running_sample" = 1 ] && sample_option=--running-sample
        CORDAFIX_RUN_XVFB=1 exec "${virtual_display[@]}" \
            bash "$0" --no-build --mode "$mode" $sample_option --shots "$shots"
    fi
fi

source tests/wine/lib.sh

run=$root/build/run
prefix=$run/prefix
demo=$run/demo
echo "run.sh: preparing the sandbox prefix in $prefix (the first time takes a minute)"
template=$run/template
[ "$arch" = win64 ] && template=$run/template-win64
wine_template_prefix "$template" || fail "no Wine prefix could be made"
[ -d "$prefix" ] && wine_stop "$prefix"
wine_new_prefix "$template" "$prefix" "$mode" || fail "no sandbox prefix"
rm -rf "$demo"
build/native/make_samples --demo "$demo" >/dev/null || fail "no demo drive"
wine_map_drive "$prefix" d "$demo" || fail "D: not mapped"
install=$prefix/drive_c/Program\ Files/Cordafix
mkdir -p "$install" && cp "$exe_dir/cordafix.exe" "$exe_dir/e2e_driver.exe" "$install/" ||
    fail "cannot install into the prefix"
program='C:\Program Files\Cordafix\cordafix.exe'
driver='C:\Program Files\Cordafix\e2e_driver.exe'

if [ "$running_sample" = 1 ]; then
    mkdir -p "$demo/running" &&
        build/native/make_samples --runnable "$exe_dir/sleeper.exe" --record 84 \
            --out "$demo/running/RUNNING.EXE" >/dev/null || fail "no runnable sample"
fi

echo "run.sh: D: is $demo:"
(cd "$demo" && find . -type f | sed 's|^\./|  D:\\|; s|/|\\|g' | sort)

if [ "$running_sample" = 1 ]; then
    wine_start "$prefix" 3600 'D:\running\RUNNING.EXE' 3600 >/dev/null 2>&1
    sleep 2
    echo "run.sh: D:\running\RUNNING.EXE is running; SCAN's memory pass will find it"
    case "$mode" in win9*|winme) ;; *)
        echo "run.sh: in this NT mode the program ends right after the memory pass (restart and scan again)" ;;
    esac
fi

if [ -z "$shots" ] && [ -n "${DISPLAY:-}" ]; then
    trap 'wine_stop "$prefix"' EXIT
    wine_run "$prefix" 86400 "$program" || true
    exit 0
fi

# No display (or screenshots asked for): a virtual one, driven like a user would.
trap 'wine_stop "$prefix"' EXIT
wine_persist "$prefix" 60
drive() { wine_text "$prefix" 120 "$driver" "$@"; }
# The window sits at the top-left corner; its picture is 527 x 338 pixels.
# The bare display is black around the shaped window: make that white, from
# the picture's corners and edges inward, where Pillow is at hand.
whiten() {
    /usr/bin/python3 - "$1" <<'PY' 2>/dev/null || true
import sys
from PIL import Image, ImageDraw
img = Image.open(sys.argv[1]).convert("RGB")
w, h = img.size
for xy in [(0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)] + [(x, 0) for x in range(0, w, 8)]:
    if img.getpixel(xy) == (0, 0, 0):
        ImageDraw.floodfill(img, xy, (255, 255, 255))
img.save(sys.argv[1])
PY
}
shot() {
    timeout -k 2 20 import -window root -crop 527x338+0+0 +repage "$shots/$1" && whiten "$shots/$1"
}

wine_start "$prefix" 600 "$program"
drive wait-window 60 >/dev/null
sleep 1
shot before.png
# The log as it comes: a program that ends after the memory pass takes it along.
drive watch-list 600 >"$run/watched.txt" &
watcher=$!
sleep 1
drive click IDC_SCAN
if ! drive wait-status "Scanning completed" 300 >/dev/null; then
    if drive wait-gone 1 >/dev/null; then
        wait "$watcher"
        echo "run.sh: the program ended after the memory pass; its log, as far as it could be read before the end:"
        grep -v '^WATCHING' "$run/watched.txt" | sed 's/^/  /'
        echo "run.sh: screenshot in $shots (before.png)"
        exit 0
    fi
    echo "run.sh: the scan did not complete" >&2
fi
sleep 1
shot after.png
echo "run.sh: the log after the scan:"
drive list | sed 's/^/  /'
drive click IDC_OK_BUTTON >/dev/null
drive wait-gone 20 >/dev/null || true
wait "$watcher"
echo "run.sh: screenshots in $shots (before.png, after.png)"
