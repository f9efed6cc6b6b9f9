#!/usr/bin/env bash
# Builds the Debian package and checks it as a distribution would (lintian, AppStream, the
# menu entry, the manual page, what apt installs with it), installs it into a scratch root
# and starts the program the way its menu entry does.
# Usage: package.sh BUILD_FOLDER PROGRAM DATA_FOLDER (the last two absolute, as configured)
set -euo pipefail
build=$1 program=$2 data=$3
cases_dir=$(mktemp -d)
trap 'rm -rf "$cases_dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$program" = /usr/games/zavit ] || fail "a package needs -DCMAKE_INSTALL_PREFIX=/usr"

cpack -B "$cases_dir/package" --config "$build/CPackConfig.cmake" > /dev/null
deb=$(echo "$cases_dir"/package/zavit_*.deb)
lintian --fail-on error,warning --display-info --pedantic "$deb" 2> /dev/null ||
    fail "lintian refuses the package"
root=$cases_dir/root
dpkg-deb -x "$deb" "$root"

# "cmake --install" puts the same files in the same places as the package.
DESTDIR=$cases_dir/destdir cmake --install "$build" > /dev/null
diff <(cd "$root" && find . | sort) <(cd "$cases_dir/destdir" && find . | sort)

# On a system with nothing installed, apt brings SDL 1.2 as sdl12-compat, not the classic one.
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
: > "$cases_dir/status"
apt=$(apt-get -s -o Dir::State::status="$cases_dir/status" install "$deb" 2> /dev/null)
grep '^Inst libsdl' <<< "$apt"
grep -q '^Inst libsdl1.2-compat ' <<< "$apt" || fail "apt does not install libsdl1.2-compat"
! grep -q '^Inst libsdl1.2debian (1\.2\.15' <<< "$apt" || fail "apt installs classic SDL 1.2"

appstreamcli validate --no-net "$(find "$root" -name '*.metainfo.xml')" > /dev/null ||
    fail "appstreamcli refuses the metadata"
page=$(find "$root" -name zavit.6.gz)
[ -z "$(zcat "$page" | groff -ww -z -man 2>&1)" ] || fail "groff warns about the manual page"

# The entry is valid and starts the installed program in its data folder, where its image is.
entry=$(find "$root" -name zavit.desktop)
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
[ "$(sed -n 's/^Exec=//p' "$entry")" = "$program" ] || fail "Exec is not $program"
[ "$(sed -n 's/^Path=//p' "$entry")" = "$data" ] || fail "Path is not $data"
"$(dirname "$0")/../e2e/drive.py" --first 1 -- env -C "$root$data" "$root$program"
