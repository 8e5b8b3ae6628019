#!/usr/bin/env bash
# Seeds for job_fuzz: one tiny clip (a second of 32x32 video at 5 fps and of
# 8 kHz mono sound) per common container, a few KB each, so that mutations
# stay cheap and reach every demuxer the converter sees most.
#
# Usage: tests/fuzz/make_seeds.sh OUTDIR
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
OUT=$1
mkdir -p "$OUT"

seed() {  # name, codec and muxer options...
    local name=$1
    shift
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=32x32:rate=5:duration=1" \
        -f lavfi -i "sine=sample_rate=8000:duration=1" -map 0:v -map 1:a -pix_fmt yuv420p -ac 1 \
        -threads 1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact "$@" "$OUT/$name"
}

seed avi_mpeg4 -c:v mpeg4 -c:a pcm_s16le -f avi
seed mp4_h264 -c:v libx264 -preset ultrafast -c:a aac -b:a 16k -f mp4
seed mov_faststart -c:v mpeg4 -c:a aac -b:a 16k -movflags +faststart -f mov
seed mkv_vorbis -c:v mpeg4 -c:a libvorbis -f matroska
seed ts_mpeg2 -r 25 -c:v mpeg2video -c:a mp2 -b:a 32k -ar 16000 -f mpegts
seed flv_flv -c:v flv -c:a libmp3lame -b:a 16k -ar 11025 -f flv
seed asf_wmv -c:v wmv2 -c:a wmav2 -b:a 32k -ar 16000 -f asf
seed 3gp_h263 -s 128x96 -c:v h263 -c:a libopencore_amrnb -b:a 12.2k -f 3gp
seed mpg_ps -r 25 -c:v mpeg1video -c:a mp2 -b:a 32k -ar 16000 -f mpeg
ffmpeg -v error -nostdin -y -f lavfi -i "sine=sample_rate=8000:duration=1" -c:a pcm_s16le -f wav "$OUT/wav_pcm"
ffmpeg -v error -nostdin -y -f lavfi -i "sine=sample_rate=8000:duration=1" -c:a libmp3lame -b:a 16k -f mp3 "$OUT/mp3"
