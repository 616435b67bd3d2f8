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
# One file a call: clang-tidy 14 itself crashes (a signal) on a few files of ours, inside its own
# constant evaluator at a Windows-1251 literal; such a file is named, not taken for a finding.
tidy_one() {
  local status=0
  clang-tidy -p "$1" --quiet --extra-arg=-Wno-unknown-warning-option "$2" 2> /dev/null || status=$?
  if [ "$status" -ge 128 ]; then
    echo "crashed: $2"
  elif [ "$status" -ne 0 ]; then
    echo "failed: $2"
  fi
}
export -f tidy_one
xargs -P "$(nproc)" -n 1 bash -c 'tidy_one "$0" "$1"' "$build" < "$build/tidy-files" > "$out"
if grep -qE '(warning|error):|^failed: ' "$out"; then
  grep -E '(warning|error):|^failed: ' "$out" | sort -u
  echo "clang-tidy found the above (.clang-tidy lists the checks)" >&2
  exit 1
fi
if grep -q '^crashed: ' "$out"; then
  grep '^crashed: ' "$out" | sort >&2
  echo "clang-tidy crashed on the files above; they were not checked" >&2
fi
echo "clang-tidy: $(wc -l < "$build/tidy-files") files clean"
