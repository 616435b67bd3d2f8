#!/usr/bin/env bash
# Times `kelvarn-cli search` on a generated catalogue of 1,000,000 records against grep over a
# text dump of the same data: by name against `grep -ci` over the authors and titles, by ID
# against reading Base.vlt once (`cat > /dev/null`). Figures only.
# Usage: bench/compare_search.sh [BUILD_DIR]   (default: build)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cli="$build/program/kelvarn-cli"
generator="$build/bench/make_catalogue"
runs=${RUNS:-5}
for tool in "$cli" "$generator"; do
    [[ -x $tool ]] || { echo "missing $tool: build kelvarn-cli and make_catalogue first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-search-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$generator" "$work" 1000000 > /dev/null
# The authors and titles as text, one record a line, for grep.
for view in catalogue favourites recycle; do "$cli" --data-dir "$work" list "$view"; done |
    cut -f3,4 > "$work/names.txt"
echo "$(wc -l < "$work/names.txt") lines of authors and titles" >&2

# Best wall time in seconds of a shell command over the runs.
best() {
    local i best=""
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(date +%s.%N)
        # Through a pipe: GNU grep stops at the first match when its output is /dev/null.
        bash -c "$1" | cat > /dev/null
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-999}" | awk '{ t = $2 - $1; print (t < $3 ? t : $3) }')
    done
    echo "$best"
}

grep_s=$(best "grep -ci mix '$work/names.txt'")
name_s=$(best "'$cli' --data-dir '$work' search name mix")
rare_s=$(best "'$cli' --data-dir '$work' search name zzqx")
cat_s=$(best "dd if='$work/Base.vlt' of=/dev/null bs=1M status=none")
id_s=$(best "'$cli' --data-dir '$work' search id 123456")
echo "1,000,000 records, best of $runs:"
awk -v g="$grep_s" -v n="$name_s" -v r="$rare_s" 'BEGIN {
    printf "  grep -ci mix over a text dump of authors and titles: %.3f s\n", g
    printf "  by name \"mix\" (about a quarter of the records match and are printed): %.3f s (%.2fx)\n", n, n / g
    printf "  by name, a text found nowhere (the scan alone): %.3f s (%.2fx)\n", r, r / g }'
awk -v c="$cat_s" -v i="$id_s" 'BEGIN { printf "  by ID:   %.3f s; reading Base.vlt once: %.3f s (%.2fx)\n", i, c, i / c }'
