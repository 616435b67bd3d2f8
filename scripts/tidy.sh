#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy with the checks of .clang-tidy over every source file of a configured build
# (its compile_commands.json); exits non-zero on any finding.
# Usage: tidy.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tidy.sh BUILD_DIR}
# The windows' moc output, which the tests include, is made by the build's autogen targets.
mapfile -t autogen < <(cmake --build "$build" --target help | grep -oE '[A-Za-z0-9_]+_autogen\b' | sort -u)
cmake --build "$build" --target "${autogen[@]}" > /dev/null
python3 - "$build/compile_commands.json" "$PWD/" > "$build/tidy-files" <<'PY'
import json, sys
root = sys.argv[2]
for entry in json.load(open(sys.argv[1])):
    f = entry["file"]
    if f.startswith(root) and "_autogen" not in f:
        print(f)
PY
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
# The compile lines are g++'s: clang does not know all of its warning options.
xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option \
  < "$build/tidy-files" > "$out" 2> /dev/null ||
  status=$?
if [ "$status" -ne 0 ] || grep -qE '(warning|error):' "$out"; then
  grep -E '(warning|error):' "$out" | sort -u
  echo "clang-tidy found the above (.clang-tidy lists the checks)" >&2
  exit 1
fi
echo "clang-tidy: $(wc -l < "$build/tidy-files") files clean"
