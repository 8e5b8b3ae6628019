#!/usr/bin/env bash
# The whole test suite: the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer.
# "test.sh quick" runs only the tests without media (ctest label unit) in
# the ASan tree: a check in under a minute while working, not the gate.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=${VANTREL_JOBS:-2}
# The compiler cache makes a second clone's build, or the second of the two
# trees, mostly a matter of lookups.
cache=()
if command -v ccache >/dev/null; then
  cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=time_macros,include_file_mtime,include_file_ctime
fi
build() {  # dir, targets ("all" for every one), extra cmake arguments...
  local dir=$1 targets=$2; shift 2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=ON "${cache[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" --target $targets
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ "${1:-}" = quick ]; then
  build build/asan "vantrel_unit_tests vantrel_app_tests" -DVANTREL_SANITIZE=ON
  (cd build/asan && ctest --output-on-failure -j "$jobs" -L unit)
  exit
fi
build build/asan all -DVANTREL_SANITIZE=ON
cmake --build build/asan --target fixtures
(cd build/asan && ctest --output-on-failure -j "$jobs")

# The thread tests (label thread, by name: tests/CMakeLists.txt) again under
# ThreadSanitizer: only the programs they are in (the component's and the
# batch controller's; the window's tests stay out, Qt's widgets being a
# library ThreadSanitizer cannot see into).
build build/tsan "vantrel_tests vantrel_unit_tests vantrel_app_tests" -DVANTREL_TSAN=ON
cmake --build build/tsan --target fixtures
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/../../tests/tsan.supp \
  ctest --output-on-failure -j "$jobs" -L thread)
