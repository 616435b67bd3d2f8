#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's SPDX line at the top of every source file that lacks it: first, or second
# after a "#!" line or a manual page's title line, in the file's own comment syntax. Run again at
# any time; a file that has the line is left as it is. With --check it changes nothing, lists the
# files without the line and fails when there is one (the ctest test `spdx`).
# Source files: C++, CMake, shell, Python, the manual pages' scdoc, the bash completion, and any
# executable script, as git knows them (untracked ones too, ignored ones not), outside .ci/.
set -euo pipefail
cd "$(dirname "$0")/.."
tag='SPDX-License-Identifier: GPL-3.0-or-later'
check=false
[ "${1:-}" = --check ] && check=true

sources() {
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
    [ -f "$file" ] || continue
    case $file in
      .ci/*) ;;  # the CI's own entry point, not the program's
      *.cpp | *.h | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.sh | *.py | *.scd | \
        packaging/bash-completion/*) echo "$file" ;;
      *)
        if [ -x "$file" ] && [ "$(head -c 2 "$file")" = '#!' ]; then
          echo "$file"
        fi
        ;;
    esac
  done
}

line_for() {
  case $1 in
    *.cpp | *.h) echo "// $tag" ;;
    *.scd) echo "; $tag" ;;
    *) echo "# $tag" ;;
  esac
}

missing=0
while IFS= read -r file; do
  head -n 2 "$file" | grep -qF "$tag" && continue
  missing=$((missing + 1))
  if $check; then
    echo "no SPDX line: $file"
    continue
  fi
  line=$(line_for "$file")
  if [ ! -s "$file" ]; then
    echo "$line" > "$file"
    continue
  fi
  # A script's "#!" and a manual page's title must stay the first line.
  if [ "$(head -c 2 "$file")" = '#!' ] || [[ $file == *.scd ]]; then
    sed -i "1a $line" "$file"
  else
    sed -i "1i $line" "$file"
  fi
done < <(sources)
if $check && [ "$missing" -gt 0 ]; then
  echo "$missing source files lack the line; scripts/add_spdx.sh adds it"
  exit 1
fi
