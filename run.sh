#!/usr/bin/env bash
# Install what is missing, build, and start Spumex: ./run.sh [width]
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

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
