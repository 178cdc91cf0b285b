#!/usr/bin/env bash
# Builds the web version with emscripten into build-web/site/, a static folder
# any web server can host: web/build.sh. Installs nothing (run.sh --web does).
set -euo pipefail
cd "$(dirname "$0")/.."

out=build-web
log=$out/build.log
site=$out/site
mkdir -p "$out"

# emscripten's tools load Debian's JavaScript modules (acorn); a node that is
# not Debian's own does not look for them there.
if [ -d /usr/share/nodejs ]; then
  export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
fi

fail() {
  [ -f "$log" ] && tail -n 30 "$log" >&2
  echo "web/build.sh: $1; the whole output is in $log" >&2
  exit 1
}

echo "web/build.sh: building the web version (log: $log)" >&2
{ emcmake cmake -S web -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release &&
  cmake --build "$out/cmake" -j2; } >"$log" 2>&1 || fail "the build failed"

# The page's policy forbids code made from strings at run time.
fromstrings='(^|[^.$[:alnum:]_])(eval|Function)\('
if grep -E -q "$fromstrings" "$out/cmake/spumex.js"; then
  grep -E -o ".{0,40}$fromstrings.{0,40}" "$out/cmake/spumex.js" >>"$log"
  fail "spumex.js makes code from strings, which the page's policy refuses"
fi

rm -rf "$site"
mkdir -p "$site"
files=(index.html page.js share.js page.css manifest.webmanifest icon.svg icon-192.png icon-512.png icon-maskable.png)
cp "$out/cmake/spumex.js" "$out/cmake/spumex.wasm" "${files[@]/#/web/}" "$site/"
files+=(spumex.js spumex.wasm)
# The service worker keeps this version's files: their list, and a digest of
# them that changes whenever one of them does.
version=$(cd "$site" && cat "${files[@]}" | sha256sum | cut -c1-16)
list=$(printf "'%s', " "${files[@]}")
sed -e "s/@VERSION@/$version/" -e "s/@FILES@/${list%, }/" web/sw.js >"$site/sw.js"
echo "web/build.sh: the site is in $site" >&2
