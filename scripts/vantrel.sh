#!/usr/bin/env bash
# Builds Vantrel (when needed) and starts it:
#   bash scripts/vantrel.sh                 the window
#   bash scripts/vantrel.sh batch ARGS...   vantrel-batch, the batch without the window
#   bash scripts/vantrel.sh cli ARGS...     vantrel-cli, one job in the option language, e.g.
#   bash scripts/vantrel.sh cli -i movie.avi -s 176x144 -r 15 -b 40000 -ab 10200 -ar 8000 -ac 1 movie.3gp
# Each mode builds only its own program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/release

case ${1:-} in
    batch) target=vantrel-batch program=$build/tools/vantrel-batch; shift ;;
    cli) target=vantrel-cli program=$build/tools/vantrel-cli; shift ;;
    *) target=vantrel program=$build/app/vantrel ;;
esac

# Said before anything is installed or built: the first build takes minutes,
# and the window would not open at the end of them.
if [[ $target == vantrel && -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
    cat >&2 <<MSG
There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window
cannot open; nothing was built. Run it from a desktop session, or convert without the
window (this builds only the batch tool):

    bash scripts/vantrel.sh batch --profile 4 --output-folder ~/Phone movie.avi

("bash scripts/vantrel.sh batch --help" lists the profiles and every choice.)
MSG
    exit 1
fi

bash "$top/scripts/setup.sh"
# A new tree is made for Ninja, whose dry run knows every step of the build
# ahead (make's stops at the first file Qt's moc has yet to write); a tree
# made before keeps its generator.
generator=()
if [[ ! -f $build/CMakeCache.txt ]] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$top" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null

# The steps of a build, one a line: "Building CXX object ..." and
# "Linking ...", each named once. Nothing to build is no failure.
steps() {
    { grep --line-buffered -o -E '(Building (C|CXX) object|Linking) [^"]*' || true; } | awk '!seen[$0]++ { print; fflush() }'
}

# One line that counts the build's steps against the total a dry run
# announced, so that the first build (a few minutes) does not look hung.
# cmake's own percentages start again for every target; this count never
# goes back, and the total grows should the build make more steps than the
# dry run foresaw. The whole output is shown only when the build fails.
log=$build/build.log
total=$(cmake --build "$build" --target "$target" -- -n 2>/dev/null | steps | wc -l)
progress() {
    steps | awk -v total="$total" '{
        if (NR > total) total = NR
        printf "\rBuilding Vantrel... %d of %d", NR, total > "/dev/stderr"
        fflush("/dev/stderr")
    }'
}
printf 'Building Vantrel...' >&2
if ! cmake --build "$build" -j "${VANTREL_JOBS:-2}" --target "$target" 2>&1 | tee "$log" | progress; then
    printf '\n' >&2
    cat "$log" >&2
    exit 1
fi
printf ' done\n' >&2
exec "$program" "$@"
