#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshot: the main window on a small generated catalogue, under a virtual
# X server. Needs the test command's build (scripts/setup.sh test), for the benchmark tools.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v Xvfb > /dev/null && command -v import > /dev/null ||
  { echo "the screenshot needs Xvfb and ImageMagick: apt-get install xvfb imagemagick" >&2; exit 1; }
out=${1:-docs/screenshot.png}
demo=$(mktemp -d)
display=:$((90 + RANDOM % 9))
cleanup() {
  kill "${app_pid:-}" "${x_pid:-}" 2>/dev/null || true
  rm -rf "$demo"
}
trap cleanup EXIT

build/bench/make_catalogue "$demo" 600 --seed 7 > /dev/null
cp -r build/program/sound build/program/About build/program/Help "$demo/"
printf '[Main]\r\nnews=0\r\nZip=0\r\nLoadDelay=0\r\n' > "$demo/Setting.ini"

Xvfb "$display" -screen 0 960x700x24 > /dev/null 2>&1 &
x_pid=$!
sleep 1
DISPLAY=$display SDL_AUDIODRIVER=dummy build/program/kelvarn --data-dir "$demo" > /dev/null 2>&1 &
app_pid=$!
sleep 3
/usr/bin/import -window root -display "$display" "$out"
echo "screenshot: $out"
