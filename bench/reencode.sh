#!/usr/bin/env bash
# Re-encoding benchmark: vantrel-cli against "ffmpeg -threads 1" on two
# inputs of the fixture script, the 60 s 640x480 25 fps MPEG-4/MP3 AVI and the
# 30 s 1280x720 25 fps H.264/AAC MP4, each to both codec sets of the
# application (MPEG-4 + AAC in .mp4, H.263 + AMR-NB in .3gp), same codecs and
# settings, runs alternating. vantrel gets the decoder options the
# application gives these files with fast decoding on (vantrel-batch
# --verbose says which): reduced-size decoding at the factor it chooses, or,
# for H.264, skipped deblocking of non-reference pictures, skipped decoding
# of the non-reference pictures the frame rate drops and halving before the
# scaler. Each is run twice: with one decoder thread, as in a batch that
# keeps every core busy (the CPU time that counts there), and with a decoder
# thread per core, as the application gives a file converted alone (the wall
# time that counts there). The reference decodes at full size on one thread.
# Prints the least time of the runs (whatever else the machine runs only
# ever adds to a time), the median peak memory, and the ratios:
#   CPU time (user+system) of both runs, wall time of the threaded run, peak
#   memory (max RSS, the larger of the two runs), output size, PSNR of each
#   output against the input scaled by the reference's scaler.
#
# Then the H.264 profile for smartphones (profile 5, "Balanced") through
# vantrel-batch, as a user runs it, against ffmpeg with the same encoder
# settings and its own default threads: the 720p input kept at 1280x720 and
# a 20 s 1080p film made 1280x720, with wall and CPU time, output size and
# the speed against real time (content seconds per wall second).
#
# Usage: bench/reencode.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build of this project (default build/release; made with
#              CMAKE_BUILD_TYPE=Release when it does not exist)
#   RUNS       runs per program, input and codec set (default 3)
# DECODER_THREADS in the environment replaces the thread per core;
# H264_ONLY=1 runs only the H.264 profile part.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
RUNS=${2:-3}

