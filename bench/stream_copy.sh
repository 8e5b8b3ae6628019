#!/usr/bin/env bash
# Stream copy benchmark: vantrel-cli against `ffmpeg -c copy` on the same
# 60 s file in the same run, alternating, and vantrel-cli on a 60 s against
# a 600 s file to see whether memory grows with the length.
#
# Usage: bench/stream_copy.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a configured build with vantrel-cli (default build/dev)
#   RUNS       runs per program (default 5)
#
# Prints the median wall time and peak memory (maximum resident set size of
# /usr/bin/time -v) of each program, and the ratios vantrel / ffmpeg and
# 600 s / 60 s. Needs ffmpeg and GNU time (scripts/setup.sh installs both).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/dev}
runs=${2:-5}
cli=$build/tools/vantrel-cli
[[ -x $cli ]] || { echo "$0: $cli not found; build first" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "$0: /usr/bin/time missing; run scripts/setup.sh" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "$0: ffmpeg missing; run scripts/setup.sh" >&2; exit 1; }

sources=$build/fixtures
"$here/tests/make_fixtures.sh" "$sources" --bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One timed run: prints "seconds kilobytes".
measure() {
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time.txt" || { cat "$work/time.txt" >&2; return 1; }
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                                           for (i = 1; i <= n; i++) s = s * 60 + t[i] }
                /Maximum resident set size/ { kb = $2 }
                END { printf "%.3f %d\n", s, kb }' "$work/time.txt"
}

vantrel() { measure "$cli" -i "$1" -vcodec copy -acodec copy "$work/vantrel.avi"; }
reference() { measure ffmpeg -nostdin -v error -y -i "$1" -c copy "$work/ffmpeg.avi"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/v60" ; : >"$work/f60" ; : >"$work/v600"
for ((i = 0; i < runs; i++)); do
    rm -f "$work"/*.avi
    vantrel "$sources/bench_60s.avi" >>"$work/v60"
    reference "$sources/bench_60s.avi" >>"$work/f60"
done
for ((i = 0; i < (runs + 1) / 2; i++)); do
    rm -f "$work"/*.avi
    vantrel "$sources/bench_600s.avi" >>"$work/v600"
done

vt=$(cut -d' ' -f1 "$work/v60" | median); vm=$(cut -d' ' -f2 "$work/v60" | median)
ft=$(cut -d' ' -f1 "$work/f60" | median); fm=$(cut -d' ' -f2 "$work/f60" | median)
lt=$(cut -d' ' -f1 "$work/v600" | median); lm=$(cut -d' ' -f2 "$work/v600" | median)

printf 'stream copy, 60 s source, %d runs each (medians)\n' "$runs"
printf '  vantrel-cli   %8.3f s  %8d kB\n' "$vt" "$vm"
printf '  ffmpeg -c copy %7.3f s  %8d kB\n' "$ft" "$fm"
awk -v a="$vt" -v b="$ft" -v c="$vm" -v d="$fm" \
    'BEGIN { printf "  ratio vantrel/ffmpeg: time %.2f  memory %.2f\n", a / b, c / d }'
printf 'vantrel-cli, 600 s source (medians)\n'
printf '  600 s        %8.3f s  %8d kB\n' "$lt" "$lm"
awk -v a="$lm" -v b="$vm" 'BEGIN { printf "  memory ratio 600 s / 60 s: %.2f\n", a / b }'
