#!/usr/bin/env bash
# Install what is missing, build, and start Spumex: ./run.sh [width]
# The web version instead: ./run.sh --web [width] [--port N]
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

if [ "${1:-}" = "--web" ]; then
  shift
  width=""
  port=8000
  while [ $# -gt 0 ]; do
    case "$1" in
      --port) [ $# -ge 2 ] || { echo "run.sh: --port needs a number" >&2; exit 2; }
              port=$2; shift 2 ;;
      --port=*) port=${1#--port=}; shift ;;
      *) width=$1; shift ;;
    esac
  done
  case "$port" in
    ''|*[!0-9]*) echo "run.sh: --port needs a number, not '$port'" >&2; exit 2 ;;
  esac
  needpackages emscripten cmake make
  command -v node >/dev/null 2>&1 || needpackages nodejs
  installmissing build-web/packages.log
  web/build.sh
  echo "run.sh: serving build-web/site (Ctrl-C stops it)" >&2
  exec node web/serve.mjs build-web/site "$port" "${width:+?width=$width}"
fi

log=build/build.log
needpackages cmake g++ make pkg-config
[ -n "${DISPLAY:-}" ] || needpackages xvfb xauth
needsdl build/packages.log
installmissing build/packages.log

echo "run.sh: building Spumex (log: $log)" >&2
mkdir -p build
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build -j"$(nproc)" --target spumex; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "run.sh: the build failed; the whole output is in $log" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no DISPLAY; running Spumex under a virtual X server (Xvfb)" >&2
  exec xvfb-run -a -s "-screen 0 2048x1536x24" ./build/spumex "$@"
fi
exec ./build/spumex "$@"
