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

# One line that counts the build's steps, so that the first build (a few
# minutes) does not look hung; cmake's own percentages start again for every
# target, this count never goes back. Ninja numbers its steps itself
# ("[37/180] ..."). Make's steps ("Building CXX object ...", "Linking ...")
# are counted against the total its dry run announced, which grows should
# the build make more. The whole output is shown only when the build fails.
step_pattern='(Building (C|CXX) object|Linking) [^"]*'
log=$build/build.log
total=0
if [[ ! -f $build/build.ninja ]]; then
    total=$(cmake --build "$build" --target "$target" -- -n 2>/dev/null | { grep -o -E "$step_pattern" || true; } | sort -u | wc -l)
fi
# Read line by line in the shell: awk would wait for a full buffer of the
# build's output before counting any of it.
progress() {
    local line count=0 shown=0
    local -A seen=()
    while IFS= read -r line; do
        if [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\ (.*) ]]; then
            local step=${BASH_REMATCH[1]} steps=${BASH_REMATCH[2]}
            # Ninja first checks whether cmake must run again, then starts
            # counting the build proper from 1.
            [[ ${BASH_REMATCH[3]} == Re-checking* || ${BASH_REMATCH[3]} == Re-running* ]] && continue
            count=$step total=$steps
        elif [[ $line =~ $step_pattern && -z ${seen[${BASH_REMATCH[0]}]:-} ]]; then
            seen[${BASH_REMATCH[0]}]=1
            count=$((count + 1))
        fi
        ((count > shown)) || continue
        shown=$count
        ((shown <= total)) || total=$shown
        printf '\rBuilding Vantrel... %d of %d' "$shown" "$total" >&2
    done
}
printf 'Building Vantrel...' >&2
if ! cmake --build "$build" -j "${VANTREL_JOBS:-2}" --target "$target" 2>&1 | tee "$log" | progress; then
    printf '\n' >&2
    cat "$log" >&2
    exit 1
fi
printf ' done\n' >&2
exec "$program" "$@"
