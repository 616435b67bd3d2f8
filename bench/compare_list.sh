#!/usr/bin/env bash
# Times `kelvarn-cli list` against sqlite3 printing the same rows from an indexed table, on
# generated catalogues of 100,000 and 1,000,000 records.
# Usage: bench/compare_list.sh [BUILD_DIR]   (default: build)
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
cli="$build/program/kelvarn-cli"
generator="$build/bench/make_catalogue"
runs=${RUNS:-5}

for tool in "$cli" "$generator"; do
    [[ -x $tool ]] || { echo "missing $tool: build kelvarn-cli and make_catalogue first" >&2; exit 1; }
done
command -v sqlite3 >/dev/null || { echo "sqlite3 is not installed" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "GNU time (/usr/bin/time) is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvarn-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Prints "wall_s cpu_s" (means over the runs) for a shell command.
time_command() {
    local command=$1
    if command -v hyperfine >/dev/null; then
        hyperfine --shell bash --style none --warmup 1 --runs "$runs" --export-csv "$work/hf.csv" \
            "$command" >/dev/null
        awk -F, 'NR == 2 { printf "%.3f %.3f\n", $2, $5 + $6 }' "$work/hf.csv"
    else
        local i
        for ((i = 0; i < runs; i++)); do
            /usr/bin/time -f "%e %U %S" -o "$work/time.txt" bash -c "$command"
            cat "$work/time.txt"
        done | awk '{ wall += $1; cpu += $2 + $3 } END { printf "%.3f %.3f\n", wall / NR, cpu / NR }'
    fi
}

# Peak resident memory of one run, in MB.
peak_mb() {
    /usr/bin/time -f "%M" -o "$work/rss.txt" bash -c "$1"
    awk '{ printf "%.1f\n", $1 / 1024 }' "$work/rss.txt"
}

compare() {
    local count=$1
    local data="$work/data-$count" db="$work/mixes-$count.db"
    "$generator" "$data" "$count"

    # The table holds exactly the rows the list prints; "№" is the integer primary key.
    "$cli" --data-dir "$data" list | tail -n +2 >"$work/rows.tsv"
    sqlite3 "$db" <<SQL
CREATE TABLE mixes (num INTEGER PRIMARY KEY, id TEXT, author TEXT, title TEXT, email TEXT,
                    style TEXT, size INTEGER, date TEXT, time TEXT, rating INTEGER, file TEXT);
.mode ascii
.separator "\t" "\n"
.import $work/rows.tsv mixes
SQL
    rm "$work/rows.tsv"

    local cli_cmd="'$cli' --data-dir '$data' list"
    local sql_cmd="sqlite3 -separator \$'\\t' '$db' 'SELECT * FROM mixes ORDER BY num'"

    # Both must print the same rows: same count, and the same bytes.
    bash -c "$cli_cmd" | tail -n +2 >"$work/cli.out"
    bash -c "$sql_cmd" >"$work/sql.out"
    local cli_lines sql_lines
    cli_lines=$(wc -l <"$work/cli.out")
    sql_lines=$(wc -l <"$work/sql.out")
    if [[ $cli_lines -ne $sql_lines ]]; then
        echo "row counts differ: kelvarn-cli $cli_lines, sqlite3 $sql_lines" >&2
        exit 1
    fi
    if ! cmp -s "$work/cli.out" "$work/sql.out"; then
        echo "kelvarn-cli and sqlite3 print different rows" >&2
        exit 1
    fi
    rm "$work/cli.out" "$work/sql.out"

    local cli_time sql_time cli_rss sql_rss
    cli_time=$(time_command "$cli_cmd > /dev/null")
    sql_time=$(time_command "$sql_cmd > /dev/null")
    cli_rss=$(peak_mb "$cli_cmd > /dev/null")
    sql_rss=$(peak_mb "$sql_cmd > /dev/null")

    echo "== $count records ($cli_lines rows printed, mean of $runs runs)"
    printf '%-12s %10s %10s %14s\n' "" "wall s" "CPU s" "peak RSS MB"
    read -r wall cpu <<<"$cli_time"
    printf '%-12s %10s %10s %14s\n' "kelvarn-cli" "$wall" "$cpu" "$cli_rss"
    read -r wall cpu <<<"$sql_time"
    printf '%-12s %10s %10s %14s\n' "sqlite3" "$wall" "$cpu" "$sql_rss"
    awk -v c="$cli_time" -v s="$sql_time" 'BEGIN {
        split(c, a, " "); split(s, b, " ")
        printf "kelvarn-cli / sqlite3: wall %.2f, CPU %.2f\n", a[1] / b[1], a[2] / b[2]
    }'
    rm -rf "$data" "$db"
}

compare 100000
compare 1000000
