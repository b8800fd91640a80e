# The one shell library for running the cross-built programs under Wine: the
# Wine tests, the end-to-end harness, tools/run.sh and the benchmark source it.
# Every function returns non-zero on failure.
#
#   wine_template_prefix DIR                 build (once) the template prefix DIR
#   wine_new_prefix TEMPLATE DEST MODE       copy TEMPLATE to DEST, Windows version MODE, sealed
#   wine_test_prefix NAME MODE               a sealed prefix in a new temporary folder, gone at exit:
#                                            WINE_WORK (the folder), WINE_PREFIX (WINE_WORK/prefix)
#   wine_seal_prefix PREFIX                  the one way to seal: no drive but C:, no link off C:
#   wine_check_sealed PREFIX                 fails when PREFIX is not (or no longer) sealed
#   wine_map_drive PREFIX LETTER HOSTDIR     map drive LETTER: of PREFIX to HOSTDIR
#   wine_check_drives PREFIX                 fails when a drive of PREFIX holds a link that leads off it
#   wine_run PREFIX SECONDS EXE [ARGS...]    run EXE in PREFIX, killed after SECONDS
#   wine_start PREFIX SECONDS EXE [ARGS...]  the same in the background; WINE_PID is its process
#   wine_text PREFIX SECONDS EXE [ARGS...]   wine_run, its output without the console's CRs
#   wine_reg PREFIX ARGS...                  Wine's reg command in PREFIX, output without CRs
#   wine_stop PREFIX                         end the wineserver of PREFIX (and its processes)
#   wine_persist PREFIX [SECONDS]            keep PREFIX's wineserver up between runs (faster starts)
#
#   check WHAT COMMAND...                    one check: "ok   LABEL: WHAT" or "FAIL LABEL: WHAT"
#                                            (LABEL is CHECK_LABEL); counts CHECKS and FAILURES
#   same ACTUAL EXPECTED                     equal texts, both shown when they differ
#   fails COMMAND...                         COMMAND fails
#
# Each test prefix has every drive but C: removed (Z: above all), and no
# drive of it holds a link that leads off the drive or to a file, so nothing
# in it can reach the host's own files through a drive letter. Wine processes
# are only ever ended through the wineserver of their own prefix: other
# prefixes may be running.

WINE_VERSION_MODES="win95 win98 winme nt40 win2k winxp win2003 vista win7 win8 win81 win10"

# win32 (the 32-bit build under wine32), or win64 (a 64-bit build under wine64)
# on machines that cannot start 32-bit programs; see tools/wine-arch.sh.
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-arch.sh"
WINE_ARCH=${CORDAFIX_WINE_ARCH:-$(wine_test_arch)}
case "$WINE_ARCH" in
    win32) WINE_TEMPLATE_DEFAULT=/tmp/cordafix-wine/template ;;
    win64) WINE_TEMPLATE_DEFAULT=/tmp/cordafix-wine/template-win64 ;;
    *) echo "lib.sh: unknown Wine architecture '$WINE_ARCH'" >&2; return 1 ;;
esac

# With wine32 installed, Debian's wine command (and wine-stable, which wineboot
# and the other tool commands call) starts the 32-bit loader, which such a
# machine refuses: put ones that start wine64 first on the PATH. The
# folder is made whole beside its place and moved in, as other tests may be
# looking for it at the same moment.
_wine_use_wine64() {
    local bin=/tmp/cordafix-wine/bin64 build
    if [ ! -x "$bin/wine-stable" ]; then
        mkdir -p /tmp/cordafix-wine || return 1
        build=$(mktemp -d /tmp/cordafix-wine/bin64.XXXXXX) || return 1
        # Scripts, not links: the loader finds its own files through the name it was started by.
        printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$build/wine" &&
            cp "$build/wine" "$build/wine-stable" && chmod 755 "$build" "$build/wine" "$build/wine-stable" &&
            { mv -T "$build" "$bin" 2>/dev/null || rm -rf "$build"; }
    fi
    [ -x "$bin/wine-stable" ] || { echo "lib.sh: no wine64 at /usr/lib/wine/wine64" >&2; return 1; }
    PATH="$bin:$PATH"
    export PATH
}
if [ "$WINE_ARCH" = win64 ]; then
    _wine_use_wine64 || return 1
fi

# True when DIR may be replaced: missing, empty, or a Wine prefix.
_wine_replaceable() {
    local dir=$1
    [ ! -e "$dir" ] && return 0
    [ -d "$dir" ] || return 1
    [ -z "$(ls -A "$dir")" ] || [ -f "$dir/system.reg" ]
}

