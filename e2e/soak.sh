#!/usr/bin/env bash
# Soak run, not part of the test suite: the ASan + UBSan build of the program
# under Xvfb, driven for MINUTES minutes by random keys (every command, stores
# and loads included), drags of templates, hoses and blocks, and demo visits.
# Reports the events sent, peak RSS at the start and the end, restarts and
# every sanitizer report; fails if there is a report or an abnormal exit.
#
# Use: e2e/soak.sh MINUTES [SEED]      (JOBS sets the build's parallel jobs, default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?Use: e2e/soak.sh MINUTES [SEED]}
seed=${2:-$(date +%s)}

cmake -S . -B build-soak -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_SANITIZE=ON -DSPUMEX_BENCH=OFF >/dev/null
cmake --build build-soak -j"${JOBS:-2}" --target spumex spumexsoak >/dev/null

logs=$(mktemp -d /tmp/spumex-soak-XXXXXX)
# The program inherits the leak suppressions; the driver itself is not
# checked for leaks.
export LSAN_OPTIONS=suppressions=$PWD/e2e/soak.supp:print_suppressions=0
status=0
ASAN_OPTIONS=detect_leaks=0 build-soak/e2e/spumexsoak "$minutes" "$logs" "$seed" || status=$?
if [ "$status" -eq 0 ]; then
  rm -rf "$logs"
else
  echo "soak failed; logs kept in $logs" >&2
fi
exit "$status"
