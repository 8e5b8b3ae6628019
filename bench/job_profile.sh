#!/usr/bin/env bash
# Where one job's CPU goes, per input kind: vantrel-cli runs the job's
# pipeline cut after each stage (to the null muxer) and the CPU time
# (user+system, least of the runs) of each cut less the one before it is the
# stage's share:
#   demux       both streams copied, nothing decoded
#   vdecode     video decoded to raw pictures, less the video copied
#   scale       decoded pictures resized (and thinned to the frame rate)
#   vencode     the resized pictures encoded
#   adecode     audio decoded to PCM, less the audio copied
#   resample    decoded audio resampled to the output's rate and channels
#   aencode     the resampled audio encoded
#   mux         the whole job into the real container, less both encoded
#               streams to the null muxer (so also the cost of running both
#               paths in one loop)
# The null muxer keeps no time stamps, so the cuts ask for the constant frame
# rate the MP4 output gets ("-vsync 1"). A negative share is below what the
# runs can tell apart. The settings are
# those of profile 0 (MPEG-4 176x144 15 fps 40 kbps, AAC 96 kbps 32 kHz
# stereo) unless SET=h264 (profile 5's encoder at 1280x720 "Balanced", AAC
# 128 kbps 44.1 kHz); pictures are decoded at full size, without the
# application's fast-decoding choices.
#
# Usage: bench/job_profile.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build of this project (default build/release)
#   RUNS       runs per cut (default 3)
# INPUTS in the environment replaces the inputs (names in the fixture folder).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/release}
RUNS=${2:-3}

if [[ ! -x $BUILD/tools/vantrel-cli ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target vantrel-cli >/dev/null
fi
CLI=$BUILD/tools/vantrel-cli
FIXTURES=$BUILD/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" --bench >/dev/null
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The long sources first (their shares are the ones to trust), then one
# short file of each other kind.
read -r -a INPUTS <<<"${INPUTS:-bench_60s.avi bench_720p_30s.mp4 bench_1080p_20s.mp4 divx.avi xvid.avi mpeg_ps.mpg \
wmv.wmv asf.asf rm.rm vcd.dat quicktime.mov swf.swf mkv.mkv flv.flv ts.ts}"

if [[ ${SET:-mpeg4} == h264 ]]; then
    PICTURE="-s 1280x720 -vsync 1"
    VENC="-vcodec libx264 -preset veryfast -profile high -crf 23 -pix_fmt yuv420p -encode_threads 1"
    SOUND="-ar 44100 -ac 2"
    AENC="-acodec aac -ab 128000"
else
    PICTURE="-s 176x144 -r 15 -vsync 1"
    VENC="-vcodec mpeg4 -b 40000"
    SOUND="-ar 32000 -ac 2"
    AENC="-acodec libfaac -ab 96000"
fi
NULL="-f null /dev/null"

# cpu INPUT ARGS...: least user+system seconds of RUNS runs.
cpu() {
    local src=$1 best=""
    shift
    for ((i = 0; i < RUNS; i++)); do
        # shellcheck disable=SC2068
        /usr/bin/time -f "%U %S" -o "$WORK/t" "$CLI" -v -1 -y -decode_threads 1 -i "$src" $@ \
            >/dev/null 2>"$WORK/err" || { echo "failed: $* ($(tail -1 "$WORK/err"))" >&2; echo nan; return; }
        best=$(awk -v b="$best" '{ t = $1 + $2; print (b == "" || t < b) ? t : b }' "$WORK/t")
    done
    echo "$best"
}

printf "%-20s %6s %6s %7s %6s %7s %7s %8s %7s %6s %7s\n" input total demux vdecode scale vencode adecode \
    resample aencode mux "v/a"
for input in "${INPUTS[@]}"; do
    src=$FIXTURES/$input
    [[ -f $src ]] || { echo "missing fixture $src" >&2; exit 1; }
    copy=$(cpu "$src" -vcodec copy -acodec copy $NULL)
    vcopy=$(cpu "$src" -an -vcodec copy $NULL)
    vraw=$(cpu "$src" -an -vcodec rawvideo $NULL)
    vscaled=$(cpu "$src" -an $PICTURE -vcodec rawvideo $NULL)
    vcoded=$(cpu "$src" -an $PICTURE $VENC $NULL)
    acopy=$(cpu "$src" -vn -acodec copy $NULL)
    araw=$(cpu "$src" -vn -acodec pcm_s16le $NULL)
    aresampled=$(cpu "$src" -vn $SOUND -acodec pcm_s16le $NULL)
    acoded=$(cpu "$src" -vn $SOUND $AENC $NULL)
    both=$(cpu "$src" $PICTURE $VENC $SOUND $AENC $NULL)
    whole=$(cpu "$src" $PICTURE $VENC $SOUND $AENC "$WORK/out.mp4")
    awk -v i="$input" -v c="$copy" -v vc="$vcopy" -v vr="$vraw" -v vs="$vscaled" -v ve="$vcoded" \
        -v ac="$acopy" -v ar="$araw" -v as="$aresampled" -v ae="$acoded" -v b="$both" -v w="$whole" 'BEGIN {
            v = ve - vc; a = ae - ac
            printf "%-20s %6.2f %6.2f %7.2f %6.2f %7.2f %7.2f %8.2f %7.2f %6.2f %7.2f\n", i, w, c, vr - vc,
                vs - vr, ve - vs, ar - ac, as - ar, ae - as, w - b, (a > 0) ? v / a : 0 }'
done
echo "CPU seconds (user+system, least of $RUNS runs) of one job on one decoder thread; v/a: video path / audio path"
