#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root).
# Packages already present are skipped, so repeated runs are quick.
set -euo pipefail
packages=(
  cmake make g++ googletest libgtest-dev libbenchmark-dev   # native build, tests, benchmarks
  g++-mingw-w64-x86-64-posix mingw-w64-tools                # Windows cross build (+ widl)
  wine64 wine                                               # runs the Windows tests
  xvfb                                                      # headless display for window tests
  gstreamer1.0-libav gstreamer1.0-plugins-good              # Wine's decoders: H.264, VP8, MJPEG, ...
  ffmpeg                                                    # makes the clips the decoding tests use
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
