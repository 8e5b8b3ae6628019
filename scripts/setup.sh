#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Vantrel
# need, when they are missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libavfilter-dev libswresample-dev
  libavcodec-extra ffmpeg
  qt6-base-dev libqt6svg6
  libgtest-dev libgmock-dev
  time python3 ccache
  dbus-daemon
  # The end-to-end test of the window on a real X server.
  xvfb openbox xdotool x11-utils
)
if [ "${VANTREL_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang); fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