_wine_env() {
    # Usage: _wine_env PREFIX command...  (runs command with that prefix, quietly)
    local prefix=$1
    shift
    WINEDEBUG=-all WINEPREFIX="$prefix" WINEARCH="$WINE_ARCH" WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}

# wine_template_prefix DIR
# Creates the template prefix once: of WINE_ARCH, without the .NET and HTML engines,
# unmanaged X11 windows, no crash dialog. Later calls (also concurrent ones
# from other shells) find it ready and return at once.
wine_template_prefix() {
    local dir=${1:?wine_template_prefix DIR}
    dir=$(realpath -m "$dir")
    mkdir -p "$(dirname "$dir")" || return 1
    (
        flock -w 600 9 || { echo "wine_template_prefix: lock on $dir timed out" >&2; exit 1; }
        [ -f "$dir/.cordafix-ready" ] && exit 0
        _wine_replaceable "$dir" || { echo "wine_template_prefix: $dir exists and is no Wine prefix" >&2; exit 1; }
        local build="$dir.build.$$"
        rm -rf "$build"
        _wine_env "$build" timeout -k 10 300 wineboot -i >/dev/null 2>&1 || { rm -rf "$build"; exit 1; }
        _wine_env "$build" timeout -k 10 120 wineserver -w
        _wine_env "$build" timeout -k 10 60 wine reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /d N /f >/dev/null 2>&1 &&
        _wine_env "$build" timeout -k 10 60 wine reg add 'HKCU\Software\Wine\WineDbg' \
            /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || {
            _wine_env "$build" wineserver -k 2>/dev/null
            rm -rf "$build"
            exit 1
        }
        # Let the server write the registry to disk before the copy is taken.
        _wine_env "$build" timeout -k 10 120 wineserver -k 2>/dev/null
        _wine_env "$build" timeout -k 10 120 wineserver -w 2>/dev/null
        wine_seal_prefix "$build" || { rm -rf "$build"; exit 1; }
        rm -rf "$dir"
        mv "$build" "$dir" && touch "$dir/.cordafix-ready"
    ) 9>"$dir.lock"
}

# The links below DIR that could take a scan of DIR somewhere else, each
# ended by a NUL: every link whose target lies outside DIR (or nowhere), and
# every link to something that is not a folder. Wine lists a link to a file
# as a plain file, so a scan cannot tell it from one, and Wine's delete
# through it removes the target. Links to folders inside DIR may stay: the
# scan does not enter them.
_wine_links_off() {
    local root link target
    root=$(realpath -e "$1") || return 1
    while IFS= read -r -d '' link; do
        target=$(realpath -qe "$link") || target=
        if [ -z "$target" ] || [ ! -d "$target" ] || [[ "$target/" != "$root/"* ]]; then
            printf '%s\0' "$link"
        fi
    done < <(find "$root" -type l -print0 2>/dev/null)
}

# Wine links the user's Desktop, Documents, Music, ... folders on C: to the
# host's home folder (Templates too): a scan of every fixed drive would walk
# (and could clean) the host's own files. Every link on C: that leads off it
# becomes an empty folder (a link to a file goes); fails when one is left.
_wine_cut_host_links() {
    local prefix=$1 link folder
    while IFS= read -r -d '' link; do
        folder=0
        [ -d "$link" ] && folder=1
        rm -f -- "$link" || return 1
        if [ "$folder" = 1 ]; then mkdir -- "$link" || return 1; fi
    done < <(_wine_links_off "$prefix/drive_c")
    if [ -n "$(_wine_links_off "$prefix/drive_c" | head -c 1)" ]; then
        echo "wine prefix $prefix: C: still links outside the prefix" >&2
        return 1
    fi
}

# wine_seal_prefix PREFIX
# Removes every drive of PREFIX but C: (Z:, Wine's view of /, above all; the
# caller maps its own drives afterwards), cuts the links that lead off C:,
# and checks the outcome.
wine_seal_prefix() {
    local prefix=${1:?wine_seal_prefix PREFIX} entry
    [ -d "$prefix/drive_c" ] || { echo "wine_seal_prefix: $prefix is no Wine prefix" >&2; return 1; }
    for entry in "$prefix"/dosdevices/?: "$prefix"/dosdevices/?::; do
        [ -e "$entry" ] || [ -L "$entry" ] || continue
        [ "${entry##*/}" = c: ] || rm -f "$entry" || return 1
    done
    _wine_cut_host_links "$prefix" || return 1
    wine_check_sealed "$prefix"
}

