#!/usr/bin/env bash
# Sets Kelvarn up (packages, build) and starts it on its program folder, build/program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

program=build/program/kelvarn
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Kelvarn on a virtual X server (xvfb-run)."
  exec xvfb-run -a "$program" "$@"
fi
exec "$program" "$@"
