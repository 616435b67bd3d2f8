#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program, started offscreen on a small catalogue: it stays up, and a termination
# signal closes it the way its close box does (settings written, the page file deleted), also
# when the signal comes while the catalogue is still loading.
set -euo pipefail
. "$(dirname "$0")/support/program_exit.sh"
program_dir=$1
folder=$(mktemp -d)
trap 'kill -KILL "${pid:-}" 2>/dev/null || true; rm -rf "$folder"' EXIT

# Starts the program on $folder, sends SIGTERM after $1 seconds and checks that it closed cleanly.
start_and_terminate() {
  printf 'page' > "$folder/Loops.dat"
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$program_dir/kelvarn" --data-dir "$folder" &
  pid=$!
  sleep "$1"
  kill -0 "$pid" || { echo "the program did not stay up"; exit 1; }
  kill -TERM "$pid"
  expect_exit "$pid" 100 "the program did not close on SIGTERM ($2)" \
    "the program ended with an error ($2)"
  [ ! -e "$folder/Loops.dat" ] || { echo "Loops.dat was not deleted ($2)"; exit 1; }
  grep -q "^news=0" "$folder/Setting.ini" || { echo "news was not written back ($2)"; exit 1; }
  grep -q "^CheckListStyle=" "$folder/Setting.ini" || { echo "the import settings were not written ($2)"; exit 1; }
  grep -q "^day=0" "$folder/Setting.ini" || { echo "the new-days setting was not written ($2)"; exit 1; }
}

# Asked for its usage or version it answers without a display, and writes nothing.
for ask in "--help:--data-dir DIR" "--version:kelvarn "; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program_dir/kelvarn" --data-dir "$folder" "${ask%%:*}")
  [[ $out == *"${ask#*:}"* && -z $(ls -A "$folder") ]] || { echo "kelvarn ${ask%%:*}: $out"; exit 1; }
done

# An option that is neither ours nor Qt's is a usage error, said without a display either.
status=0
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program_dir/kelvarn" --bogus 2>&1) || status=$?
[[ $status == 2 && $out == *"usage: kelvarn"* ]] || { echo "kelvarn --bogus: $status $out"; exit 1; }

for f in Base.vlt index List.dnl AvtLst.lst About Help; do
  cp "$program_dir/$f" "$folder/"
done
printf '[Main]\r\nnews=0\r\nLoadDelay=0\r\n' > "$folder/Setting.ini"
start_and_terminate 2 "after the load"

# Fifty records at a second each: the signal comes early in the load.
head -c $((176 * 50)) /dev/zero > "$folder/Base.vlt"
printf '[Main]\r\nnews=0\r\nLoadDelay=1000\r\n' > "$folder/Setting.ini"
start_and_terminate 2 "during the load"
echo "program started and closed cleanly"
