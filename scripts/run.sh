#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets Kelvarn up (packages, build) and starts it on a demo data folder, build/demo, with the
# local stand-in for the music site serving on loopback, so imports and downloads work offline.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run

folder=build/program
# The demo keeps its catalogue and settings apart, so the program folder stays as a build lays
# it out. Laid out the same way: the sounds and texts are read from the data folder.
demo=build/demo
cmake -DSOURCE_DIR="$PWD" -DDEST="$demo" -P scripts/lay_out_program_folder.cmake
# A first start ticks every style of the import, so "Начать" brings the demo site's mixes in.
if [ ! -e "$demo/Setting.ini" ]; then
  printf '[GetLoopsList]\r\nCheckListStyle=0,1,2,3,4,5,6,7,8,9,10,11,12,13,\r\n' > "$demo/Setting.ini"
fi

port_file=$(mktemp)
"$folder/kelvarn-demo-site" --port-file "$port_file" > /dev/null &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null || true; rm -f "$port_file"' EXIT
for _ in $(seq 100); do
  [ -s "$port_file" ] && break
  sleep 0.1
done
[ -s "$port_file" ] || { echo "the demo site did not start" >&2; exit 1; }
site="http://127.0.0.1:$(cat "$port_file")"
echo "Demo site: $site"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Kelvarn on a virtual X server (xvfb-run)."
  xvfb-run -a "$folder/kelvarn" --data-dir "$demo" --site "$site" "$@"
else
  "$folder/kelvarn" --data-dir "$demo" --site "$site" "$@"
fi
