#!/usr/bin/env bash
# The running window: the pointer's sprite under the mouse, Escape quitting on release
# only, the close request, and an image stored top row first.
source "$(dirname "$0")/lib.sh" "$@"

SPRITE_OFFSET=8      # the sprite's top-left corner lies this far up and left of the mouse
HOLD_SECONDS=0.5     # how long Escape is held down
STEADY_SHOTS=20      # screenshots in a row that must show the pointer's sprite whole
# Mouse points in the window, as x y: two corners where the sprite is cut by the window's
# edges, and one whose x and y differ so that swapped axes show.
CORNER_POINTS=(3 5 316 237)
MIDDLE_POINT=(200 60)

sprite_ppm=$cases_dir/sprite.ppm
top_down_bmp=$cases_dir/top_down.bmp

# The window shows the sprite with its top-left corner at (X, Y) less the offset.
shows_sprite_at() {
    timeout "$STEP_SECONDS" /usr/bin/import -window "$win" -depth 8 "ppm:$work/shot.ppm" &&
        "$PYTHON" "$e2e_dir/pixels.py" at "$work/shot.ppm" "$sprite_ppm" \
            $(($1 - SPRITE_OFFSET)) $(($2 - SPRITE_OFFSET)) 2> "$work/mismatch"
}

# Moves the mouse to each point X Y given and checks the sprite follows.
check_sprite_under_mouse() {
    while (($#)); do
        xdo mousemove --window "$win" "$1" "$2" || fail "cannot move the mouse"
        poll shows_sprite_at "$1" "$2" ||
            fail "no sprite under the mouse at $1 $2: $(< "$work/mismatch")"
        shift 2
    done
}

start_display
/usr/bin/convert "$sprite" -depth 8 "ppm:$sprite_ppm"
"$PYTHON" "$e2e_dir/pixels.py" top-down "$sprite" "$top_down_bmp"

echo "the sprite under the mouse; Escape held, then released"
new_case
open_window
check_sprite_under_mouse "${CORNER_POINTS[@]}" "${MIDDLE_POINT[@]}"
# Drawn last, the pointer's sprite stays whole while the swarm gathers round it.
for ((shot = 0; shot < STEADY_SHOTS; shot++)); do
    shows_sprite_at "${MIDDLE_POINT[@]}" ||
        fail "the pointer's sprite was covered: $(< "$work/mismatch")"
done
focus_window ZAVIT
xdo keydown Escape || fail "cannot press Escape"
sleep "$HOLD_SECONDS"
running || fail "pressing Escape quit before its release"
xdo keyup Escape || fail "cannot release Escape"
finish 0

echo "a close request"
new_case
open_window
"$send_close" "$win" || fail "cannot send the close request"
finish 0

echo "an image stored top row first"
new_case "$top_down_bmp"
open_window
check_sprite_under_mouse "${MIDDLE_POINT[@]}"
quit_with_escape
