#!/usr/bin/env bash
# Batch benchmark: 8 copies of the 60 s 640x480 25 fps MPEG-4/MP3 AVI to the
# H.263/AMR-NB 3GP phone profile, two at a time, once through the converter
# component alone (StartConvert(2)) and once through "vantrel-batch
# --parallel 2", each against "ffmpeg -threads 1" converting
# the same 8 files one after another with the same settings, in the same
# run, alternating which goes first. Then the time to add 100 files as
# tasks and set their outputs (the input probe included).
#
# Prints the medians: wall time of each side and their ratio, peak memory
# of our whole process against one ffmpeg job (the largest of its 8), the
# processor time of each side (when the wall ratio misses while the
# processor times are alike, the machine was not free for two jobs at
# once), and the adding time.
#
# Usage: bench/batch.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build of this project (default build/release; made with
#              CMAKE_BUILD_TYPE=Release when it does not exist)
#   RUNS       repetitions (default 3)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
RUNS=${2:-3}
COPIES=8
ADDED=100

[[ -x /usr/bin/time ]] || { echo "$0: /usr/bin/time missing; run scripts/setup.sh" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "$0: ffmpeg missing; run scripts/setup.sh" >&2; exit 1; }
if [[ ! -x $BUILD/bench/batch_driver || ! -x $BUILD/tools/vantrel-batch ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target batch_driver vantrel-batch >/dev/null
fi
DRIVER=$BUILD/bench/batch_driver
BATCH=$BUILD/tools/vantrel-batch
FIXTURES=$BUILD/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" --bench >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Separate files, as a user's batch would have, not one file named 8 times.
inputs=()
for ((i = 0; i < COPIES; i++)); do
    cp "$FIXTURES/bench_60s.avi" "$WORK/in$i.avi"
    inputs+=("$WORK/in$i.avi")
done
mkdir -p "$WORK/ours" "$WORK/ref" "$WORK/batch" "$WORK/config"

# Runs a command; prints "wall_seconds max_rss_kb cpu_seconds".
measure() {
    /usr/bin/time -f "%e %M %U %S" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt" || {
        echo "failed: $*" >&2
        cat "$WORK/stderr.txt" >&2
        exit 1
    }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$WORK/time.txt"
}

ours() {
    rm -f "$WORK"/ours/*
    measure "$DRIVER" convert 2 "$WORK/ours" "${inputs[@]}"
}

# The same choices as the reference below, none taken from the user's
# settings file.
batch() {
    rm -f "$WORK"/batch/*
    XDG_CONFIG_HOME=$WORK/config measure "$BATCH" --quiet --parallel 2 --profile 1 --size 176x144 \
        --frame-rate 15 --video-bitrate 40 --audio-bitrate 12.2 --sample-rate 8000 --audio-channels 1 \
        --overwrite --output-folder "$WORK/batch" "${inputs[@]}"
}

# The 8 jobs one after another: total wall time, the largest peak memory
# and the total processor time.
reference() {
    rm -f "$WORK"/ref/*
    local start end rss=0 cpu=0 i line kb
    start=$(date +%s.%N)
    for ((i = 0; i < COPIES; i++)); do
        line=$(measure ffmpeg -nostdin -v error -threads 1 -i "${inputs[$i]}" -threads 1 \
            -filter_threads 1 -c:v h263 -c:a libopencore_amrnb -s 176x144 -r 15 -b:v 40000 -b:a 12200 \
            -ar 8000 -ac 1 -f 3gp -y "$WORK/ref/out$i.3gp")
        read -r _ kb c <<<"$line"
        cpu=$(awk -v a="$cpu" -v b="$c" 'BEGIN { print a + b }')
        if ((kb > rss)); then rss=$kb; fi
    done
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" -v r="$rss" -v c="$cpu" 'BEGIN { printf "%.3f %d %.2f\n", e - s, r, c }'
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

: >"$WORK/ours.txt"
: >"$WORK/ref.txt"
: >"$WORK/batch.txt"
for ((run = 0; run < RUNS; run++)); do
    if ((run % 2)); then
        reference >>"$WORK/ref.txt"
        batch >>"$WORK/batch.txt"
        ours >>"$WORK/ours.txt"
    else
        ours >>"$WORK/ours.txt"
        batch >>"$WORK/batch.txt"
        reference >>"$WORK/ref.txt"
    fi
done

# Every output of ours is a whole file.
[[ $(ls "$WORK"/batch/*.3gp | wc -l) == "$COPIES" ]] || { echo "vantrel-batch left $(ls "$WORK"/batch) " >&2; exit 1; }
for f in "$WORK"/ours/*.3gp "$WORK"/batch/*.3gp; do
    errors=$(ffmpeg -nostdin -v error -i "$f" -f null - 2>&1) || true
    [[ -z $errors ]] || { echo "$f does not decode cleanly: $errors" >&2; exit 1; }
done

for ((i = 0; i < ADDED; i++)); do ln -f "$FIXTURES/bench_60s.avi" "$WORK/add$i.avi"; done
: >"$WORK/add.txt"
for ((run = 0; run < RUNS; run++)); do
    "$DRIVER" add "$WORK/ours" "$WORK"/add*.avi >>"$WORK/add.txt"
done

wall_o=$(cut -d' ' -f1 "$WORK/ours.txt" | median)
wall_r=$(cut -d' ' -f1 "$WORK/ref.txt" | median)
rss_o=$(cut -d' ' -f2 "$WORK/ours.txt" | median)
rss_r=$(cut -d' ' -f2 "$WORK/ref.txt" | median)
cpu_o=$(cut -d' ' -f3 "$WORK/ours.txt" | median)
cpu_r=$(cut -d' ' -f3 "$WORK/ref.txt" | median)
wall_b=$(cut -d' ' -f1 "$WORK/batch.txt" | median)
rss_b=$(cut -d' ' -f2 "$WORK/batch.txt" | median)
cpu_b=$(cut -d' ' -f3 "$WORK/batch.txt" | median)
add=$(median <"$WORK/add.txt")

echo "per run (wall s, peak kB, cpu s): component $(paste -sd';' "$WORK/ours.txt"); vantrel-batch $(paste -sd';' "$WORK/batch.txt"); ffmpeg $(paste -sd';' "$WORK/ref.txt")"
printf '%d x 60 s MPEG-4/MP3 -> H.263/AMR-NB 3GP, %d runs each (medians)\n' "$COPIES" "$RUNS"
awk -v wo="$wall_o" -v wr="$wall_r" -v ro="$rss_o" -v rr="$rss_r" -v co="$cpu_o" -v cr="$cpu_r" \
    -v wb="$wall_b" -v rb="$rss_b" -v cb="$cpu_b" -v a="$add" -v n="$ADDED" 'BEGIN {
    printf "  component      wall %8.2f s  ratio %.3f   peak %7d kB  ratio %.3f   cpu %8.2f s  ratio %.3f\n", wo, wo / wr, ro, ro / rr, co, co / cr
    printf "  vantrel-batch  wall %8.2f s  ratio %.3f   peak %7d kB  ratio %.3f   cpu %8.2f s  ratio %.3f\n", wb, wb / wr, rb, rb / rr, cb, cb / cr
    printf "  ffmpeg x8      wall %8.2f s                peak %7d kB (largest job)     cpu %8.2f s\n", wr, rr, cr
    printf "  targets: wall ratio <= 0.55 (0.45 for vantrel-batch), memory ratio <= 2.2\n"
    printf "  adding %d files with their outputs: %.3f s  (target <= 3)\n", n, a }'
