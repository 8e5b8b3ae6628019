#!/usr/bin/env bash
# Cost of the filter path per picture: the same re-encoding job with
# "-vfilters null" and without it, runs alternating, on the 60 s 640x480
# 25 fps AVI of the fixture script. Prints the median CPU times (user+system)
# and their ratio; pictures pass the graph by reference, so the ratio should
# stay close to 1 (at most 1.05).
#
# Usage: bench/vfilters_null.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build of this project (default build/release; made with
#              CMAKE_BUILD_TYPE=Release when it does not exist)
#   RUNS       runs per variant (default 5)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
RUNS=${2:-5}

if [[ ! -x $BUILD/tools/vantrel-cli ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target vantrel-cli >/dev/null
fi
CLI=$BUILD/tools/vantrel-cli
FIXTURES=$BUILD/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" --bench >/dev/null
SRC=$FIXTURES/bench_60s.avi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

JOB=(-an -vcodec mpeg4 -b 400000)

cpu() {
    /usr/bin/time -f "%U %S" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt" || {
        echo "failed: $*" >&2
        cat "$WORK/stderr.txt" >&2
        exit 1
    }
    awk '{ printf "%.3f\n", $1 + $2 }' "$WORK/time.txt"
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

: >"$WORK/plain.txt"
: >"$WORK/null.txt"
for ((i = 0; i < RUNS; i++)); do
    rm -f "$WORK"/*.avi
    cpu "$CLI" -i "$SRC" "${JOB[@]}" "$WORK/plain.avi" >>"$WORK/plain.txt"
    cpu "$CLI" -i "$SRC" "${JOB[@]}" -vfilters null "$WORK/null.avi" >>"$WORK/null.txt"
done
plain=$(median <"$WORK/plain.txt")
null=$(median <"$WORK/null.txt")
printf "%-10s %-10s %s\n" cpu_plain cpu_null ratio
printf "%-10s %-10s %.3f\n" "$plain" "$null" "$(echo "$null / $plain" | bc -l)"
