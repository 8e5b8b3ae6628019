#!/usr/bin/env bash
# Builds vantrel-cli (when needed) and runs it with the given arguments, e.g.
#   bash scripts/vantrel.sh -i movie.avi -s 176x144 -r 15 -b 40000 -ab 10200 -ar 8000 -ac 1 movie.3gp
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build/release
bash "$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
# One line that counts up, so that the first build (about a minute) does not
# look hung; the whole output is shown only when the build fails.
log=$build/build.log
progress() {
    awk '/^\[ *[0-9]+%\]/ { match($0, /[0-9]+%/); printf "\rBuilding vantrel-cli... %4s", substr($0, RSTART, RLENGTH) > "/dev/stderr"; fflush("/dev/stderr") }'
}
printf 'Building vantrel-cli...' >&2
if ! cmake --build "$build" -j "${VANTREL_JOBS:-2}" --target vantrel-cli 2>&1 | tee "$log" | progress; then
    printf '\n' >&2
    cat "$log" >&2
    exit 1
fi
printf ' done\n' >&2
exec "$build/tools/vantrel-cli" "$@"