if [[ ! -x $BUILD/tools/vantrel-cli || ! -x $BUILD/tools/vantrel-batch ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target vantrel-cli vantrel-batch >/dev/null
fi
CLI=$BUILD/tools/vantrel-cli
FIXTURES=$BUILD/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" --bench >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

SIZE=176x144
RATE=15
CORES=${DECODER_THREADS:-$(nproc)}

INPUTS=(bench_60s.avi bench_720p_30s.mp4)
# What the application chooses for a 176x144 output: MPEG-4 part 2 decodes
# 640x480 at half size (320x240, a quarter would be 160x120 < 176); H.264
# offers no reduced size, and skips the deblocking of non-reference pictures
# (AVDISCARD_NONREF) since the output has less than a quarter of the pixels,
# and the decoding of the non-reference pictures the 15 fps output drops.
# The H.264 picture is over four times 176x144 both ways: halved first.
declare -A FAST=([bench_60s.avi]="-lowres 1"
    [bench_720p_30s.mp4]="-skip_loop_filter 8 -skip_dropped -prescale_halving")

# name, extension, our options, the reference's options
SETS=(mpeg4_aac h263_amrnb)
declare -A EXT=([mpeg4_aac]=mp4 [h263_amrnb]=3gp)
declare -A OURS=(
    [mpeg4_aac]="-vcodec mpeg4 -acodec libfaac -s $SIZE -r $RATE -b 40000 -ab 96000 -ar 32000 -ac 2"
    [h263_amrnb]="-vcodec h263 -acodec libopencore_amrnb -s $SIZE -r $RATE -b 40000 -ab 10200 -ar 8000 -ac 1")
declare -A THEIRS=(
    [mpeg4_aac]="-c:v mpeg4 -c:a aac -s $SIZE -r $RATE -b:v 40000 -b:a 96000 -ar 32000 -ac 2"
    [h263_amrnb]="-c:v h263 -c:a libopencore_amrnb -s $SIZE -r $RATE -b:v 40000 -b:a 10200 -ar 8000 -ac 1")

# Runs a command; prints "cpu_seconds max_rss_kb wall_seconds".
measure() {
    local stats=$WORK/time.txt
    /usr/bin/time -f "%U %S %M %e" -o "$stats" "$@" >/dev/null 2>"$WORK/stderr.txt" || {
        echo "failed: $*" >&2
        cat "$WORK/stderr.txt" >&2
        exit 1
    }
    awk '{ printf "%.3f %d %.3f\n", $1 + $2, $3, $4 }' "$stats"
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
least() { sort -g | head -1; }

# psnr OUTPUT SOURCE
psnr() {
    ffmpeg -hide_banner -nostats -i "$1" -i "$2" -lavfi \
        "[1:v]scale=$SIZE:flags=bicubic,fps=$RATE[ref];[0:v][ref]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}

# ---- H.264 profile: vantrel-batch --profile 5 against ffmpeg ----
h264_profile() {
    local input src ours ref seconds
    printf "\n%-20s %7s %7s %6s %6s %6s %8s %8s %7s\n" "profile 5, 1280x720" wall_our wall_ref wall_r \
        cpu_r rss_r size_our size_ref speed
    for input in bench_720p_30s.mp4 bench_1080p_20s.mp4; do
        src=$FIXTURES/$input
        ours=$WORK/h264/${input%.*}.mp4
        ref=$WORK/ref_h264.mp4
        seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")
        : >"$WORK/ours.txt"
        : >"$WORK/ref.txt"
        for ((i = 0; i < RUNS; i++)); do
            rm -rf "$WORK/h264" "$ref"
            XDG_CONFIG_HOME=$WORK/config measure "$BUILD/tools/vantrel-batch" --quiet --profile 5 --size 1280x720 \
                --video-bitrate Balanced --audio-bitrate 128kbps --sample-rate 44100Hz --output-folder "$WORK/h264" \
                "$src" >>"$WORK/ours.txt"
            measure ffmpeg -nostdin -hide_banner -i "$src" -s 1280x720 -c:v libx264 -preset veryfast \
                -profile:v high -level 3.1 -crf 23 -pix_fmt yuv420p -c:a aac -b:a 128k -ar 44100 -ac 2 \
                -y "$ref" >>"$WORK/ref.txt"
        done
        col() { cut -d' ' -f"$2" "$WORK/$1.txt" | if (($2 == 2)); then median; else least; fi; }
        awk -v i="$input" -v wo="$(col ours 3)" -v wr="$(col ref 3)" -v co="$(col ours 1)" -v cr="$(col ref 1)" \
            -v ro="$(col ours 2)" -v rr="$(col ref 2)" -v so="$(stat -c %s "$ours")" -v sr="$(stat -c %s "$ref")" \
            -v d="$seconds" 'BEGIN {
                printf "%-20s %7.2f %7.2f %6.3f %6.3f %6.3f %8d %8d %6.2fx\n",
                    i, wo, wr, wo / wr, co / cr, ro / rr, so, sr, d / wo }'
    done
    echo "wall_r, cpu_r, rss_r: ours / ffmpeg (default threads); speed: content seconds per wall second (ours)"
    echo "target: speed > 1 for the 1080p film made 720p"
}

if [[ ${H264_ONLY:-0} == 1 ]]; then
    h264_profile
    exit 0
fi

printf "%-19s %-11s %7s %7s %6s %6s %6s %6s %6s %6s %6s %7s\n" input set cpu_our cpu_ref cpu_r cpu_rt \
    wall_r rss_r size_r psnr_o psnr_f psnr_d
for input in "${INPUTS[@]}"; do
    src=$FIXTURES/$input
    for set in "${SETS[@]}"; do
        ours=$WORK/ours.${EXT[$set]}
        ref=$WORK/ref.${EXT[$set]}
        : >"$WORK/one.txt"
        : >"$WORK/threads.txt"
        : >"$WORK/ref.txt"
        for ((i = 0; i < RUNS; i++)); do
            rm -f "$ours" "$ref"
            # shellcheck disable=SC2086
            measure "$CLI" -decode_threads 1 ${FAST[$input]} -i "$src" ${OURS[$set]} "$ours" >>"$WORK/one.txt"
            rm -f "$ours"
            # shellcheck disable=SC2086
            measure "$CLI" -decode_threads "$CORES" ${FAST[$input]} -i "$src" ${OURS[$set]} "$ours" >>"$WORK/threads.txt"
            # shellcheck disable=SC2086
            measure ffmpeg -nostdin -hide_banner -threads 1 -i "$src" -threads 1 -filter_threads 1 \
                ${THEIRS[$set]} -y "$ref" >>"$WORK/ref.txt"
        done
        col() { cut -d' ' -f"$2" "$WORK/$1.txt" | if (($2 == 2)); then median; else least; fi; }
        rss_ours=$(printf "%s\n%s\n" "$(col one 2)" "$(col threads 2)" | sort -g | tail -1)
        awk -v i="$input" -v s="$set" -v co="$(col one 1)" -v ct="$(col threads 1)" -v cr="$(col ref 1)" \
            -v wo="$(col threads 3)" -v wr="$(col ref 3)" -v ro="$rss_ours" -v rr="$(col ref 2)" \
            -v so="$(stat -c %s "$ours")" -v sr="$(stat -c %s "$ref")" -v po="$(psnr "$ours" "$src")" \
            -v pr="$(psnr "$ref" "$src")" 'BEGIN {
                printf "%-19s %-11s %7.2f %7.2f %6.3f %6.3f %6.3f %6.3f %6.3f %6.2f %6.2f %7.2f\n",
                    i, s, co, cr, co / cr, ct / cr, wo / wr, ro / rr, so / sr, po, pr, po - pr }'
    done
done
echo "cpu_our: one decoder thread; cpu_r: that / reference; cpu_rt, wall_r: with $CORES decoder threads / reference;"
echo "rss_r, size_r: ours / reference; psnr_o, psnr_f: against the scaled input (dB)"
echo "targets: cpu_r <= 0.75 (MPEG-4 input), <= 0.65 (H.264 input); wall_r <= 0.65 (H.264 input);"
echo "         rss_r <= 1.0; psnr_d >= -0.3 dB"
h264_profile
