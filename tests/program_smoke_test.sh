#!/usr/bin/env bash
# The real program, started offscreen on a small catalogue: it stays up, and a termination
# signal closes it the way its close box does (settings written, the page file deleted).
set -euo pipefail
program_dir=$1
folder=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$folder"' EXIT

for f in Base.vlt index List.dnl AvtLst.lst About Help; do
  cp "$program_dir/$f" "$folder/"
done
printf 'page' > "$folder/Loops.dat"
printf '[Main]\r\nnews=0\r\nLoadDelay=0\r\n' > "$folder/Setting.ini"

QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy "$program_dir/kelvarn" --data-dir "$folder" &
pid=$!
sleep 2
kill -0 "$pid" || { echo "the program did not stay up"; exit 1; }
kill -TERM "$pid"
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the program did not close on SIGTERM"
  exit 1
fi
wait "$pid" || { echo "the program ended with an error"; exit 1; }
[ ! -e "$folder/Loops.dat" ] || { echo "Loops.dat was not deleted"; exit 1; }
grep -q "^news=0" "$folder/Setting.ini" || { echo "news was not written back"; exit 1; }
grep -q "^CheckListStyle=" "$folder/Setting.ini" || { echo "the import settings were not written"; exit 1; }
grep -q "^day=0" "$folder/Setting.ini" || { echo "the new-days setting was not written"; exit 1; }
echo "program started and closed cleanly"
