#!/usr/bin/env bash
# Make the README's pictures from the running program: docs/scene.png,
# docs/spiral.png and docs/eyes.png. Build directory: $BUILD (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh

needpackages cmake g++ make pkg-config libgtest-dev xvfb libx11-dev libxtst-dev imagemagick
needsdl
installmissing

build=${BUILD:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target spumex spumexshots

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/e2e/spumexshots" "$tmp"
mkdir -p docs
for name in scene spiral eyes; do
  convert "$tmp/$name.ppm" -strip "docs/$name.png"
done
echo "wrote docs/scene.png docs/spiral.png docs/eyes.png"
