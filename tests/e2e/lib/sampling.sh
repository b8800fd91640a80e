# The program's memory, sampled from the host while it scans.
#
#   program_process          PROGRAM_HOST_PID: the host process that runs cordafix.exe
#                            (the started one's deepest descendant that names it)
#   start_sampling PID       its resident set (VmRSS, KiB) twice a second into $WORK/rss
#   mark_sampling WHAT       notes the time of WHAT (start, end) into $WORK/rss.marks
#   stop_sampling            ends the sampling
#   rss_flat BOUND_KB        prints the figures; fails when the resident set grew by
#                            BOUND_KB or more from a tenth into the scan to its end

program_process() {
    local pid=$PROGRAM_PID child found=
    while [ -n "$pid" ]; do
        grep -qa 'cordafix\.exe' "/proc/$pid/cmdline" 2>/dev/null && found=$pid
        child=$(ps -o pid= --ppid "$pid" | head -n 1 | tr -d ' ')
        pid=$child
    done
    PROGRAM_HOST_PID=$found
    [ -n "$found" ] && grep -q '^VmRSS' "/proc/$found/status"
}

start_sampling() {
    local pid=$1
    : >"$WORK/rss.marks"
    (while [ -r "/proc/$pid/status" ]; do
        echo "$(date +%s.%N) $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null)"
        sleep 0.5
    done >"$WORK/rss") &
    SAMPLER_PID=$!
}

mark_sampling() { echo "$1 $(date +%s.%N)" >>"$WORK/rss.marks"; }

stop_sampling() {
    kill "$SAMPLER_PID" 2>/dev/null
    wait "$SAMPLER_PID" 2>/dev/null
}

rss_flat() {
    local start end
    start=$(awk '$1 == "start" { print $2 }' "$WORK/rss.marks")
    end=$(awk '$1 == "end" { print $2 }' "$WORK/rss.marks")
    awk -v start="$start" -v end="$end" -v bound="$1" '
        NF == 2 && $2 != "" && $1 >= start && $1 <= end {
            n++
            if (n == 1) first = $2
            if (ref == "" && $1 >= start + (end - start) / 10) ref = $2
            if (ref != "" && $2 > top) top = $2
            if ($2 > peak) peak = $2
            last = $2
        }
        END {
            printf "  memory: %d samples over %.1f s; VmRSS at the start %d KiB, a tenth in %d KiB, highest after %d KiB, at the end %d KiB, highest %d KiB\n",
                n, end - start, first, ref, top, last, peak
            exit !(n >= 10 && ref != "" && top - ref < bound)
        }' "$WORK/rss"
}
