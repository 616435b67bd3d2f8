#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages: groff and man render them without a warning, and kelvarn-cli(1) names every
# command, option and setting that `kelvarn-cli --help` names (kelvarn(1) every option of
# `kelvarn --help`), each where the page defines it, so the page and the program never drift.
set -euo pipefail
build_dir=$1
pages=$build_dir/packaging/man
program=$build_dir/program
fail() { echo "$*"; exit 1; }
export LC_ALL=C.UTF-8

for page in kelvarn kelvarn-cli; do
  warnings=$(groff -k -ww -z -man -Tutf8 "$pages/$page.1" 2>&1; man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$pages/$page.1" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# The terms a page defines: its item headings (the lines at the headings' indent) in one section,
# rendered without wrapping.
headings() {
  groff -k -man -Tutf8 -rLL=2000n -rHY=0 -P-cbou "$pages/$1.1" |
    awk -v section="$2" '/^[A-Z]/ { inside = $0 == section; next } inside && /^       [^ ]/'
}
# check PAGE SECTION TERM...: each term stands whole in a heading of that section ("restore" in
# "restore-backup" does not count).
check() {
  local page=$1 section=$2 term pattern
  shift 2
  headings "$page" "$section" > "$work_file"
  for term; do
    pattern=$(sed 's/[][\.*^$]/\\&/g' <<< "$term")
    grep -qE -- "(^|[^a-z-])$pattern([^a-z-]|\$)" "$work_file" || fail "$page(1) has no $term under $section"
  done
}
work_file=$(mktemp)
trap 'rm -f "$work_file"' EXIT

help=$("$program/kelvarn-cli" --help)
commands=$(sed -n '/^commands:/,/^$/p' <<< "$help" | grep -oE '^  [a-z-]+|\| [a-z-]+' | tr -d '| ')
[ "$(wc -l <<< "$commands")" -ge 18 ] || fail "too few commands read from --help: $commands"
# shellcheck disable=SC2086
check kelvarn-cli COMMANDS $commands
options=$(sed -n '/^commands:/,/^$/p' <<< "$help" | grep -oE -- '--[a-z-]+' | sort -u)
# shellcheck disable=SC2086
check kelvarn-cli COMMANDS $options
settings=$(grep -oE '^  \[[A-Za-z]+\] [A-Za-z_]+=' <<< "$help" | sed 's/^  //')
[ "$(wc -l <<< "$settings")" -ge 10 ] || fail "too few settings read from --help: $settings"
while read -r setting; do
  check kelvarn-cli SETTINGS "$setting"
done <<< "$settings"
check kelvarn-cli OPTIONS --data-dir --site --help
for status in 0 1 2 3; do
  check kelvarn-cli "EXIT STATUS" "$status"
done

gui_options=$("$program/kelvarn" --help | grep -oE -- '(^| )-(-[a-z-]+|[a-z])\b' | tr -d ' ' | sort -u)
# shellcheck disable=SC2086
check kelvarn OPTIONS $gui_options
echo "manual pages ok"
