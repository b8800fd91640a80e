# The prompt dialog (the program's own code and resources, shown by
# prompt_probe.exe): the button set and picture each style shows, and the
# code each way of answering ends it with.
MODES="win98 winxp"
START_PROGRAM=0
declare -A PICTURE   # style -> fingerprint of the picture it showed

# probe_answer STYLE CAPTION BUTTONS ACTION...: shows the prompt, checks its
# buttons are BUTTONS, keeps its picture's fingerprint, answers it with ACTION
# (a driver command) and sets END_CODE to the code it ended with.
probe_answer() {
    local style=$1 caption=$2 buttons=$3
    shift 3
    local out="$WORK/probe.out"
    rm -f "$out"
    wine_start "$PREFIX" 60 'C:\tests\prompt_probe.exe' "$style" "Style $style question" "$caption" >"$out"
    local pid=$WINE_PID shown expect_caption=${caption:-Cordafix Ver 1.0}
    shown=$(drv prompt "$expect_caption" 20)
    same "$shown" "caption=$expect_caption"$'\n'"text=Style $style question"$'\n'"buttons=$buttons" || {
        drv prompt-close "" 1 >/dev/null; wait $pid; return 1; }
    PICTURE[$style]=$(drv prompt-picture "$expect_caption" 5)
    "$@" >/dev/null
    wait $pid
    END_CODE=$(tr -d '\r' <"$out" | sed -n 's/^END //p')
}

# ends STYLE CAPTION BUTTONS EXPECTED_CODE ACTION...
ends() {
    local style=$1 caption=$2 buttons=$3 code=$4
    shift 4
    local how=$2
    [ "$how" = answer-prompt ] && how="button ${*: -1}"
    [ -z "$caption" ] && how+=" (no caption)"
    END_CODE=
    probe_answer "$style" "$caption" "$buttons" "$@"
    check "style $style: buttons $buttons, $how ends with $code" same "$END_CODE" "$code"
}

scenario() {
    local c='Prompt probe'
    local lone=IDC_PROMPT_LONE_OK pair='IDC_PROMPT_OK IDC_PROMPT_CANCEL' yesno='IDC_PROMPT_YES IDC_PROMPT_NO'
    ends 0  "$c" "$lone" 1 drv answer-prompt "$c" IDC_PROMPT_LONE_OK
    ends 0  "$c" "$lone" 2 drv prompt-escape "$c"
    ends 0  ""   "$lone" 1 drv answer-prompt 'Cordafix Ver 1.0' IDC_PROMPT_LONE_OK
    ends 5  "$c" "$pair" 1 drv answer-prompt "$c" IDC_PROMPT_OK
    ends 5  "$c" "$pair" 2 drv answer-prompt "$c" IDC_PROMPT_CANCEL
    ends 5  "$c" "$pair" 2 drv prompt-escape "$c"
    ends 16 "$c" "$lone" 2 drv prompt-close "$c"
    ends 36 "$c" "$yesno" 6 drv answer-prompt "$c" IDC_PROMPT_YES
    ends 36 "$c" "$yesno" 7 drv answer-prompt "$c" IDC_PROMPT_NO
    ends 36 "$c" "$yesno" 7 drv prompt-escape "$c"
    ends 36 "$c" "$yesno" 7 drv prompt-close "$c"
    ends 48 "$c" "$lone" 1 drv answer-prompt "$c" IDC_PROMPT_LONE_OK
    ends 65 "$c" "$pair" 1 drv answer-prompt "$c" IDC_PROMPT_OK
    ends 65 "$c" "$pair" 2 drv prompt-close "$c"
    # Warning for 0, 5 and 48; error for 16, question for 36, information for 65.
    check "styles 0, 5 and 48 show one picture" \
        same "${PICTURE[5]} ${PICTURE[48]}" "${PICTURE[0]} ${PICTURE[0]}"
    check "warning, error, question and information pictures differ" \
        same "$(printf '%s\n' "${PICTURE[0]}" "${PICTURE[16]}" "${PICTURE[36]}" "${PICTURE[65]}" |
                sort -u | grep -c .)" "4"
}
