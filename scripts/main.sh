#!/usr/bin/env bash
# The main job: builds KMVVOvLy2x.dll and the sample composer for Windows,
# then runs the composer under Wine: it loads the sample BMP logo and mask
# through the module's own loaders, builds a GDI ellipse region and writes
# the composite to out/composite.png.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
echo "== building the module and the sample composer (Windows x64)"
scripts/build.sh windows KMVVOvLy2x ovl_compose_sample
source scripts/wine-session.sh
mkdir -p out
/usr/lib/wine/wine64 build/windows/tools/ovl_compose_sample.exe out/composite.png 'tools\samples'
echo "== module: build/windows/server/KMVVOvLy2x.dll"
