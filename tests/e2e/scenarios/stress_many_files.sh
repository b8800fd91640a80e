# 100,000 files on D: (ten folders of 10,000) with two samples: the scan counts
# every file exactly once, removes both samples, and the program's memory stays
# flat while it walks: from the sample taken a tenth into the scan to its end
# the resident set grows by less than RSS_BOUND_KB.
MODES="winxp"
LIMIT_SECONDS=420
source "$(dirname "${BASH_SOURCE[0]}")/../lib/sampling.sh"
RSS_BOUND_KB=2048

# One driver call waits at most 90 s; the walk may take longer on a busy machine.
completed_within() {
    local waited
    for ((waited = 0; waited < $1; waited += 60)); do
        drv wait-status "Scanning completed" 60 >/dev/null && return 0
    done
    return 1
}

setup() {
    make_empty_files many 10 || return 1
    make_sample 'many/p4/m_mid.exe' 0 && make_sample 'zz/last.exe' 5
}

scenario() {
    local expected f total
    for f in many/p4/m_mid.exe zz/last.exe; do expected+="$(removed_line "$f")"$'\n'; done
    total=$(count_files)
    expected+=$(statistics "$total" 2 2)
    check "100,000 plain files on D:" same "$(find "$DRIVE_D" -type f -name 'f*.txt' | wc -l)" 100000
    check "the program's process found" program_process
    check "memory sampled" start_sampling "$PROGRAM_HOST_PID"
    check "SCAN clicked" drv click IDC_SCAN
    mark_sampling start
    check "scan completed" completed_within 300
    mark_sampling end
    stop_sampling
    check "result lines and statistics" same "$(drv list)" "$expected"
    check "samples removed, plain files kept" same \
        "$(find "$DRIVE_D" -type f | wc -l) $(test -e "$DRIVE_D/zz/last.exe" || echo gone)" "100000 gone"
    check "resident set flat from a tenth of the scan to its end" rss_flat "$RSS_BOUND_KB"
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
