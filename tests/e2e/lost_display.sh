#!/usr/bin/env bash
# Losing the X server: the program ends at once with status 1 and says why, whether the
# question is up or the window is running; it neither hangs nor dies by a signal.
source "$(dirname "$0")/lib.sh" "$@"

LOST_DISPLAY='Lost the connection to the X display'

# Stops this test's X server under the running program.
lose_display() {
    kill "$x_server_pid"
    finish 1
    last_line_starts "$LOST_DISPLAY"
    stop_x_session
}

echo "while the question is up"
start_display
new_case
start_zavit
find_window Notice
lose_display

echo "while the window runs"
start_display
new_case
open_window
lose_display
