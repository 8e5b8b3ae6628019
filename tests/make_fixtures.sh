#!/usr/bin/env bash
# Builds the media files the test suite converts and probes.
#
# Usage: tests/make_fixtures.sh OUTDIR [--bench] [-v]
#
#   OUTDIR   created if missing; fixtures, OUTDIR/fixtures_manifest.txt and
#            OUTDIR/corrupt_manifest.txt are written there.
#   --bench  also build the long benchmark sources (bench_60s.avi, bench_600s.avi,
#            bench_720p_30s.mp4, bench_1080p_20s.mp4).
#   -v       print one probe summary line per fixture (same as VERBOSE=1).
#
# Everything is synthesised from lavfi sources with the local ffmpeg, single
# threaded and with bitexact flags, so two runs on the same machine give
# identical bytes.  A run is a no-op when OUTDIR/.stamp holds FIXTURE_VERSION;
# bump FIXTURE_VERSION whenever the set of fixtures or their settings change,
# and refresh tests/fixtures_manifest.txt from OUTDIR/fixtures_manifest.txt.
set -euo pipefail

FIXTURE_VERSION="vantrel-fixtures-6"

# Valid fixtures and the duration (seconds) each one is meant to have.  The
# order here is the order of the manifest.
VALID_FIXTURES=(
    avi_mpeg4.avi:4
    divx.avi:4
    xvid.avi:4
    mpeg_ps.mpg:4
    wmv.wmv:4
    asf.asf:4
    rm.rm:4
    vcd.dat:4
    quicktime.mov:4
    swf.swf:4
    mkv.mkv:4
    flv.flv:4
    mp4.mp4:4
    ts.ts:4
    audio_only.wav:4
    audio_only.mp3:4
    video_only.avi:4
    ts_jump.ts:10
    fps25_10s.avi:10
    fps25_40s.avi:40
    fps10.avi:4
    a48k.wav:4
    a44k_late.mkv:4
    audio_first.mp4:2
    srt_sub.mkv:4
)

# Broken inputs: name and what is wrong with them.
CORRUPT_FIXTURES=(
    empty.avi:empty
    random.avi:garbage
    truncated.avi:truncated
    truncated.mp4:moovless
    truncated_faststart.mp4:truncated
    text.avi:text
    dir.avi:folder
    corrupt_middle.avi:overwritten
    corrupt_middle.mp4:overwritten
    empty_stream.avi:packetless_stream
    empty_stream.mp4:packetless_stream
)
# Of those, the ones a demuxer must still be able to open.
CORRUPT_BUT_OPENABLE=(truncated.avi truncated_faststart.mp4 corrupt_middle.avi corrupt_middle.mp4
                      empty_stream.avi empty_stream.mp4)

BENCH_FIXTURES=(bench_60s.avi bench_600s.avi bench_720p_30s.mp4 bench_1080p_20s.mp4)

usage() {
    echo "usage: $0 OUTDIR [--bench] [-v]" >&2
    exit 2
}

[[ $# -ge 1 ]] || usage
OUT=$1
shift
BENCH=0
VERBOSE=${VERBOSE:-0}
for arg in "$@"; do
    case $arg in
        --bench) BENCH=1 ;;
        -v|--verbose) VERBOSE=1 ;;
        *) usage ;;
    esac
done

for tool in ffmpeg ffprobe python3 flock; do
    command -v "$tool" >/dev/null || { echo "$0: $tool not found" >&2; exit 1; }
done

SCRIPT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

# Test runners may start several builders on the same directory at once; the
# first one builds, the others wait and then find the stamp.
exec 9>"$OUT/.lock"
flock 9

BITEXACT=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)

ff() {
    ffmpeg -v error -nostdin -y "$@"
}

# Video and audio from test sources.
#   av OUTFILE WIDTH HEIGHT FPS SAMPLE_RATE CHANNELS SECONDS [codec/muxer options...]
av() {
    local out=$1 w=$2 h=$3 fps=$4 sr=$5 ch=$6 dur=$7
    shift 7
    ff -f lavfi -i "testsrc=size=${w}x${h}:rate=${fps}:duration=${dur}" \
       -f lavfi -i "sine=frequency=440:sample_rate=${sr}:duration=${dur}" \
       -map 0:v -map 1:a -pix_fmt yuv420p -ac "$ch" -threads 1 "${BITEXACT[@]}" \
       "$@" "$OUT/$out"
}

