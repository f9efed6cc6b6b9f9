#!/usr/bin/env bash
# Builds the Debian package and installs it into a scratch root, then checks its files,
# its dependencies and its desktop entry, and starts the program the way the entry does.
# Usage: package.sh BUILD_FOLDER BINDIR DATADIR (the last two absolute, as configured)
set -euo pipefail
build=$1 bindir=$2 datadir=$3
# shellcheck source=SCRIPTDIR/launch.sh
source "$(dirname "$0")/launch.sh"
open_session

cpack -B "$scratch/package" --config "$build/CPackConfig.cmake" > /dev/null
deb=$(echo "$scratch"/package/zavit_*.deb)
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# "cmake --install" puts the same files in the same places as the package.
DESTDIR=$scratch/destdir cmake --install "$build" > /dev/null
diff <(cd "$root" && find . | sort) <(cd "$scratch/destdir" && find . | sort)

# Every file where it belongs, the icons the size their folder says.
for file in "$bindir/zavit" "$datadir/zavit/zavit.bmp" "$datadir/applications/zavit.desktop" \
    "$datadir/icons/hicolor/16x16/apps/zavit.png" "$datadir/icons/hicolor/48x48/apps/zavit.png"; do
    [ -s "$root$file" ] || { echo "missing: $file" >&2; exit 1; }
done
[ -x "$root$bindir/zavit" ]
for size in 16 48; do
    file "$root$datadir/icons/hicolor/${size}x$size/apps/zavit.png" | grep -q "PNG image data, $size x $size"
done

# Runtime libraries: SDL 1.2 and X11.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libsdl1.2 libx11-6 libc6; do
    grep -q "$library" <<< "$depends" || { echo "Depends lacks $library" >&2; exit 1; }
done
[ "$(dpkg-deb -f "$deb" Section)" = games ]

# The entry is valid, starts "zavit" from the data folder, and that works.
entry=$root$datadir/applications/zavit.desktop
desktop-file-validate "$entry"
[ "$(sed -n 's/^Exec=//p' "$entry")" = zavit ]
path=$(sed -n 's/^Path=//p' "$entry")
[ "$path" = "$datadir/zavit" ]
start_zavit "$root$bindir/zavit" "$root$path"
[ "$(window_size)" = 320x240 ] || { echo "window is $(window_size), not 320x240" >&2; exit 1; }
quit_zavit