# wine_check_sealed PREFIX
# Fails (and says why) when PREFIX has a Z: drive, a C: that is not its own
# drive_c, or a drive holding links that lead off it or to files.
wine_check_sealed() {
    local prefix=${1:?wine_check_sealed PREFIX}
    if [ -e "$prefix/dosdevices/z:" ] || [ -L "$prefix/dosdevices/z:" ]; then
        echo "wine prefix $prefix still has a Z: drive" >&2
        return 1
    fi
    if [ "$(readlink -f "$prefix/dosdevices/c:")" != "$(readlink -f "$prefix/drive_c")" ]; then
        echo "wine prefix $prefix: C: is not its drive_c" >&2
        return 1
    fi
    wine_check_drives "$prefix"
}

# wine_check_drives PREFIX
# Fails (and names them) when the folder of a drive of PREFIX holds links
# that lead off it or to files (see _wine_links_off). The caller then goes no
# further: the content of a test drive is the test's own doing.
wine_check_drives() {
    local prefix=${1:?wine_check_drives PREFIX} drive found status=0
    for drive in "$prefix"/dosdevices/?:; do
        [ -d "$drive" ] || continue
        found=$(_wine_links_off "$drive" | tr '\0' '\n')
        if [ -n "$found" ]; then
            echo "wine prefix $prefix: drive ${drive##*/} holds links that lead off it or to files:" >&2
            printf '  %s\n' "$found" >&2
            status=1
        fi
    done
    return "$status"
}

# wine_new_prefix TEMPLATE DEST MODE
# A fresh prefix copied from TEMPLATE (DEST is replaced), answering as the
# Windows version MODE (win98, nt40, winxp, win10, ...; empty keeps Wine's default).
wine_new_prefix() {
    local template=${1:?wine_new_prefix TEMPLATE DEST MODE} dest=${2:?wine_new_prefix TEMPLATE DEST MODE}
    local mode=${3-}
    if [ ! -f "$template/.cordafix-ready" ]; then
        echo "wine_new_prefix: $template is not a finished template (run wine_template_prefix)" >&2
        return 1
    fi
    if [ -n "$mode" ] && [[ " $WINE_VERSION_MODES " != *" $mode "* ]]; then
        echo "wine_new_prefix: unknown version mode '$mode'" >&2
        return 1
    fi
    _wine_replaceable "$dest" || { echo "wine_new_prefix: $dest exists and is no Wine prefix" >&2; return 1; }
    rm -rf "$dest" && mkdir -p "$(dirname "$dest")" && cp -a "$template" "$dest" || return 1
    rm -f "$dest/.cordafix-ready"
    wine_seal_prefix "$dest" || return 1
    if [ -n "$mode" ]; then
        _wine_env "$dest" timeout -k 10 60 wine reg add 'HKCU\Software\Wine' /v Version /d "$mode" /f \
            >/dev/null 2>&1 || return 1
    fi
}

# wine_test_prefix NAME MODE
# A sealed prefix of Windows version MODE in a new temporary folder
# (cordafix-NAME.XXXXXX), made from the template (CORDAFIX_WINE_TEMPLATE, else
# the shared one): WINE_WORK is the folder, WINE_PREFIX the prefix in it. At
# exit the prefix's wineserver is ended and the folder removed: by
# wine_test_cleanup, which a caller with an EXIT trap of its own calls from it.
wine_test_prefix() {
    local name=${1:?wine_test_prefix NAME MODE} mode=${2-}
    local template=${CORDAFIX_WINE_TEMPLATE:-$WINE_TEMPLATE_DEFAULT}
    WINE_WORK=$(mktemp -d "${TMPDIR:-/tmp}/cordafix-$name.XXXXXX") || return 1
    WINE_PREFIX="$WINE_WORK/prefix"
    [ -n "$(trap -p EXIT)" ] || trap wine_test_cleanup EXIT
    wine_template_prefix "$template" || { echo "wine_test_prefix: no template prefix" >&2; return 1; }
    wine_new_prefix "$template" "$WINE_PREFIX" "$mode"
}

wine_test_cleanup() {
    [ -n "${WINE_WORK:-}" ] || return 0
    wine_stop "$WINE_PREFIX"
    rm -rf "$WINE_WORK"
}

# wine_map_drive PREFIX LETTER HOSTDIR
# Maps LETTER: to HOSTDIR (created when missing); Wine reports it as a fixed
# drive. Refuses (and leaves it unmapped) when HOSTDIR holds links that lead
# off it or to files.
wine_map_drive() {
    local prefix=${1:?wine_map_drive PREFIX LETTER HOSTDIR} letter=${2:?wine_map_drive PREFIX LETTER HOSTDIR}
    local host=${3:?wine_map_drive PREFIX LETTER HOSTDIR}
    letter=$(printf '%s' "${letter%:}" | tr 'A-Z' 'a-z')
    if [[ ! "$letter" =~ ^[a-y]$ ]]; then
        echo "wine_map_drive: drive letter '$2' not allowed (Z: stays unmapped)" >&2
        return 1
    fi
    mkdir -p "$host" || return 1
    if [ -n "$(_wine_links_off "$host" | head -c 1)" ]; then
        echo "wine_map_drive: $host holds links that lead off it or to files:" >&2
        _wine_links_off "$host" | tr '\0' '\n' | sed 's/^/  /' >&2
        return 1
    fi
    ln -sfn "$(realpath "$host")" "$prefix/dosdevices/$letter:"
}

