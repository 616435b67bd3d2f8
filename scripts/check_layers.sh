#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a file includes from a layer above its own: the core (core/) uses no Qt and nothing
# of the windows, the command line or the stand-in site; the command line (cli/) and the stand-in
# site (demo_site/) use the core alone. Within the core each folder uses only the floors below it;
# within the windows, gui/common uses no window and no window uses the set that makes them all.
# Prints every offending line.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

qt='#include\s*<Q[A-Za-z]*(/[A-Za-z]*)?>'
bad=0
check() {  # check FOLDER PATTERN WHAT
    local hits
    hits=$(grep -rnE --include='*.h' --include='*.cpp' "$2" "$1" || true)
    if [ -n "$hits" ]; then
        echo "$1 includes $3:"
        echo "$hits"
        bad=1
    fi
}
check core "$qt" "Qt"
check core '#include\s*"(gui|cli|demo_site)/' "a layer above it"
check cli "$qt" "Qt"
check cli '#include\s*"(gui|demo_site)/' "a layer beside or above it"
check demo_site '#include\s*"(gui|cli)/' "a layer beside or above it"

# The core's floors, lowest first.
floors=(net sound storage catalogue import mixfiles downloader tools)
for i in "${!floors[@]}"; do
    above=("${floors[@]:i+1}")
    if [ ${#above[@]} -gt 0 ]; then
        check "core/${floors[i]}" "#include\s*\"core/($(IFS='|'; echo "${above[*]}"))/" "a floor above it"
    fi
done

check gui/common '#include\s*"gui/(main_window|import|downloader|tools|info)/' "a window"
for folder in common main_window import downloader tools info; do
    check "gui/$folder" '#include\s*"gui/window_set\.h"' "the window set"
done
exit "$bad"
