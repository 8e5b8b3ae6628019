#!/usr/bin/env bash
# Re-encoding benchmark: vantrel-cli against "ffmpeg -threads 1" on the 60 s
# 640x480 25 fps MPEG-4/MP3 AVI of the fixture script, for both codec sets of
# the application (MPEG-4 + AAC in .mp4, H.263 + AMR-NB in .3gp), same codecs
# and settings, runs alternating. Prints the medians and the ratios:
#   CPU time (user+system), peak memory (max RSS), output size, PSNR of the
#   output against the scaled input.
#
# Usage: bench/reencode.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build of this project (default build/release; made with
#              CMAKE_BUILD_TYPE=Release when it does not exist)
#   RUNS       runs per program and codec set (default 5)
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

SIZE=176x144
RATE=15

# name, extension, our options, the reference's options
SETS=(mpeg4_aac h263_amrnb)
declare -A EXT=([mpeg4_aac]=mp4 [h263_amrnb]=3gp)
declare -A OURS=(
    [mpeg4_aac]="-vcodec mpeg4 -acodec libfaac -s $SIZE -r $RATE -b 40000 -ab 96000 -ar 32000 -ac 2"
    [h263_amrnb]="-vcodec h263 -acodec libopencore_amrnb -s $SIZE -r $RATE -b 40000 -ab 10200 -ar 8000 -ac 1")
declare -A THEIRS=(
    [mpeg4_aac]="-c:v mpeg4 -c:a aac -s $SIZE -r $RATE -b:v 40000 -b:a 96000 -ar 32000 -ac 2"
    [h263_amrnb]="-c:v h263 -c:a libopencore_amrnb -s $SIZE -r $RATE -b:v 40000 -b:a 10200 -ar 8000 -ac 1")

# Runs a command; prints "cpu_seconds max_rss_kb".
measure() {
    local stats=$WORK/time.txt
    /usr/bin/time -f "%U %S %M" -o "$stats" "$@" >/dev/null 2>"$WORK/stderr.txt" || {
        echo "failed: $*" >&2
        cat "$WORK/stderr.txt" >&2
        exit 1
    }
    awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$stats"
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

psnr() {
    ffmpeg -hide_banner -nostats -i "$1" -i "$SRC" -lavfi \
        "[1:v]scale=$SIZE:flags=bicubic,fps=$RATE[ref];[0:v][ref]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}

printf "%-11s %9s %9s %9s %9s %9s %9s %8s %8s %7s\n" set cpu_ours cpu_ref cpu_ratio rss_ours rss_ref rss_ratio \
    size_rat psnr_our psnr_d
for set in "${SETS[@]}"; do
    ours=$WORK/ours.${EXT[$set]}
    ref=$WORK/ref.${EXT[$set]}
    : >"$WORK/ours.txt"
    : >"$WORK/ref.txt"
    for ((i = 0; i < RUNS; i++)); do
        rm -f "$ours" "$ref"
        # shellcheck disable=SC2086
        measure "$CLI" -i "$SRC" ${OURS[$set]} "$ours" >>"$WORK/ours.txt"
        # shellcheck disable=SC2086
        measure ffmpeg -nostdin -hide_banner -threads 1 -i "$SRC" -threads 1 -filter_threads 1 ${THEIRS[$set]} \
            -y "$ref" >>"$WORK/ref.txt"
    done
    cpu_o=$(cut -d' ' -f1 "$WORK/ours.txt" | median)
    cpu_r=$(cut -d' ' -f1 "$WORK/ref.txt" | median)
    rss_o=$(cut -d' ' -f2 "$WORK/ours.txt" | median)
    rss_r=$(cut -d' ' -f2 "$WORK/ref.txt" | median)
    size_o=$(stat -c %s "$ours")
    size_r=$(stat -c %s "$ref")
    psnr_o=$(psnr "$ours")
    psnr_r=$(psnr "$ref")
    awk -v s="$set" -v co="$cpu_o" -v cr="$cpu_r" -v ro="$rss_o" -v rr="$rss_r" -v so="$size_o" -v sr="$size_r" \
        -v po="$psnr_o" -v pr="$psnr_r" 'BEGIN {
            printf "%-11s %9.3f %9.3f %9.3f %9d %9d %9.3f %8.3f %8.2f %7.2f\n",
                s, co, cr, co / cr, ro, rr, ro / rr, so / sr, po, po - pr }'
done
echo "targets: cpu_ratio <= 1.05, rss_ratio <= 1.10, size ratio within 0.90..1.10, psnr_d >= -0.5 dB"
