# Shared steps of the tools that run the real program (bench-frames, soak, screenshots):
#   source session.sh ZAVIT_BINARY SPRITE_BMP
# Each case runs the program in a fresh working folder; every wait polls with a limit.
# shellcheck shell=bash
set -euo pipefail
lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=SCRIPTDIR/xsession.sh
source "$lib_dir/xsession.sh"

STEP_SECONDS=5      # the longest one X client call may take
SANITIZER_REPORT='AddressSanitizer|LeakSanitizer|runtime error:'

zavit=$(realpath "$1") sprite=$(realpath "$2")
cases_dir=$(mktemp -d)
pid='' win='' work='' status=''

cleanup() {
    [ -z "$pid" ] || kill -KILL -- "-$pid" 2> /dev/null || true
    stop_x_session
    rm -rf "$cases_dir"
}
trap cleanup EXIT

# An X session of its own (see xsession.sh), cleaned up with the cases.
start_display() {
    start_x_session
    trap cleanup EXIT
}

fail() {
    echo "FAIL: $*" >&2
    [ -z "$pid" ] || ! running || echo "  (the program is still running)" >&2
    [ -s "$work/stderr" ] && sed 's/^/  program: /' "$work/stderr" >&2
    exit 1
}

xdo() { timeout "$STEP_SECONDS" xdotool "$@"; }

# A fresh working folder with IMAGE (the sprite by default; "none": no image) as zavit.bmp.
new_case() {
    work=$(mktemp -d "$cases_dir/case.XXXX")
    [ "${1:-}" = none ] || cp "${1:-$sprite}" "$work/zavit.bmp"
}

# Starts the program in the case's folder in a process group of its own, behind the
# given command prefix if any (env, /usr/bin/time ...; env -C runs it elsewhere).
start_zavit() {
    (cd "$work" && exec setsid "$@" "$zavit" < /dev/null 2> "$work/stderr") &
    pid=$!
}

running() {
    local state
    state=$(sed 's/.*) //' "/proc/$pid/stat" 2> /dev/null) && [ "${state%% *}" != Z ]
}

# Waits for the program to end, checks that no sanitizer spoke and that its status is
# one of the given ones; leaves it in status.
finish() {
    status=0
    poll eval '! running' || fail "the program did not end"
    wait "$pid" || status=$?
    pid=
    ! grep -qE "$SANITIZER_REPORT" "$work/stderr" || fail "sanitizer report"
    [ "$status" -lt 128 ] || fail "the program died by signal $((status - 128))"
    [[ " $1 " == *" $status "* ]] || fail "status $status, not $1"
}


# Sets win to the visible window titled NAME, or to nothing once the program has ended;
# false while neither.
visible_window() {
    win=$(xdo search --onlyvisible --name "^$1\$" 2> /dev/null | sed -n 1p || true)
    [ -n "$win" ] || ! running
}

find_window() {
    poll visible_window "$1" || fail "no window \"$1\""
    [ -n "$win" ] || fail "the program ended before a window \"$1\" showed"
}

window_size() {
    timeout "$STEP_SECONDS" xwininfo -id "$win" 2> /dev/null |
        awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}'
}


# Brings the window titled NAME to the front, focused.
focus_window() {
    find_window "$1"
    xdo windowactivate --sync "$win" || fail "cannot focus \"$1\""
}

answer_question() {
    focus_window Notice
    xdo "$@" || fail "xdotool $* on the question"
}

# Starts the program as start_zavit does, answers No and sets win to its window.
open_window() {
    start_zavit "$@"
    answer_question key Return
    find_window ZAVIT
}

quit_with_escape() {
    focus_window ZAVIT
    xdo key Escape || fail "cannot press Escape"
    finish 0
}
