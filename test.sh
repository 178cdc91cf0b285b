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
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "== normal build =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

echo "== thread sanitizer build (the timer thread and ticks) =="
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_TSAN=ON -DSPUMEX_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target test_app_mainloop test_hardening_timer
for t in test_app_mainloop test_hardening_timer; do
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/hardening/tsan.supp" \
    build-tsan/tests/$t --gtest_brief=1
done

echo "== fuzzing (libFuzzer, about 20 s per target) =="
if command -v clang >/dev/null 2>&1 && command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DSPUMEX_FUZZ=ON -DSPUMEX_TESTS=OFF -DSPUMEX_BENCH=OFF >/dev/null
  targets=()
  for src in fuzz/*.cpp; do targets+=("fuzz-$(basename "$src" .cpp)"); done
  cmake --build build-fuzz -j"$jobs" --target "${targets[@]}"
  work=$(mktemp -d)
  mkdir -p build-fuzz/artifacts
  for t in "${targets[@]}"; do
    name=${t#fuzz-}
    cp -r "fuzz/corpus/$name" "$work/$name"
    if ! build-fuzz/"$t" -max_total_time=20 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$PWD/build-fuzz/artifacts/$name-" "$work/$name" >"$work/$name.log" 2>&1; then
      tail -n 60 "$work/$name.log"
      echo "$t: crash or sanitizer report; input kept in build-fuzz/artifacts/" >&2
      exit 1
    fi
    echo "$t: $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log") executions, no crash"
  done
  rm -rf "$work"
else
  echo "clang not found: fuzzing skipped"
fi

echo "== sanitizer build (ASan + UBSan) =="
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_SANITIZE=ON -DSPUMEX_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600 -LE e2e
