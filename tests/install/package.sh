#!/usr/bin/env bash
# shellcheck disable=SC2015   # "a && b || fail": fail when either is false
# The Debian package as a distribution checks it (lintian, AppStream, the menu entry, the
# manual page, what apt brings with it), then unpacked in a scratch root and started from a
# folder without an image, and from one with a person's own.
# Usage: package.sh BUILD_FOLDER PROGRAM (as configured)
set -euo pipefail
build=$1 program=$2
cases=$(mktemp -d)
trap 'rm -rf "$cases"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$program" = /usr/games/zavit ] || fail "a package needs -DCMAKE_INSTALL_PREFIX=/usr"

cpack -B "$cases" --config "$build/CPackConfig.cmake" > /dev/null
deb=$(echo "$cases"/zavit_*.deb) root=$cases/root
lintian --fail-on error,warning --display-info --pedantic "$deb" 2> /dev/null || fail "lintian"
dpkg-deb -x "$deb" "$root"
# Every finding fails but the one warning that assets/lintian-overrides explains.
report=$(appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml) ||
    [ "$(grep -E '^[EW]:' <<< "$report")" = "W: com.example.zavit:~: url-homepage-missing" ] ||
    fail "AppStream: $report"
[ -z "$(zcat "$root"/usr/share/man/man6/zavit.6.gz | groff -ww -z -man 2>&1)" ] || fail "groff"

# From nothing installed, apt brings SDL 1.2 built from sdl12-compat, whatever its package is
# called on this release (libsdl1.2-compat, libsdl1.2debian), never the classic library.
sdl=$(apt-get -s -o Dir::State::status=/dev/null install "$deb" 2> /dev/null |
    sed -n 's/^Inst \(libsdl1\.2[^ ]*\) (\([^ ]*\) .*/\1=\2/p')
from=$(apt-cache show --no-all-versions $sdl | sed -n 's/^Source: \([^ ]*\).*/\1/p' | sort -u)
[ -n "$sdl" ] && [ "$from" = sdl12-compat ] || fail "apt brings SDL 1.2 as $sdl, from ${from:-?}"

desktop-file-validate "$root"/usr/share/applications/zavit.desktop || fail "desktop-file-validate"
# As the menu starts it, from the home folder: without an image there it reads the installed
# one; a person's own zavit.bmp there wins, however bad.
/usr/bin/python3 -m pytest -p no:cacheprovider -q "$(dirname "$0")/../e2e" \
    -k "elsewhere or own and not colours" --program "$root$program"
