# Which Wine the tests can use on this machine. Source this file.
#
#   host_runs_32bit      true when this machine can start 32-bit x86 Linux programs
#   wine_test_arch       prints win32 when it can, else win64
#
# cordafix.exe is a 32-bit Windows program and wine32 is itself a 32-bit Linux
# program. Some machines (virtual machines whose kernel has the 32-bit ABI
# switched off) refuse every 32-bit program with "Exec format error": there the
# Wine tests run a 64-bit build of the same sources under wine64 instead.

# A 91-byte static ELF32 program that only calls exit(0) through int 0x80.
_host32_probe_bytes='\177ELF\001\001\001\000\000\000\000\000\000\000\000\000'\
'\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000'\
'\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000'\
'\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010'\
'\133\000\000\000\133\000\000\000\005\000\000\000\000\020\000\000'\
'\061\333\061\300\100\315\200'

host_runs_32bit() {
    local probe status
    probe=$(mktemp "${TMPDIR:-/tmp}/cordafix-host32.XXXXXX") || return 1
    printf "$_host32_probe_bytes" >"$probe" && chmod +x "$probe" && "$probe" 2>/dev/null
    status=$?
    rm -f "$probe"
    return "$status"
}

wine_test_arch() {
    if host_runs_32bit; then echo win32; else echo win64; fi
}