#   vonly OUTFILE WIDTH HEIGHT FPS SECONDS [options...]
vonly() {
    local out=$1 w=$2 h=$3 fps=$4 dur=$5
    shift 5
    ff -f lavfi -i "testsrc=size=${w}x${h}:rate=${fps}:duration=${dur}" \
       -pix_fmt yuv420p -threads 1 "${BITEXACT[@]}" "$@" "$OUT/$out"
}

#   aonly OUTFILE SAMPLE_RATE CHANNELS SECONDS [options...]
aonly() {
    local out=$1 sr=$2 ch=$3 dur=$4
    shift 4
    ff -f lavfi -i "sine=frequency=440:sample_rate=${sr}:duration=${dur}" \
       -ac "$ch" -threads 1 "${BITEXACT[@]}" "$@" "$OUT/$out"
}

X264=(-c:v libx264 -preset veryfast -crf 26)

# AVI has no audio timestamps, so the muxer would otherwise shift the video by
# the encoder delay of the audio (lame starts at about -25 ms) and round that
# into an empty chunk after the first video frame.
MP3_IN_AVI=(-c:a libmp3lame -b:a 128k -avoid_negative_ts disabled)

build_valid() {
    av avi_mpeg4.avi 320 240 25 44100 2 4 -c:v mpeg4 "${MP3_IN_AVI[@]}"
    av divx.avi 320 240 25 44100 2 4 -c:v mpeg4 -vtag DIVX "${MP3_IN_AVI[@]}"
    av xvid.avi 320 240 30000/1001 48000 2 4 -c:v libxvid -vtag XVID "${MP3_IN_AVI[@]}"
    # -f vob gives an MPEG-2 program stream (MPEG-2 pack headers).
    av mpeg_ps.mpg 352 288 25 48000 2 4 -c:v mpeg2video -c:a mp2 -b:a 192k -f vob
    av wmv.wmv 320 240 25 44100 2 4 -c:v wmv2 -c:a wmav2 -f asf
    av asf.asf 320 240 15 22050 1 4 -c:v msmpeg4 -c:a wmav2 -b:a 32k -f asf
    av rm.rm 320 240 15 44100 2 4 -c:v rv10 -c:a ac3 -b:a 128k -f rm
    # MPEG-1 system stream, named like the files found on a VCD.
    av vcd.dat 352 240 30000/1001 44100 2 4 -c:v mpeg1video -c:a mp2 -b:a 224k -f mpeg
    av quicktime.mov 320 240 24000/1001 44100 2 4 "${X264[@]}" -c:a aac -b:a 128k
    av swf.swf 320 240 12 22050 1 4 -c:v flv -c:a libmp3lame -b:a 64k -f swf
    av mkv.mkv 320 240 25 48000 2 4 "${X264[@]}" -c:a libvorbis -q:a 3
    av flv.flv 320 240 25 44100 2 4 -c:v flv -c:a libmp3lame -b:a 128k
    av mp4.mp4 320 240 25 44100 2 4 "${X264[@]}" -c:a aac -b:a 128k
    av ts.ts 320 240 25 48000 2 4 -c:v mpeg2video -c:a mp2 -b:a 192k
    aonly audio_only.wav 44100 2 4 -c:a pcm_s16le
    aonly audio_only.mp3 44100 2 4 -c:a libmp3lame -b:a 128k
    vonly video_only.avi 320 240 25 4 -c:v mpeg4

    build_ts_jump

    av fps25_10s.avi 176 144 25 44100 2 10 -c:v mpeg4 "${MP3_IN_AVI[@]}"
    # Long enough that a batch is surely met converting it, however fast the machine.
    av fps25_40s.avi 176 144 25 44100 2 40 -c:v mpeg4 "${MP3_IN_AVI[@]}"
    av fps10.avi 176 144 10 44100 2 4 -c:v mpeg4 "${MP3_IN_AVI[@]}"
    aonly a48k.wav 48000 2 4 -c:a pcm_s16le

    # Video from 0 s, audio from 0.5 s to 4 s.  Vorbis puts its first packet
    # 128 samples early, so the audio stream starts at ~0.497 s.
    ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=4" \
       -itsoffset 0.5 -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=3.5" \
       -map 0:v -map 1:a -pix_fmt yuv420p -ac 2 -threads 1 "${BITEXACT[@]}" \
       -c:v mpeg4 -c:a libvorbis -q:a 3 "$OUT/a44k_late.mkv"

    build_audio_first
    build_srt_sub
}

