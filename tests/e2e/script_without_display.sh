#!/usr/bin/env bash
# scripts/vantrel.sh without a display: it must say so before installing or
# building anything (a first build takes minutes), offer the batch tool's
# command line and fail. Run on a copy of the script in an empty tree, so
# that any step past the check (setup.sh, cmake) would show as a missing
# file or a build folder.
#   script_without_display.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
mkdir "$top/scripts"
cp "$source_dir/scripts/vantrel.sh" "$top/scripts/"

status=0
started=$(date +%s%N)
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash "$top/scripts/vantrel.sh" 2>&1) || status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))

fail() {
    echo "FAIL: $*"$'\n'"--- the script said:"$'\n'"$message" >&2
    exit 1
}
((status == 1)) || fail "exit status $status, not 1"
[[ $message == "There is no display here"* ]] || fail "it did not start by saying that there is no display"
[[ $message == *"bash scripts/vantrel.sh batch --profile 4 --output-folder ~/Phone movie.avi"* ]] ||
    fail "it did not offer the batch tool's command line"
[[ ! -e $top/build ]] || fail "it made a build folder"
((elapsed_ms < 2000)) || fail "it took $elapsed_ms ms"
echo "said at once ($elapsed_ms ms) that there is no display"
