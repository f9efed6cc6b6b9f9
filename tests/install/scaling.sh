#!/usr/bin/env bash
# sdl12-compat's SDL12COMPAT_WINDOW_SCALING enlarges the window by its factor.
# Usage: scaling.sh ZAVIT_BINARY SPRITE_BMP
source "$(dirname "$0")/../e2e/lib.sh" "$@"

# factor (empty: not set) and the window size it gives
SCALES=(":320x240" "2:640x480" "1.5:480x360")

start_display
for row in "${SCALES[@]}"; do
    factor=${row%%:*} want=${row#*:}
    new_case
    open_window env -u SDL12COMPAT_WINDOW_SCALING ${factor:+SDL12COMPAT_WINDOW_SCALING=$factor}
    [ "$(window_size)" = "$want" ] ||
        fail "scaling \"$factor\": window $(window_size), not $want"
    quit_with_escape
done
