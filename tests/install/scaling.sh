#!/usr/bin/env bash
# sdl12-compat's SDL12COMPAT_WINDOW_SCALING enlarges the window by its factor.
# Usage: scaling.sh PROGRAM FOLDER
set -euo pipefail
program=$1 folder=$2
# shellcheck source=SCRIPTDIR/launch.sh
source "$(dirname "$0")/launch.sh"
open_session

# factor (empty: not set) and the window size it gives
cases=(":320x240" "2:640x480" "1.5:480x360")
for case in "${cases[@]}"; do
    factor=${case%%:*} want=${case#*:}
    start_zavit "$program" "$folder" ${factor:+SDL12COMPAT_WINDOW_SCALING=$factor}
    got=$(window_size)
    [ "$got" = "$want" ] || { echo "scaling \"$factor\": window $got, not $want" >&2; exit 1; }
    quit_zavit
done
