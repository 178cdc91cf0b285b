#!/usr/bin/env bash
# The web version's frame rate in headless Chromium beside a present-only page
# at each width, in one browser run; the page's own work per frame beside the
# native program's (bench/fps.sh, run right after); the site's gzip size.
# Use: bench/webfps.sh [seconds [width...]] (default 5 s; 640 333 1024 2048);
# ROUNDS=n (default 3); BUILD=dir, the native build (default build).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${BUILD:-$root/build}"
seconds="${1:-5}"
shift || true
widths=("$@")
[ ${#widths[@]} -gt 0 ] || widths=(640 333 1024 2048)
rounds="${ROUNDS:-3}"
cd "$root"

. tools/deps.sh
needpackages emscripten chromium
command -v node >/dev/null 2>&1 || needpackages nodejs
command -v npm >/dev/null 2>&1 || needpackages npm
installmissing

. "$root/bench/needbuild.sh"
needbuild "$build"
if [ -d /usr/share/nodejs ]; then
  export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
fi

# The site, and the bench pages around the site's own page: the present-only
# page and the program with its presenting timed (bench/web/).
web/build.sh
log=build-web/bench.log
if ! { emcmake cmake -S bench/web -B build-web/bench -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build-web/bench -j2; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "webfps.sh: the bench pages did not build; the whole output is in $log" >&2
  exit 1
fi
for page in ceiling timed; do
  rm -rf "build-web/$page"
  cp -r build-web/site "build-web/$page"
  cp "build-web/bench/$page/spumex.js" "build-web/bench/$page/spumex.wasm" "build-web/$page/"
done
if [ ! -d e2e/web/node_modules ]; then
  (cd e2e/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund) >&2
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/spumex-bench" --scene > "$work/scene"
node bench/webfps.mjs build-web/site build-web/ceiling build-web/timed "$work/scene" "$seconds" "$rounds" "${widths[@]}" |
  tee "$work/web"

# The site as a server would send it compressed.
total=0
for f in build-web/site/*; do
  total=$((total + $(gzip -9 -c "$f" | wc -c)))
done
echo "site: $(du -cb build-web/site/* | tail -n1 | cut -f1) bytes, $total bytes with gzip -9 (target: at most 300 KB)"

# The native program's frame split at 640 x 480, right after.
echo "native, bench/fps.sh 640 $seconds ($rounds rounds):"
ROUNDS="$rounds" BUILD="$build" bench/fps.sh 640 "$seconds" | tee "$work/native" | sed 's/^/  /'
web=$(sed -n 's/^webwork640 = //p' "$work/web")
display=$(sed -n 's/^webwork640display = //p' "$work/web")
# the median of the rounds' figures
native=$(sed -n 's/.*presenting, \([0-9.]*\) ms the rest.*/\1/p' "$work/native" | sort -n |
  awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }')
if [ -n "$web" ] && [ -n "$display" ] && [ -n "$native" ]; then
  awk -v w="$web" -v d="$display" -v n="$native" 'BEGIN {
    r = n > 0 ? w / n : 0
    printf "work per frame outside presenting at 640x480, both flat out: WebAssembly %.3f ms, native %.3f ms, ratio %.2f (target: at most 2)\n", w, n, r
    printf "  (WebAssembly at the display'"'"'s rate, more steps a frame: %.3f ms, %.2f of the native figure)\n", d, (n > 0 ? d / n : 0)
  }'
fi
