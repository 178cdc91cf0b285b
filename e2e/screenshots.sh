#!/usr/bin/env bash
# Make the README's pictures from the running program: docs/scene.png,
# docs/spiral.png and docs/eyes.png; with --web also docs/web.png and
# docs/phone.png, the web version with the same scene in a desktop browser's
# window and on an emulated phone. Build directory: $BUILD
# (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh

needpackages cmake g++ make pkg-config libgtest-dev xvfb libx11-dev libxtst-dev imagemagick
if [ "${1:-}" = --web ]; then
  needpackages emscripten chromium
  command -v node >/dev/null 2>&1 || needpackages nodejs
  command -v npm >/dev/null 2>&1 || needpackages npm
fi
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
if [ "${1:-}" = --web ]; then
  web/build.sh
  (cd e2e/web && [ -d node_modules ] || PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >&2)
  node e2e/web/pictures.mjs "$tmp/scene.preset" docs
  echo "wrote docs/web.png docs/phone.png"
fi
