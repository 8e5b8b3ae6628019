#!/usr/bin/env bash
# Draws the pictures of the window in docs/ (main-window.png during a batch,
# about.png, help-window.png, shutdown-countdown.png) on Qt's offscreen
# platform, from a build tree that has the media fixtures: build/asan unless
# VANTREL_BUILD_DIR names another.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VANTREL_BUILD_DIR:-build/asan}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=ON >/dev/null
cmake --build "$build" -j "${VANTREL_JOBS:-2}" --target vantrel_screenshots
[ -d "$build/fixtures" ] || cmake --build "$build" --target fixtures

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/config"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:detect_odr_violation=0} \
  "$build/app/screenshots/vantrel_screenshots" "$build/fixtures" "$work" docs
echo "docs/main-window.png docs/about.png docs/help-window.png docs/shutdown-countdown.png"