# Video, audio and a SubRip track of three cues.
build_srt_sub() {
    local srt="$OUT/.srt_sub.tmp.srt"
    printf '%s\n' 1 '00:00:00,500 --> 00:00:01,500' 'First cue' '' \
                   2 '00:00:01,800 --> 00:00:02,600' 'Second cue' '' \
                   3 '00:00:03,000 --> 00:00:03,800' 'Third cue' '' > "$srt"
    ff -f lavfi -i "testsrc=size=160x120:rate=25:duration=4" \
       -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" -i "$srt" \
       -map 0:v -map 1:a -map 2:s -pix_fmt yuv420p -ac 2 -threads 1 "${BITEXACT[@]}" \
       -c:v mpeg4 -c:a libvorbis -q:a 3 -c:s srt "$OUT/srt_sub.mkv"
    rm -f "$srt"
}

# Two audio streams before the video, and the container tags a probe reads
# (MP4 keeps no "author": the artist stands for it).
build_audio_first() {
    ff -f lavfi -i "testsrc=size=160x120:rate=10:duration=2" \
       -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=2" \
       -f lavfi -i "sine=frequency=660:sample_rate=22050:duration=2" \
       -map 1:a -map 2:a -map 0:v -pix_fmt yuv420p -threads 1 "${BITEXACT[@]}" \
       -c:v mpeg4 -c:a aac -b:a 32k \
       -metadata title="Probe Title" -metadata artist="Probe Artist" \
       -metadata copyright="Probe Copyright" -metadata comment="Probe Comment" \
       -metadata album="Probe Album" -metadata genre="Probe Genre" \
       -metadata date=2009-06-15 -metadata track=7/12 \
       -metadata creation_time=2009-06-15T12:34:56Z "$OUT/audio_first.mp4"
}

# Two 5 s transport streams, the second shifted 30 s later than where the first
# ends, joined byte-wise: 10 s of content whose timestamps jump forward by 30 s
# in the middle.  The continuity counters restart at the join too, as they do
# in real spliced captures.
build_ts_jump() {
    local tmp="$OUT/.ts_jump.tmp"
    mkdir -p "$tmp"
    av .ts_jump.tmp/a.ts 320 240 25 48000 2 5 -c:v mpeg2video -c:a mp2 -b:a 192k -f mpegts
    av .ts_jump.tmp/b.ts 320 240 25 48000 2 5 -c:v mpeg2video -c:a mp2 -b:a 192k -f mpegts \
       -output_ts_offset 35
    cat "$tmp/a.ts" "$tmp/b.ts" > "$OUT/ts_jump.ts"
    rm -rf "$tmp"

    local gap
    gap=$(ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 \
              "$OUT/ts_jump.ts" | awk -F, 'NF && $1 != "N/A" {
                  if (n++ && $1 - prev > max) max = $1 - prev; prev = $1 }
                  END { printf "%.3f", max }')
    if ! awk -v g="$gap" 'BEGIN { exit !(g > 29.5 && g < 30.5) }'; then
        echo "$0: ts_jump.ts: expected a ~30 s timestamp jump, largest gap is ${gap} s" >&2
        exit 1
    fi
}

