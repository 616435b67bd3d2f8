#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a packager sees it: lintian finds no error and no warning (its
# informational and pedantic notes are printed, and pass), the software-centre entry passes
# appstreamcli, the menu entry desktop-file-validate, and the icons are the sizes their folders
# name.
set -euo pipefail
build_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(find "$work/deb" -maxdepth 1 -name 'kelvarn_*.deb')
[ -f "$deb" ] || fail "no package made"

# Root (CI) gets lintian's advice against running as root on stderr; its tags go to stdout.
status=0
lintian --info --display-info --pedantic --fail-on error,warning "$deb" > "$work/lintian" \
  2> "$work/lintian.err" || status=$?
grep -v '^N:' "$work/lintian" | sort -u
[ "$status" = 0 ] && ! grep -q '^[EW]:' "$work/lintian" ||
  fail "lintian failed the package ($status): $(cat "$work/lintian.err")"

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr/share
appstreamcli validate --no-net "$usr"/metainfo/*.metainfo.xml
desktop-file-validate "$usr/applications/kelvarn.desktop"
grep -q '<launchable type="desktop-id">kelvarn.desktop</launchable>' "$usr"/metainfo/*.metainfo.xml ||
  fail "the software-centre entry does not launch the menu entry"
for size in 64 128 256; do
  file "$usr/icons/hicolor/${size}x$size/apps/kelvarn.png" | grep -q "PNG image data, $size x $size," ||
    fail "no $size px icon: $(file "$usr/icons/hicolor/${size}x$size/apps/kelvarn.png")"
done
echo "package lint ok"
