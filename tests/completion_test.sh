#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of kelvarn-cli, loaded into bash: what a few partial command lines
# complete to, and every style it offers is one that list takes.
set -euo pipefail
program_dir=$1
sources=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
cli=$program_dir/kelvarn-cli
data=$work/data
mkdir -p "$data/ZIP" "$work/folders/zeta" "$work/folders/zulu" "$work/folders/alpha"
touch "$data/Base.vlt" "$data/index" "$data/List.dnl"
# The first write of the day leaves the day's backup.
"$cli" --data-dir "$data" add --id 123456 --title T > /dev/null
day=$("$cli" --data-dir "$data" backups | cut -f1)
[ -n "$day" ] || { echo "no backup to complete"; exit 1; }

# Every command that --help names, and the options before it.
first=$( (printf '%s\n' --data-dir --help --site
  "$cli" --help | sed -n '/^commands:/,/^$/p' | grep -oE '^  [a-z-]+|\| [a-z-]+' | tr -d '| ') |
  sort -u | paste -sd ' ' -)

# Each row: the line typed (the completion is asked at its end) and the words offered, sorted.
cat > "$work/rows" <<ROWS
$cli |$first
$cli li|list
$cli --data-dir $data list |--style catalogue favourites recycle
$cli list --style Dr|Drum & Bass
$cli list --style "Ro|Rock & Alternative
$cli list --style В|Все стили
$cli search |--count email id name plugin tempo
$cli search --count |email id name
$cli sync --|--dry-run --notify
$cli edit 7 --r|--rating
$cli add --style 1|1 10 11 12 13 14
$cli --data-dir $data restore-backup |$day
$cli --data-dir $work/folders/z|$work/folders/zeta $work/folders/zulu
$cli export-html $work/folders/al|$work/folders/alpha
$cli export-html out.html f|favourites
ROWS

bash --norc --noprofile -c '
  set -u
  source "$1"
  while IFS="|" read -r line expected; do
    read -ra COMP_WORDS <<< "$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _kelvarn_cli kelvarn-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " " -)
    [ "$got" = "$expected" ] || { echo "\"$line\" offers \"$got\", not \"$expected\""; exit 1; }
  done < "$2"
  complete -p kelvarn-cli
  printf "%s\n" "${_kelvarn_cli_styles[@]}" > "$3"
' completion "$sources/packaging/bash-completion/kelvarn-cli" "$work/rows" "$work/styles" \
  > "$work/out" || { cat "$work/out"; exit 1; }
grep -qx 'complete -o filenames -F _kelvarn_cli kelvarn-cli' "$work/out" ||
  { echo "the completion is not declared for kelvarn-cli: $(cat "$work/out")"; exit 1; }
while read -r style; do
  "$cli" --data-dir "$data" list --style "$style" > /dev/null ||
    { echo "list refuses the style the completion offers: $style"; exit 1; }
done < "$work/styles"
[ "$(wc -l < "$work/styles")" = 16 ] || { echo "not the fifteen styles and the whole view"; exit 1; }
echo "completion ok"
