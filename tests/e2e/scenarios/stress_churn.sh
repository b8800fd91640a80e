# Files come and go on D: while the scan walks it: a writer on the host adds
# and removes plain files and drops in samples, in the folder being walked and
# in one still to come. The scan ends with its statistics; the samples there at
# the start are removed, each dropped-in sample is either removed with its line
# or left without one, plain files are untouched or gone only by the writer's
# hand, and the count of scanned files lies between what stayed and what was
# ever there.
MODES="winxp"

START_SAMPLES='a_first.exe bulk/f10000m.exe churn/s_start.exe zz/last.exe'
WRITER_STOP() { echo "$WORK/writer.stop"; }

setup() {
    mkdir -p "$DRIVE_D/bulk" "$DRIVE_D/churn" &&
        (cd "$DRIVE_D/bulk" && seq -f 'f%05g.txt' 1 20000 | xargs touch) || return 1
    local i
    for i in $(seq -w 1 200); do echo "keep $i" >"$DRIVE_D/churn/keep$i.txt"; done
    for i in $(seq -w 1 200); do echo "gone $i" >"$DRIVE_D/churn/gone$i.txt"; done
    make_sample a_first.exe 84 && make_sample bulk/f10000m.exe 0 && make_sample churn/s_start.exe 5 &&
        make_sample zz/last.exe 42 || return 1
    need_samples && "$MAKE_SAMPLES" --record 3 --out "$WORK/dropped.exe" >/dev/null
}

# The writer: each round adds a plain file to bulk and churn, removes the one
# of five rounds before and one of the "gone" files, and every fifth round
# drops a sample into churn, 100 at most: with the statistics the lines stay
# below the 150 at which the window begins its list afresh. Each deed goes to
# $WORK/writer.log as "C PATH" or "R PATH".
writer() {
    local round=0 old
    while [ ! -e "$(WRITER_STOP)" ] && [ $round -lt 20000 ]; do
        round=$((round + 1))
        echo "plain $round" >"$DRIVE_D/bulk/w$round.txt" && echo "C bulk/w$round.txt"
        echo "plain $round" >"$DRIVE_D/churn/w$round.txt" && echo "C churn/w$round.txt"
        if [ $((round % 5)) = 0 ] && [ $round -le 500 ]; then
            cp "$WORK/dropped.exe" "$WORK/dropping.exe" &&
                mv "$WORK/dropping.exe" "$DRIVE_D/churn/x$round.exe" && echo "C churn/x$round.exe"
        fi
        old=$((round - 5))
        if [ $old -gt 0 ]; then
            rm -f "$DRIVE_D/bulk/w$old.txt" "$DRIVE_D/churn/w$old.txt" && echo "R bulk/w$old.txt" && echo "R churn/w$old.txt"
        fi
        if [ $round -le 200 ]; then
            printf -v old 'churn/gone%03d.txt' $round
            rm -f "$DRIVE_D/$old" && echo "R $old"
        fi
    done >"$WORK/writer.log"
}

# Plain files the writer made are intact where they are, absent only where it removed them.
plain_files_sound() {
    local -A removed
    local path content bad=0
    while read -r path; do removed[$path]=1; done < <(sed -n 's/^R //p' "$WORK/writer.log")
    while read -r path; do
        if [ -e "$DRIVE_D/$path" ]; then
            read -r content <"$DRIVE_D/$path"
            [ "$content" = "plain ${path//[!0-9]/}" ] || { echo "  $path changed"; bad=1; }
        elif [ -z "${removed[$path]:-}" ]; then
            echo "  $path gone, not by the writer"; bad=1
        fi
    done < <(sed -n 's/^C \(.*\.txt\)$/\1/p' "$WORK/writer.log")
    return $bad
}

scenario() {
    local name f lines made removed_by_writer at_start scanned
    local -A start_name
    name=$(detection_name "$WORK/dropped.exe")
    for f in $START_SAMPLES; do start_name[$f]=$(detection_name "$DRIVE_D/$f"); done
    at_start=$(count_files)
    writer &
    local writer_pid=$!
    sleep 1  # the writer is at work when the scan starts
    check "SCAN clicked" drv click IDC_SCAN
    check "scan completed" drv wait-status "Scanning completed" 150
    touch "$(WRITER_STOP)"
    wait "$writer_pid"
    lines=$(drv list)
    made=$(grep -c '^C ' "$WORK/writer.log")
    removed_by_writer=$(grep -c '^R ' "$WORK/writer.log")
    echo "  the writer made $made files and removed $removed_by_writer during the scan"
    check "the writer worked through the scan" test "$made" -ge 30

    # The samples there at the start, and the dropped ones the scan removed.
    check "every sample there at the start removed" \
        bash -c 'for f in $1; do [ ! -e "$2/$f" ] || exit 1; done' _ "$START_SAMPLES" "$DRIVE_D"
    for f in $START_SAMPLES; do
        check "line for $f" grep -qxF "$(winpath "$f")     ${start_name[$f]} removed" <<<"$lines"
    done
    local dropped_removed=0 dropped_left=0 bad=0 line
    local -A reported
    while IFS= read -r line; do [ -n "$line" ] && reported[${line%%     *}]=$line; done <<<"$lines"
    while read -r f; do
        if [ -e "$DRIVE_D/$f" ]; then
            dropped_left=$((dropped_left + 1))
            [ -z "${reported[$(winpath "$f")]:-}" ] || { echo "  $f left but reported"; bad=1; }
        else
            dropped_removed=$((dropped_removed + 1))
            [ "${reported[$(winpath "$f")]:-}" = "$(winpath "$f")     $name removed" ] ||
                { echo "  $f gone without its line"; bad=1; }
        fi
    done < <(sed -n 's/^C \(.*\.exe\)$/\1/p' "$WORK/writer.log")
    echo "  dropped samples: $dropped_removed removed by the scan, $dropped_left left"
    check "each dropped sample removed with its line or left without one" test $bad = 0
    local found=$((4 + dropped_removed))
    check "one line per removed sample, nothing else" same "$(grep -c '     .* removed$' <<<"$lines")" "$found"
    scanned=$(sed -n 's/^Total files scanned\t\t:  //p' <<<"$lines")
    # Files there at the start that the writer left are each counted once.
    local stayed=$((at_start - $(grep -c '^R churn/gone' "$WORK/writer.log")))
    echo "  files scanned $scanned; there at the start and left by the writer $stayed, ever there $((at_start + made))"
    check "files scanned between what stayed and what was ever there" \
        test "${scanned:-0}" -ge "$stayed" -a "${scanned:-0}" -le $((at_start + made))
    check "statistics block" same "$(tail -n 6 <<<"$lines" | sed 's/:  [0-9]*$/:  N/')" \
        "$(statistics 0 1 1 | tail -n 6 | sed 's/:  [0-9]*$/:  N/')"
    check "infected and removed counts" same "$(tail -n 2 <<<"$lines")" \
        "$(statistics 0 "$found" "$found" | tail -n 2)"
    check "plain files the writer made intact or removed by it" plain_files_sound
    check "the 200 kept files untouched" same "$(cat "$DRIVE_D"/churn/keep*.txt | md5sum)" \
        "$(for i in $(seq -w 1 200); do echo "keep $i"; done | md5sum)"
    check "the 20,000 bulk files all there" same "$(find "$DRIVE_D/bulk" -name 'f?????.txt' | wc -l)" 20000
    check "X ends the program" drv click IDC_CLOSE_X
    check "program ended" program_ended 10
}
