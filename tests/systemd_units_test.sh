#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sync's systemd user units, as the install writes them, pass systemd's own check. Skipped
# (77) where systemd-analyze is missing or cannot run (a container without a user manager).
set -euo pipefail
build_dir=$1
command -v systemd-analyze > /dev/null || { echo "no systemd-analyze: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A user manager's check needs a runtime folder, which a shell without a login session lacks.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[Service]\nType=oneshot\nExecStart=/bin/true\n' > "$work/probe.service"
systemd-analyze --user verify "$work/probe.service" > /dev/null 2>&1 ||
  { echo "systemd-analyze cannot check units here: skipped"; exit 77; }

cmake --install "$build_dir" --component system --prefix "$work/prefix" > /dev/null
units=$work/prefix/lib/systemd/user
# Warnings (an unknown value, a misspelt key) leave the status 0: any word is a failure.
report=$(systemd-analyze --user verify "$units/kelvarn-sync.service" "$units/kelvarn-sync.timer" 2>&1) ||
  { echo "$report"; exit 1; }
[ -z "$report" ] || { echo "$report"; exit 1; }
echo "systemd units ok"
