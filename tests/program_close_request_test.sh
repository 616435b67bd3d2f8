#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program on an X server, asked to close by the window system (as a window manager's
# close box does) while the catalogue is still loading: the close is taken at once, the rest
# loads at full speed, and the closing writes the settings back. Run under xvfb-run.
set -euo pipefail
. "$(dirname "$0")/support/program_exit.sh"
program_dir=$1
wm_close=$2
folder=$(mktemp -d)
trap 'kill -KILL "${pid:-}" 2>/dev/null || true; rm -rf "$folder"' EXIT

for f in index List.dnl AvtLst.lst About Help; do
  cp "$program_dir/$f" "$folder/"
done
# Thirty records at a second each: without the close the load alone takes half a minute.
head -c $((176 * 30)) /dev/zero > "$folder/Base.vlt"
printf '[Main]\r\nnews=0\r\nLoadDelay=1000\r\n' > "$folder/Setting.ini"
SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb "$program_dir/kelvarn" --data-dir "$folder" &
pid=$!
# A second into the load.
"$wm_close" "Kelvarn v" 1000
expect_exit "$pid" 150 "the close request was not answered within 15 s" \
  "the program ended with an error"
grep -q "^day=0" "$folder/Setting.ini" || { echo "the closing did not write the settings"; exit 1; }
echo "the close request during the load closed the program"
