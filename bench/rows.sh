#!/usr/bin/env bash
# Rows benchmark: what a long list costs. One short clip listed 10,000
# times goes through "vantrel-batch --parallel 2", which is stopped (Ctrl-C)
# once 100 rows have converted; the same with a list of 10 rows, run to its
# end. For each: the peak memory of the process and the most files it held
# open at any moment (sampled every 20 ms). Then the time to add 1,000
# distinct files to the list (each looked at once, named and planned).
#
# Targets: the waiting rows cost at most 10 KB each (peak memory of 10,000
# rows at most 100 MB above that of 10 rows), the open files do not grow
# with the rows, and 1,000 files are added in at most 5 s.
#
# Usage: bench/rows.sh [BUILD_DIR]
#   BUILD_DIR  a build of this project (default build/release; made with
#              CMAKE_BUILD_TYPE=Release when it does not exist)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
ROWS=10000
FEW=10
STOP_AFTER=100
ADDED=1000

[[ -x /usr/bin/time ]] || { echo "$0: /usr/bin/time missing; run scripts/setup.sh" >&2; exit 1; }
if [[ ! -x $BUILD/bench/add_rows || ! -x $BUILD/tools/vantrel-batch ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target add_rows vantrel-batch >/dev/null
fi
FIXTURES=$BUILD/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" >/dev/null
CLIP=$FIXTURES/avi_mpeg4.avi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/config"

# Runs vantrel-batch over COUNT copies of the clip's name, stopping it once
# STOP rows have converted; prints "peak_rss_kb most_open_files completed".
run_batch() {
    local count=$1 stop=$2 out=$WORK/out$1
    rm -rf "$out"; mkdir -p "$out"
    local files=()
    for ((i = 0; i < count; i++)); do files+=("$CLIP"); done
    XDG_CONFIG_HOME=$WORK/config /usr/bin/time -f "%M" -o "$WORK/rss.txt" \
        "$BUILD/tools/vantrel-batch" --parallel 2 --profile 1 --overwrite --output-folder "$out" "${files[@]}" \
        >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
    local timer=$! pid="" most=0 sent=0
    while kill -0 "$timer" 2>/dev/null; do
        [[ -n $pid ]] || pid=$(pgrep -P "$timer" || true)
        if [[ -n $pid && -d /proc/$pid/fd ]]; then
            local open
            open=$(ls /proc/"$pid"/fd 2>/dev/null | wc -l)
            ((open > most)) && most=$open
            if ((sent == 0)) && (($(grep -c ': Completed' "$WORK/stdout.txt" || true) >= stop)); then
                kill -INT "$pid" 2>/dev/null; sent=1
            fi
        fi
        sleep 0.02
    done
    wait "$timer" || true
    echo "$(tail -n 1 "$WORK/rss.txt") $most $(grep -c ': Completed' "$WORK/stdout.txt" || true)"
}

read -r few_rss few_open few_done <<<"$(run_batch $FEW $FEW)"
read -r many_rss many_open many_done <<<"$(run_batch $ROWS $STOP_AFTER)"

# 1,000 distinct files, as a user's list would hold.
mkdir -p "$WORK/inputs" "$WORK/addout"
added_files=()
for ((i = 0; i < ADDED; i++)); do
    ln "$CLIP" "$WORK/inputs/clip$i.avi" 2>/dev/null || cp "$CLIP" "$WORK/inputs/clip$i.avi"
    added_files+=("$WORK/inputs/clip$i.avi")
done
read -r add_seconds add_rows <<<"$("$BUILD/bench/add_rows" "$WORK/addout" "${added_files[@]}")"

per_row=$(awk -v a="$many_rss" -v b="$few_rss" -v n=$((ROWS - FEW)) 'BEGIN { printf "%.0f", (a - b) * 1024 / n }')
printf '%-22s %12s %12s %10s\n' "batch" "peak_rss_kb" "most_open" "converted"
printf '%-22s %12s %12s %10s\n' "$FEW rows" "$few_rss" "$few_open" "$few_done"
printf '%-22s %12s %12s %10s\n' "$ROWS rows (stopped)" "$many_rss" "$many_open" "$many_done"
printf 'memory per waiting row: %s bytes (target <= 10240); extra peak: %s kB (target <= 102400)\n' \
    "$per_row" "$((many_rss - few_rss))"
printf 'open files: %s with %s rows, %s with %s rows (target: the same)\n' "$many_open" "$ROWS" "$few_open" "$FEW"
printf 'adding %s files: %s s for %s rows (target <= 5 s)\n' "$ADDED" "$add_seconds" "$add_rows"
