#!/usr/bin/env bash
# The main job: builds KMVVOvLy2x.dll and renders a composite of the built-in
# sample pictures with the overlay engine into out/composite.png.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
echo "== building the module (Windows x64)"
scripts/build.sh windows KMVVOvLy2x
echo "== building the sample composer"
scripts/build.sh native ovl_compose_sample
mkdir -p out
build/native/tools/ovl_compose_sample out/composite.png
echo "== module: build/windows/server/KMVVOvLy2x.dll"
