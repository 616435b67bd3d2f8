#!/usr/bin/env bash
# Fails when a file includes from a layer above its own: the core (core/) uses no Qt and nothing
# of the windows, the command line or the stand-in site; the command line (cli/) and the stand-in
# site (demo_site/) use the core alone. Prints every offending line.
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
exit "$bad"
