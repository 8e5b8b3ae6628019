#!/usr/bin/env bash
# Builds vantrel-cli (when needed) and runs it with the given arguments, e.g.
#   bash scripts/vantrel.sh -i movie.avi movie.3gp
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
cmake -S "$top" -B "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF >/dev/null
cmake --build "$top/build/release" -j "${VANTREL_JOBS:-2}" >/dev/null
exec "$top/build/release/tools/vantrel-cli" "$@"
