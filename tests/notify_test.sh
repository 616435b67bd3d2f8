#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kelvarn-cli sync --notify against a stand-in notification service on a private session bus:
# one notice with what the sync added and downloaded, or why it failed; none when nothing
# happened, with [Main] Notify=0, without --notify; and not a word more on stderr where there is
# no bus or no service.
set -euo pipefail
program_dir=$1
cli=$program_dir/kelvarn-cli
work=$(mktemp -d)
trap 'kill "${recorder:-}" "${site:-}" "${bus:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

# A bus of the test's own: no services to start, so nothing answers but the recorder.
cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --fork --print-address=3 --print-pid=4 \
  3> "$work/address" 4> "$work/bus.pid"
bus=$(cat "$work/bus.pid")
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(cat "$work/address")

waitfor() {
  for _ in $(seq 100); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  fail "$2 did not start"
}
# Debian's own Python, which python3-gi belongs to (another python3 may come first on PATH).
/usr/bin/python3 "$(dirname "$0")/support/notification_recorder.py" "$work/notices" "$work/ready" &
recorder=$!
waitfor "$work/ready" "the notification recorder"
"$program_dir/kelvarn-demo-site" --mixes 40 --port-file "$work/port" > /dev/null &
site=$!
waitfor "$work/port" "the stand-in site"
address=http://127.0.0.1:$(cat "$work/port")

data=$work/data
mkdir -p "$data/ZIP"
touch "$data/Base.vlt" "$data/index" "$data/List.dnl" "$data/AvtLst.lst"
settings() { printf '[Main]\r\n%s\r\n[GetLoopsList]\r\nCheckListStyle=3,\r\nCheck_Avtor=0\r\n' "$1" > "$data/Setting.ini"; }
settings ""
notices() { [ -e "$work/notices" ] && wc -l < "$work/notices" || echo 0; }
# run ARGS...: kelvarn-cli on the data folder, leaves its output in $work/out and $work/err, its status in $status.
run() {
  status=0
  "$cli" --data-dir "$data" "$@" > "$work/out" 2> "$work/err" || status=$?
}
down=http://127.0.0.1:1

run --site "$address" sync --notify
[ "$status" = 0 ] || fail "the sync exited $status: $(cat "$work/err")"
added=$(sed -n 's/^Количество новых записей: //p' "$work/out")
# The download's rows follow the import's count.
sed '1,/^Количество новых записей/d' "$work/out" > "$work/rows"
fetched=$(grep -c $'\tОК$' "$work/rows" || true)
failed=$(grep -cvE $'\t(ОК|DEL)$' "$work/rows" || true)
[ "$added" -gt 0 ] && [ "$fetched" -gt 0 ] || fail "the sync brought nothing: $(cat "$work/out" "$work/err")"
words="$added новы(й микс|х микса|х миксов), $fetched скачано"
[ "$failed" = 0 ] || words="$words, $failed не скачано"
[ "$(notices)" = 1 ] && grep -qxE "\[\"Kelvarn\", \"Kelvarn\", \"$words\"\]" "$work/notices" ||
  fail "the notice of a sync that added $added and fetched $fetched: $(cat "$work/notices")"

# Each row: the settings line, the arguments, the notices expected after it.
while IFS='|' read -r line args expected; do
  settings "$line"
  # shellcheck disable=SC2086
  run $args
  [ "$(notices)" = "$expected" ] ||
    fail "sync $args with '$line': $(notices) notices, $expected expected: $(cat "$work/notices")"
done <<ROWS
|--site $address sync --notify|1
|--site $down sync|1
Notify=0|--site $down sync --notify|1
Notify=1|--site $down sync --notify|2
ROWS
[ "$status" = 3 ] || fail "a failed sync exited $status"
tail -n 1 "$work/notices" | grep -qxF '["Kelvarn", "Kelvarn", "Синхронизация не удалась — список миксов не получен"]' ||
  fail "the notice of a failed sync: $(tail -n 1 "$work/notices")"

# Where nobody listens the notice is dropped without a word: no service on the bus, no bus.
run --site "$down" sync
cp "$work/err" "$work/quiet"
kill "$recorder"
wait "$recorder" 2> /dev/null || true
for run in "bus without a service:" "no bus:env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR=$work"; do
  status=0
  ${run#*:} "$cli" --data-dir "$data" --site "$down" sync --notify > /dev/null 2> "$work/err" ||
    status=$?
  [ "$status" = 3 ] && cmp -s "$work/err" "$work/quiet" ||
    fail "sync --notify with ${run%%:*} exited $status and said: $(diff "$work/quiet" "$work/err")"
done
echo "sync notices ok"
