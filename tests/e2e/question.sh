#!/usr/bin/env bash
# The full-screen question: a dialog that comes before any program window, and the mode
# that each way of answering it gives.
source "$(dirname "$0")/lib.sh" "$@"

DIALOG_SIZE=240x96
WINDOW_SIZE=320x240
YES_BUTTON_INSIDE=(72 67)   # the Yes button's middle, in dialog coordinates

# How the question is answered, and the mode that must follow.
ANSWERS=(
    "press Return      windowed"
    "press y           fullscreen"
    "press n           windowed"
    "press Escape      windowed"
    "press Tab Return  fullscreen"
    "click_yes         fullscreen"
    "close_dialog      windowed"
)

press() {
    answer_question key "$@"
}

click_yes() {
    focus_window Notice
    xdo mousemove --window "$win" "${YES_BUTTON_INSIDE[@]}" click 1 || fail "cannot click Yes"
}

close_dialog() {
    find_window Notice
    "$send_close" "$win" || fail "cannot send the close request"
}

# The question is a dialog of its size, up while no program window exists.
check_question() {
    find_window Notice
    ! xdo search --name '^ZAVIT$' > /dev/null || fail "a ZAVIT window exists before the answer"
    timeout "$STEP_SECONDS" xprop -id "$win" _NET_WM_WINDOW_TYPE |
        grep -q _NET_WM_WINDOW_TYPE_DIALOG || fail "the question is not a dialog"
    [ "$(window_size)" = "$DIALOG_SIZE" ] || fail "the question is $(window_size)"
}

# The program's window shows in the MODE asked for; SDL may replace its first window.
in_mode() {
    visible_window ZAVIT && [ -n "$win" ] || return 1
    if [ "$1" = fullscreen ]; then
        is_fullscreen
    else
        ! is_fullscreen && [ "$(window_size)" = "$WINDOW_SIZE" ]
    fi
}

start_display
for row in "${ANSWERS[@]}"; do
    read -ra action <<< "${row% *}"
    mode=${row##* }
    echo "answer: ${action[*]}"
    new_case
    start_zavit
    check_question
    "${action[@]}"
    poll in_mode "$mode" || fail "no $mode window; last seen: $(window_size)"
    quit_with_escape
done
