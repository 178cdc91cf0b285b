#!/usr/bin/env bash
# Install what is missing, build, and start Spumex: ./run.sh [width]
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

needpackages cmake g++ make pkg-config libgtest-dev libbenchmark-dev
needsdl
[ -n "${DISPLAY:-}" ] || needpackages xvfb xauth
installmissing

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target spumex

if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no DISPLAY; running Spumex under a virtual X server (Xvfb)" >&2
  exec xvfb-run -a -s "-screen 0 2048x1536x24" ./build/spumex "$@"
fi
exec ./build/spumex "$@"