# wine_run PREFIX SECONDS EXE [ARGS...]
# Runs EXE (a Windows path such as 'C:\tests\x.exe', a program Wine knows by
# name such as reg, or an absolute host path) in PREFIX and returns its exit
# code; 124 when it had to be stopped after SECONDS.
wine_run() {
    _wine_program_given "$@" || return 1
    (_wine_exec "$@")
}

# wine_start PREFIX SECONDS EXE [ARGS...]
# wine_run in the background. WINE_PID is the timed process itself, so that
# waiting for it gives EXE's exit code.
wine_start() {
    _wine_program_given "$@" || return 1
    (_wine_exec "$@") &
    WINE_PID=$!
}

# wine_text PREFIX SECONDS EXE [ARGS...]
# wine_run with the CRs of the Wine console taken out of the output.
wine_text() {
    wine_run "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# wine_reg PREFIX ARGS...
# Wine's reg command (reg add, reg query, ...) in PREFIX, stopped after a
# minute; its output without CRs, its complaints dropped.
wine_reg() {
    local prefix=${1:?wine_reg PREFIX ARGS...}
    shift
    _wine_env "$prefix" timeout -k 5 60 wine reg "$@" 2>/dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

_wine_program_given() {
    [ $# -ge 3 ] && [ -n "$1" ] && [ -n "$2" ] && return 0
    echo "wine_run: usage PREFIX SECONDS EXE [ARGS...]" >&2
    return 1
}

# Becomes the timed Wine process (run it in a subshell). It starts from C:\,
# so that no folder outside the drives is current.
_wine_exec() {
    local prefix=$1 seconds=$2
    shift 2
    cd "$prefix/drive_c" || exit 1
    exec env WINEDEBUG=-all WINEPREFIX="$prefix" timeout -k 5 "$seconds" wine "$@"
}

# wine_stop PREFIX
# Ends the wineserver of PREFIX, and with it every process of that prefix.
wine_stop() {
    local prefix=${1:?wine_stop PREFIX} round
    # A process that starts while the server ends (one the system starts again
    # after a simulated restart, say) starts a server of its own, which keeps
    # that process and the output it holds open: end servers until none is left.
    for round in 1 2 3; do
        WINEPREFIX="$prefix" timeout -k 5 30 wineserver -k 2>/dev/null
        WINEPREFIX="$prefix" timeout -k 5 10 wineserver -w 2>/dev/null && return 0
    done
    return 0
}

# wine_persist PREFIX [SECONDS]
# Starts the wineserver of PREFIX and keeps it running SECONDS (default 300)
# after its last process ends, so later runs start in well under a second.
wine_persist() {
    local prefix=${1:?wine_persist PREFIX [SECONDS]} seconds=${2:-300}
    # The server keeps no output of the caller open: a test runner waits for
    # every holder of its output.
    WINEPREFIX="$prefix" wineserver -p"$seconds" >/dev/null 2>&1 && return 0
    # A short-lived server (say from wine_new_prefix) is still up: let it end first.
    WINEPREFIX="$prefix" timeout -k 5 60 wineserver -w 2>/dev/null
    WINEPREFIX="$prefix" wineserver -p"$seconds" >/dev/null 2>&1
}

# --- checks ---------------------------------------------------------------------

CHECKS=0
FAILURES=0
CHECK_LABEL=${CHECK_LABEL:-}

# check WHAT COMMAND...
check() {
    local what=$1 label=${CHECK_LABEL:+$CHECK_LABEL: }
    shift
    CHECKS=$((CHECKS + 1))
    if "$@"; then
        echo "ok   $label$what"
    else
        echo "FAIL $label$what"
        FAILURES=$((FAILURES + 1))
    fi
}

# same ACTUAL EXPECTED
same() {
    [ "$1" = "$2" ] && return 0
    echo "  expected:"; printf '%s\n' "$2" | cat -A | sed 's/^/    /'
    echo "  actual:";   printf '%s\n' "$1" | cat -A | sed 's/^/    /'
    return 1
}

# fails COMMAND...
fails() { ! "$@"; }