build_corrupt() {
    : > "$OUT/empty.avi"
    python3 -c 'import random, sys; random.seed(1); sys.stdout.buffer.write(random.randbytes(65536))' \
        > "$OUT/random.avi"
    head -c 20480 "$OUT/avi_mpeg4.avi" > "$OUT/truncated.avi"

    # mp4.mp4 has its moov atom at the end, so any prefix of it lacks one.
    local size
    size=$(stat -c %s "$OUT/mp4.mp4")
    head -c $((size * 30 / 100)) "$OUT/mp4.mp4" > "$OUT/truncated.mp4"

    local fast="$OUT/.faststart.tmp.mp4"
    av .faststart.tmp.mp4 320 240 25 44100 2 4 "${X264[@]}" -c:a aac -b:a 128k -movflags +faststart
    size=$(stat -c %s "$fast")
    head -c $((size * 60 / 100)) "$fast" > "$OUT/truncated_faststart.mp4"
    rm -f "$fast"

    printf 'This is a text file, not a video.\nIt has a few lines of plain text.\n' > "$OUT/text.avi"
    mkdir -p "$OUT/dir.avi"

    # Valid files with a few KB in the middle overwritten: the headers and
    # the index still hold, the packets there do not.
    overwrite_middle "$OUT/avi_mpeg4.avi" "$OUT/corrupt_middle.avi"
    overwrite_middle "$OUT/mp4.mp4" "$OUT/corrupt_middle.mp4"

    # Headers that list an audio stream without a single packet of it (the
    # fragmented MP4 declares its tracks before any sample is known).
    local silent=(-af atrim=end_sample=0)
    av empty_stream.avi 176 144 15 8000 1 2 -c:v mpeg4 -c:a pcm_s16le "${silent[@]}"
    av empty_stream.mp4 176 144 15 8000 1 2 -c:v mpeg4 -c:a aac "${silent[@]}" \
       -movflags frag_keyframe+empty_moov
}

#   overwrite_middle SOURCE TARGET: 4 KB of seeded random bytes at half length.
overwrite_middle() {
    python3 - "$1" "$2" <<'PY'
import random, sys
data = bytearray(open(sys.argv[1], 'rb').read())
random.seed(3)
mid = len(data) // 2
data[mid:mid + 4096] = random.randbytes(4096)
open(sys.argv[2], 'wb').write(data)
PY
}

build_bench() {
    av bench_60s.avi 640 480 25 44100 2 60 -c:v mpeg4 -b:v 1M "${MP3_IN_AVI[@]}"
    # The 600 s video is the 60 s one ten times over; the explicit entry
    # durations keep its timestamps exactly 60 s apart.  The audio is encoded
    # afresh in one piece, since joined mp3 segments would each carry their
    # own encoder delay and padding and drift away from the video.
    local list="$OUT/.bench_concat.txt"
    for _ in {1..10}; do
        printf "file '%s'\nduration 60\n" "$OUT/bench_60s.avi"
    done > "$list"
    ff -f concat -safe 0 -i "$list" \
       -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
       -map 0:v -map 1:a -c:v copy -ac 2 -threads 1 "${BITEXACT[@]}" "${MP3_IN_AVI[@]}" \
       "$OUT/bench_600s.avi"
    rm -f "$list"
    av bench_720p_30s.mp4 1280 720 25 48000 2 30 "${X264[@]}" -c:a aac -b:a 128k
    # A 1080p film for the H.264 profile: grain over a moving picture, so
    # the encoder works as on camera footage rather than on flat colours.
    ff -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=20,noise=alls=8:allf=t" \
       -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
       -map 0:v -map 1:a -pix_fmt yuv420p -ac 2 -threads 1 "${BITEXACT[@]}" \
       -c:v libx264 -preset veryfast -b:v 8M -c:a aac -b:a 128k "$OUT/bench_1080p_20s.mp4"
}

probe_summary() {
    ffprobe -v error \
        -show_entries stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate,channels \
        -show_entries format=duration -of compact=p=0:nk=0 "$1" |
        sed 's/|$//' | awk 'NF && !seen[$0]++' | paste -sd' ' -
}

# Every valid fixture has to open and decode without a single error message
# (subtitles go through the ASS encoder: the null muxer names none of its own).
check_decodes() {
    local f=$1 err
    if ! err=$(ffmpeg -v error -nostdin -threads 1 -i "$f" -map 0 -c:s ass -f null - 2>&1) || [[ -n $err ]]; then
        echo "$0: $(basename "$f") does not decode cleanly:" >&2
        echo "$err" >&2
        exit 1
    fi
}

check_corrupt() {
    local name=$1 openable=0 n
    for n in "${CORRUPT_BUT_OPENABLE[@]}"; do
        [[ $n == "$name" ]] && openable=1
    done
    if ffprobe -v quiet "$OUT/$name" >/dev/null 2>&1; then
        [[ $openable == 1 ]] || { echo "$0: $name unexpectedly opens" >&2; exit 1; }
    else
        [[ $openable == 0 ]] || { echo "$0: $name does not open" >&2; exit 1; }
    fi
}

