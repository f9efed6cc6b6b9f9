#!/usr/bin/env bash
# Builds the Debian package and installs it into a scratch root, then checks its files,
# its dependencies and its desktop entry, and starts the program the way the entry does.
# Usage: package.sh ZAVIT_BINARY SPRITE_BMP BUILD_FOLDER BINDIR DATADIR (the last two
# absolute, as configured)
source "$(dirname "$0")/../e2e/lib.sh" "$1" "$2"
build=$3 bindir=$4 datadir=$5

cpack -B "$cases_dir/package" --config "$build/CPackConfig.cmake" > /dev/null
deb=$(echo "$cases_dir"/package/zavit_*.deb)
root=$cases_dir/root
dpkg-deb -x "$deb" "$root"

# "cmake --install" puts the same files in the same places as the package.
DESTDIR=$cases_dir/destdir cmake --install "$build" > /dev/null
diff <(cd "$root" && find . | sort) <(cd "$cases_dir/destdir" && find . | sort)

# Every file where it belongs, the icons the size their folder says.
for file in "$bindir/zavit" "$datadir/zavit/zavit.bmp" "$datadir/applications/zavit.desktop" \
    "$datadir/icons/hicolor/16x16/apps/zavit.png" "$datadir/icons/hicolor/48x48/apps/zavit.png"; do
    [ -s "$root$file" ] || fail "missing: $file"
done
[ -x "$root$bindir/zavit" ] || fail "$bindir/zavit is not executable"
for size in 16 48; do
    file "$root$datadir/icons/hicolor/${size}x$size/apps/zavit.png" | grep -q "PNG image data, $size x $size"
done

# Runtime libraries: SDL 1.2 and X11.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libsdl1.2 libx11-6 libc6; do
    grep -q "$library" <<< "$depends" || fail "Depends lacks $library"
done
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "Section is not games"

# The entry is valid and starts "zavit" from the data folder, with no image anywhere else.
entry=$root$datadir/applications/zavit.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
[ "$(sed -n 's/^Exec=//p' "$entry")" = zavit ] || fail "Exec is not zavit"
path=$(sed -n 's/^Path=//p' "$entry")
[ "$path" = "$datadir/zavit" ] || fail "Path is $path, not $datadir/zavit"
zavit=$root$bindir/zavit   # the installed program, not the built one
start_display
new_case none
open_window env -C "$root$path"
[ "$(window_size)" = 320x240 ] || fail "window is $(window_size), not 320x240"
quit_with_escape
