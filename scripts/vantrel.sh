#!/usr/bin/env bash
# Builds Vantrel (when needed) and starts it:
#   bash scripts/vantrel.sh                 the window
#   bash scripts/vantrel.sh batch ARGS...   vantrel-batch, the batch without the window
#   bash scripts/vantrel.sh cli ARGS...     vantrel-cli, one job in the option language, e.g.
#   bash scripts/vantrel.sh cli -i movie.avi -s 176x144 -r 15 -b 40000 -ab 10200 -ar 8000 -ac 1 movie.3gp
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/release
bash "$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
# One line that counts up, so that the first build (a few minutes) does not
# look hung; the whole output is shown only when the build fails.
log=$build/build.log
progress() {
    awk '/^\[ *[0-9]+%\]/ { match($0, /[0-9]+%/); printf "\rBuilding Vantrel... %4s", substr($0, RSTART, RLENGTH) > "/dev/stderr"; fflush("/dev/stderr") }'
}
printf 'Building Vantrel...' >&2
if ! cmake --build "$build" -j "${VANTREL_JOBS:-2}" --target vantrel vantrel-batch vantrel-cli 2>&1 | tee "$log" | progress; then
    printf '\n' >&2
    cat "$log" >&2
    exit 1
fi
printf ' done\n' >&2

case ${1:-} in
    batch) shift; exec "$build/tools/vantrel-batch" "$@" ;;
    cli) shift; exec "$build/tools/vantrel-cli" "$@" ;;
esac
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${QT_QPA_PLATFORM:-} ]]; then
    cat >&2 <<MSG
There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window
cannot open. Run it from a desktop session, or convert without the window:

    bash scripts/vantrel.sh batch --profile 4 --output-folder ~/Phone movie.avi

("bash scripts/vantrel.sh batch --help" lists the profiles and every choice.)
MSG
    exit 1
fi
exec "$build/app/vantrel" "$@"