# One tab-separated line per fixture:
# name, format_name, video codec, width, height, frame rate, audio codec,
# sample rate, channels, intended duration.  '-' marks an absent stream.
manifest_line() {
    local name=$1 dur=$2 f="$OUT/$1"
    local fmt v a
    fmt=$(ffprobe -v error -show_entries format=format_name -of default=nw=1:nk=1 "$f")
    v=$(ffprobe -v error -select_streams v:0 \
            -show_entries stream=codec_name,width,height,r_frame_rate \
            -of default=nw=1 "$f" | awk -F= '{ k[$1] = $2 }
            END { if ("codec_name" in k) printf "%s\t%s\t%s\t%s", k["codec_name"], k["width"], k["height"], k["r_frame_rate"];
                  else printf "-\t-\t-\t-" }')
    a=$(ffprobe -v error -select_streams a:0 \
            -show_entries stream=codec_name,sample_rate,channels \
            -of default=nw=1 "$f" | awk -F= '{ k[$1] = $2 }
            END { if ("codec_name" in k) printf "%s\t%s\t%s", k["codec_name"], k["sample_rate"], k["channels"];
                  else printf "-\t-\t-" }')
    printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$fmt" "$v" "$a" "$dur"
}

write_manifests() {
    local entry
    {
        printf '# name\tformat_name\tvcodec\twidth\theight\tfps\tacodec\tsample_rate\tchannels\tduration\n'
        printf '# duration is the length of the content; ts_jump.ts spans ~40 s of timestamps\n'
        for entry in "${VALID_FIXTURES[@]}"; do
            manifest_line "${entry%%:*}" "${entry#*:}"
        done
    } > "$OUT/fixtures_manifest.txt"
    {
        printf '# name\tdefect\n'
        for entry in "${CORRUPT_FIXTURES[@]}"; do
            printf '%s\t%s\n' "${entry%%:*}" "${entry#*:}"
        done
    } > "$OUT/corrupt_manifest.txt"

    local name
    for name in fixtures_manifest.txt corrupt_manifest.txt; do
        if [[ -f $SCRIPT_DIR/$name ]] && ! cmp -s "$SCRIPT_DIR/$name" "$OUT/$name"; then
            echo "$0: warning: $OUT/$name differs from tests/$name (different ffmpeg build?)" >&2
        fi
    done
}

all_present() {
    local entry
    for entry in "$@"; do
        [[ -e $OUT/${entry%%:*} ]] || return 1
    done
}

stamp_ok() {
    [[ -f $1 && $(<"$1") == "$FIXTURE_VERSION" ]]
}

report() {
    [[ $VERBOSE == 1 ]] || return 0
    local entry line
    for entry in "$@"; do
        if ! line=$(probe_summary "$OUT/${entry%%:*}" 2>/dev/null); then
            line="(does not open)"
        fi
        printf '%s: %s\n' "${entry%%:*}" "$line"
    done
}

if ! stamp_ok "$OUT/.stamp" || ! all_present "${VALID_FIXTURES[@]}" "${CORRUPT_FIXTURES[@]}"; then
    rm -f "$OUT/.stamp"
    build_valid
    build_corrupt
    for entry in "${VALID_FIXTURES[@]}"; do
        check_decodes "$OUT/${entry%%:*}"
    done
    for entry in "${CORRUPT_FIXTURES[@]}"; do
        check_corrupt "${entry%%:*}"
    done
    write_manifests
    echo "$FIXTURE_VERSION" > "$OUT/.stamp"
fi

if [[ $BENCH == 1 ]] && { ! stamp_ok "$OUT/.stamp_bench" || ! all_present "${BENCH_FIXTURES[@]}"; }; then
    rm -f "$OUT/.stamp_bench"
    build_bench
    for entry in "${BENCH_FIXTURES[@]}"; do
        check_decodes "$OUT/$entry"
    done
    echo "$FIXTURE_VERSION" > "$OUT/.stamp_bench"
fi

report "${VALID_FIXTURES[@]}" "${CORRUPT_FIXTURES[@]}"
[[ $BENCH == 0 ]] || report "${BENCH_FIXTURES[@]}"
