#!/usr/bin/env bash
# Checks that runnable samples still start under Wine: for each record given,
# pads a copy of sleeper.exe into that record's sample, starts it in a fresh
# throwaway prefix (Z: removed) and expects it still running after 5 seconds,
# then runs one with a 1-second argument and expects a clean exit.
#
#   check_runnable_wine.sh NATIVE_BUILD WINE_BUILD [RECORD...]
#
# WINE_BUILD is the cross build this machine's Wine runs: build/win32 (PE32
# samples) or, where 32-bit programs cannot start, build/win64 (PE32+ samples,
# which still match through the matcher's 248-byte reading of the section table).
#
# Run it under xvfb-run. The template prefix is shared with the other Wine
# tests ($CORDAFIX_WINE_TEMPLATE, default /tmp/cordafix-wine/template or template-win64).
set -u
native=${1:?NATIVE_BUILD WINE_BUILD [RECORD...]}
win32=${2:?NATIVE_BUILD WINE_BUILD [RECORD...]}
shift 2
records=("$@")
[ ${#records[@]} -gt 0 ] || records=(5 19 84)
. "$(dirname "$0")/../../tests/wine/lib.sh"
# The optional header's magic: 0x10b for a 32-bit program, 0x20b for a 64-bit one.
pe=$(od -An -tu4 -j60 -N4 "$win32/sleeper.exe" | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 "$win32/sleeper.exe" | tr -d ' ')
if { [ "$WINE_ARCH" = win32 ] && [ "$magic" != 010b ]; } || { [ "$WINE_ARCH" = win64 ] && [ "$magic" != 020b ]; }; then
    echo "check_runnable_wine.sh: $win32/sleeper.exe does not suit this machine's Wine ($WINE_ARCH)" >&2
    exit 1
fi
template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
prefix=$(mktemp -d /tmp/cordafix-runnable.XXXXXX)
trap 'wine_stop "$prefix"; rm -rf "$prefix"' EXIT
wine_template_prefix "$template" || exit 1
wine_new_prefix "$template" "$prefix" winxp || exit 1
mkdir -p "$prefix/drive_c/samples"
failed=0
for r in "${records[@]}"; do
    sample="$prefix/drive_c/samples/run$r.exe"
    "$native/make_samples" --runnable "$win32/sleeper.exe" --record "$r" --out "$sample" >/dev/null || { failed=1; continue; }
    matched=$("$native/make_samples" --check "$sample" | cut -f1)
    wine_run "$prefix" 5 "C:\\samples\\run$r.exe"
    rc=$?
    echo "record $r: matches record $matched, exit $rc after 5 s (124 = still running)"
    [ "$matched" = "$r" ] && [ "$rc" = 124 ] || failed=1
done
wine_run "$prefix" 30 "C:\\samples\\run${records[0]}.exe" 1
rc=$?
echo "record ${records[0]} with a 1-second argument: exit $rc"
[ "$rc" = 0 ] || failed=1
exit $failed
