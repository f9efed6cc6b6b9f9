# Starting, measuring and quitting zavit in a private X session, for the install tests.
# Source it, call open_session; it leaves a scratch folder in $scratch and cleans up at exit.
# shellcheck shell=bash
launch_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=SCRIPTDIR/../e2e/xsession.sh
source "$launch_dir/../e2e/xsession.sh"

WAIT_TENTHS=100      # bound on every wait, in 0.1 s
XDOTOOL_SECONDS=10   # bound on one xdotool call that waits for the window manager
SCREEN_SIZE=1024x768 # room for the window at twice its size, and more

zavit_pid=
question_window=
zavit_window=

stop_zavit() {
    [ -n "$zavit_pid" ] && kill "$zavit_pid" 2> /dev/null
    zavit_pid=
}

open_session() {
    scratch=$(mktemp -d)
    start_x_session "$SCREEN_SIZE"
    trap 'stop_zavit; stop_x_session; rm -rf "$scratch"' EXIT
}

# Prints the id of the first visible window whose whole name is $1.
wait_window() {
    local tries id
    for ((tries = 0; tries < WAIT_TENTHS; tries++)); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window named \"$1\" appeared" >&2
    return 1
}

# launch_zavit PROGRAM FOLDER [VAR=VALUE...]: starts PROGRAM in FOLDER with the variables
# added and sets question_window once the question shows.
launch_zavit() {
    local program=$1 folder=$2
    shift 2
    (cd "$folder" && exec env "$@" "$program") &
    zavit_pid=$!
    question_window=$(wait_window Notice)
}

# Answers the question with Return (No, the default) and sets zavit_window.
answer_question() {
    timeout "$XDOTOOL_SECONDS" xdotool windowactivate --sync "$question_window" key Return
    zavit_window=$(wait_window ZAVIT)
}

start_zavit() {
    launch_zavit "$@"
    answer_question
}

# Prints the size of zavit's window as WIDTHxHEIGHT.
window_size() {
    [ -n "$zavit_window" ] || return 1
    xwininfo -id "$zavit_window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# Quits with Escape's release and fails unless zavit ends, in time, with status 0.
quit_zavit() {
    local tries status=0
    timeout "$XDOTOOL_SECONDS" xdotool windowactivate --sync "$zavit_window" keydown Escape keyup Escape
    for ((tries = 0; tries < WAIT_TENTHS; tries++)); do
        kill -0 "$zavit_pid" 2> /dev/null || break
        sleep 0.1
    done
    kill -0 "$zavit_pid" 2> /dev/null && { echo "zavit did not quit on Escape" >&2; return 1; }
    wait "$zavit_pid" || status=$?
    zavit_pid=
    [ "$status" -eq 0 ] || { echo "zavit quit with status $status" >&2; return 1; }
}
