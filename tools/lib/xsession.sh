# A private X session for the tools: Xvfb on a free display with openbox
# as window manager. Source this file, then call start_x_session [WIDTHxHEIGHT];
# it exports DISPLAY and stops both servers when the calling shell exits. Its poll
# serves the caller's waits too.
# shellcheck shell=bash

POLL_TENTHS=100   # the longest any wait polls, in 0.1 s steps

# Runs the command every 0.1 s until it succeeds; false when the limit comes first.
poll() {
    local tries
    for ((tries = 0; tries < POLL_TENTHS; tries++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

stop_x_session() {
    local server
    for server in ${wm_pid:-} ${x_server_pid:-}; do
        kill "$server" 2> /dev/null || true
        wait "$server" 2> /dev/null || true
    done
    wm_pid='' x_server_pid=''
    rm -f "${x_display_file:-}" "${x_display_file:-}.wm"
}

start_x_session() {
    local size=${1:-1024x768}
    x_display_file=$(mktemp)
    trap stop_x_session EXIT
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3> "$x_display_file" > /dev/null 2>&1 &
    x_server_pid=$!
    poll test -s "$x_display_file" || { echo "Xvfb did not start" >&2; return 1; }
    DISPLAY=":$(head -n 1 "$x_display_file")"
    export DISPLAY

    # openbox names itself on the root window before it manages windows; it runs the
    # startup command once it does.
    openbox --startup "touch $x_display_file.wm" > /dev/null 2>&1 &
    wm_pid=$!
    poll test -e "$x_display_file.wm" || { echo "openbox did not start" >&2; return 1; }
}
