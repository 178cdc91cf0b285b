#!/usr/bin/env bash
# Install what is missing, build, and run the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

needpackages cmake g++ make pkg-config libgtest-dev libbenchmark-dev \
  xvfb xauth libx11-dev libxtst-dev imagemagick clang desktop-file-utils groff-base man-db
needsdl
installmissing

jobs=$(nproc)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

echo "== normal build =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

echo "== sanitizer build (ASan + UBSan) =="
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_SANITIZE=ON -DSPUMEX_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600 -LE e2e
