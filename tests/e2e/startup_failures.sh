#!/usr/bin/env bash
# Start-up failures: broken, hostile, missing and unreadable images, and no display at all.
# Each must end with status 1 and its message last, or, where SDL reads a broken image,
# run and quit on Escape; never a signal, a hang or a sanitizer report.
source "$(dirname "$0")/lib.sh" "$@"

LOAD_FAILURE='Unable to load "zavit.bmp": '
PEAK_KB_MAX=204800              # the most memory one run may take, in KB
MUST_FAIL=" huge.bmp folder "   # cases that must be refused, never loaded

images=$cases_dir/images

# Runs the program on the case's folder under /usr/bin/time and answers No. Sets status.
run_image() {
    local name=$1 peak said
    start_zavit /usr/bin/time -f "%e s, peak %M KB" -o "$work/usage"
    answer_question key Return
    poll visible_window ZAVIT || true
    ! running || xdo windowactivate --sync "$win" key Escape 2> /dev/null || true
    finish "0 1"
    peak=$(tail -n 1 "$work/usage")
    said=$(tail -n 1 "$work/stderr")
    echo "  $name: status $status, $peak${said:+: $said}"
    peak=${peak##* peak }
    [ "${peak% KB}" -lt "$PEAK_KB_MAX" ] || fail "$name took $peak"
    [ "$status" = 0 ] || last_line_starts "$LOAD_FAILURE"
    [ "$status" = 1 ] || [[ "$MUST_FAIL" != *" $name "* ]] || fail "$name was loaded"
}

start_display
"$PYTHON" "$e2e_dir/make_bad_images.py" "$images"

echo "broken images"
for image in "$images"/*.bmp; do
    new_case "$image"
    run_image "${image##*/}"
done

echo "a folder named zavit.bmp"
new_case none
mkdir "$work/zavit.bmp"
run_image folder

echo "no image"
new_case none
run_image missing
last_line_starts "${LOAD_FAILURE}Couldn't open zavit.bmp"

echo "no display, no terminal"
new_case
start_zavit env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
finish 1
last_line_starts "Unable to init SDL: "

echo "no display, asked on a terminal"
new_case
status=0
(cd "$work" && printf 'y\n' | env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    timeout "$STEP_SECONDS" script -qec "$zavit" /dev/null > "$work/stderr") || status=$?
[ "$status" = 1 ] || fail "status $status on a terminal, not 1"
grep -qF 'Notice: Full Scrren? [y/N] ' "$work/stderr" || fail "no question on the terminal"
! grep -qE "$SANITIZER_REPORT" "$work/stderr" || fail "sanitizer report"
