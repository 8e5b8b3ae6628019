#!/usr/bin/env bash
# Whether two builds of vantrel-cli write the same bytes: every input of the
# fixture script, converted with each of the option sets below (the five
# phone profiles, a stream copy, a cut with a start and a length, a crop with
# padding, a filter), by the vantrel-cli of a base revision and by the one
# of this tree. Prints one line per conversion (same / DIFFERENT / both
# failed / one failed) and the count; exits 1 when any output differs or
# fails on one side only. For a change of the inside that must leave every
# output as it was.
#
# Usage: bench/same_outputs.sh [BASE_REV] [BUILD_DIR]
#   BASE_REV   the revision to compare with (default HEAD~1); built with
#              CMAKE_BUILD_TYPE=Release in a temporary worktree
#   BUILD_DIR  a Release build of this tree (default build/release)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BASE_REV=${1:-HEAD~1}
BUILD=${2:-$ROOT/build/release}
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

build_cli() {  # source dir, build dir
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF "${LAUNCHER[@]}" >/dev/null
    cmake --build "$2" -j2 --target vantrel-cli >/dev/null
}

WORK=$(mktemp -d)
# The base's sources and build stay at one place under the build folder, so
# the compiler cache serves a second run.
BASE_SRC=$BUILD/same-outputs/base-src
BASE_BUILD=$BUILD/same-outputs/base-build
cleanup() {
    git -C "$ROOT" worktree remove --force "$BASE_SRC" >/dev/null 2>&1 || true
    rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$BUILD/same-outputs"
git -C "$ROOT" worktree remove --force "$BASE_SRC" >/dev/null 2>&1 || true
git -C "$ROOT" worktree add --detach "$BASE_SRC" "$BASE_REV" >/dev/null
echo "building $BASE_REV ($(git -C "$ROOT" rev-parse --short "$BASE_REV")) and this tree" >&2
build_cli "$BASE_SRC" "$BASE_BUILD"
build_cli "$ROOT" "$BUILD"
BASE_CLI=$BASE_BUILD/tools/vantrel-cli
THIS_CLI=$BUILD/tools/vantrel-cli
FIXTURES=$WORK/fixtures
"$ROOT/tests/make_fixtures.sh" "$FIXTURES" >/dev/null

# name, output extension, options
SETS=(
    "3gp_h263_amr|3gp|-f 3gp -vcodec h263 -s 176x144 -r 15 -b 40000 -acodec libopencore_amrnb -ar 8000 -ac 1 -ab 12200"
    "3gp_mpeg4_aac|3gp|-f 3gp -vcodec mpeg4 -s 176x144 -r 15 -b 64000 -acodec aac -ar 32000 -ac 2 -ab 96000"
    "3g2_h263_amr|3g2|-f 3g2 -vcodec h263 -s 176x144 -r 15 -b 40000 -acodec libopencore_amrnb -ar 8000 -ac 1 -ab 12200"
    "3g2_mpeg4_aac|3g2|-f 3g2 -vcodec mpeg4 -s 176x144 -r 15 -b 64000 -acodec aac -ar 32000 -ac 2 -ab 96000"
    "mp4_mpeg4_aac|mp4|-f mp4 -vcodec mpeg4 -s 320x240 -r 25 -b 300000 -acodec aac -ar 44100 -ac 2 -ab 128000"
    "copy|avi|-f avi -vcodec copy -acodec copy"
    "cut|mp4|-ss 1 -t 2 -f mp4 -vcodec mpeg4 -s 176x144 -acodec aac -ab 64000"
    "crop_pad|avi|-croptop 8 -cropbottom 8 -padleft 16 -padright 16 -s 160x96 -vcodec mpeg4 -acodec mp2"
    "filter|avi|-vfilters hflip -s 160x120 -vcodec mpeg4 -acodec mp2"
)

same=0 different=0 failed=0
for fixture in "$FIXTURES"/*; do
    input=$(basename "$fixture")
    [[ -f $fixture && $input != *.txt ]] || continue
    for set in "${SETS[@]}"; do
        IFS='|' read -r name ext options <<<"$set"
        digests=()
        for side in base this; do
            cli=$BASE_CLI
            [[ $side == this ]] && cli=$THIS_CLI
            out=$WORK/$side.$ext
            rm -f "$out"
            # shellcheck disable=SC2086
            if "$cli" -y -i "$fixture" $options "$out" >/dev/null 2>&1 && [[ -f $out ]]; then
                digests+=("$(sha256sum <"$out" | cut -c1-64)")
            else
                digests+=("failed")
            fi
        done
        if [[ ${digests[0]} == "${digests[1]}" ]]; then
            if [[ ${digests[0]} == failed ]]; then verdict="both failed"; else verdict=same; fi
            same=$((same + 1))
        elif [[ ${digests[0]} == failed || ${digests[1]} == failed ]]; then
            verdict="one failed (base ${digests[0]:0:12}, this ${digests[1]:0:12})"
            failed=$((failed + 1))
        else
            verdict="DIFFERENT"
            different=$((different + 1))
        fi
        printf '%-26s %-16s %s\n' "$input" "$name" "$verdict"
    done
done
printf '%d same, %d different, %d failed on one side only\n' "$same" "$different" "$failed"
[[ $different -eq 0 && $failed -eq 0 ]]
