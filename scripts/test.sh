#!/usr/bin/env bash
# The whole test suite: the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=${VANTREL_JOBS:-2}
build() {  # dir, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  cmake --build "$dir" --target fixtures
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_odr_violation=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build build/asan -DVANTREL_SANITIZE=ON
(cd build/asan && ctest --output-on-failure -j "$jobs")

# The thread tests again under ThreadSanitizer.
build build/tsan -DVANTREL_TSAN=ON
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/../../tests/tsan.supp \
  ctest --output-on-failure -j "$jobs" -R '(StartJob|RunJob|StopJob|Destroy|Thread|Job)')
