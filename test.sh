#!/usr/bin/env bash
# Install what is missing, build, and run the whole test suite: the unit, install and
# end-to-end tests and one benchmark; the web version in Chromium, Firefox and WebKit, also as the
# release's site tarball under nginx; the timer and frame loop under ThreadSanitizer;
# each fuzz target for about 20 s; the unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer. One line per stage; the whole output is in build-logs/.
set -uo pipefail
cd "$(dirname "$0")"
. tools/deps.sh

logs=$PWD/build-logs
rm -rf "$logs"
mkdir -p "$logs"
jobs=$(nproc)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/hardening/tsan.supp"

failures=0   # failed stages
passed=0     # tests, over every test stage
failed=0
skipped=0    # tests that skip themselves where a browser engine cannot do what they need

. tools/steps.sh
# step NAME LOG COMMAND...: runs a build step (tools/steps.sh); a failure counts.
step() {
  runstep "$@" || { failures=$((failures + 1)); return 1; }
}

# tally NAME LOG START STATUS TOTAL BAD [SKIPPED]: counts a test stage and prints its line.
# Returns 0 when it passed, 1 when tests failed (the caller shows them), 2 when none ran.
tally() {
  local name=$1 log=$2 start=$3 status=$4 total=$5 bad=${6:-0} skips=${7:-0} counts
  if [ -z "$total" ] || [ "$total" -eq 0 ]; then
    report "$name" "FAIL: no test ran" $((SECONDS - start))
    tail -n 20 "$log"
    failures=$((failures + 1))
    return 2
  fi
  passed=$((passed + total - bad - skips))
  failed=$((failed + bad))
  skipped=$((skipped + skips))
  counts="$((total - bad - skips)) passed, $bad failed"
  [ "$skips" -eq 0 ] || counts+=", $skips skipped"
  if [ "$status" -eq 0 ] && [ "$bad" -eq 0 ]; then
    report "$name" "$counts" $((SECONDS - start))
    return 0
  fi
  report "$name" "$counts: FAIL" $((SECONDS - start))
  failures=$((failures + 1))
  return 1
}

# tests NAME LOG CTEST-ARGS...: runs ctest, counts, and shows each failed test's output.
tests() {
  local name=$1 log=$2 start=$SECONDS status total bad
  shift 2
  ctest --output-on-failure "$@" >"$log" 2>&1
  status=$?
  total=$(sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$log" | tail -n1)
  bad=$(sed -n 's/.* \([0-9][0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n1)
  tally "$name" "$log" "$start" "$status" "$total" "$bad"
  case $? in 0) return 0 ;; 2) return 1 ;; esac
  # ctest prints a failed test's output right after its status line.
  awk '/^ *[0-9]+\/[0-9]+ Test +#/ { show = ($0 !~ / Passed /) }
       /tests passed, .* tests failed out of/ { show = 1 }
       show' "$log" | head -n 150
  echo "(the whole output is in $log)"
  return 1
}

# Packages: the program's, the tests', and the fuzzer runtime of the clang installed.
start=$SECONDS
needpackages cmake g++ make pkg-config libgtest-dev libbenchmark-dev \
  xvfb xauth x11-utils libx11-dev libxtst-dev imagemagick clang desktop-file-utils groff-base man-db appstream \
  emscripten chromium firefox-esr libgl1-mesa-dri ffmpeg nginx
# WebKitGTK's WebDriver: webkitgtk-webdriver since Debian 13, webkit2gtk-driver before
needany webkitgtk-webdriver webkit2gtk-driver
command -v node >/dev/null 2>&1 || needpackages nodejs
command -v npm >/dev/null 2>&1 || needpackages npm
if needsdl "$logs/packages.log" 2>/dev/null && installmissing "$logs/packages.log" 2>/dev/null &&
   needfuzzruntime 2>>"$logs/packages.log" && installmissing "$logs/packages.log" 2>/dev/null; then
  report packages "ok${installed[0]:+, installed ${#installed[@]}}" $((SECONDS - start))
else
  report packages FAIL $((SECONDS - start))
  tail -n 25 "$logs/packages.log"
  exit 1
fi

# The program, unit, install and end-to-end tests, benchmarks: what the plain build makes.
if step "normal build" "$logs/normal-build.log" \
    eval 'cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSPUMEX_TESTS=ON -DSPUMEX_E2E=ON -DSPUMEX_BENCH=ON &&
          cmake --build build -j"$jobs"'; then
  tests "unit+e2e tests" "$logs/normal-tests.log" --test-dir build -j"$jobs" --timeout 300
  step "benchmark run" "$logs/bench.log" \
    build/spumex-bench --benchmark_filter=makeblockmap --benchmark_repetitions=1
fi

# The web version, built with emscripten and tried in each browser engine
# (e2e/web/harness.mjs: Chromium and Firefox headless, WebKitGTK's MiniBrowser
# under Xvfb) against the reference frames the desktop code draws
# (build/e2e/spumexwebref).
# nodetests NAME LOG COMMAND...: runs node's test runner (in e2e/web, TAP on its
# output), counts, and shows each failed test.
nodetests() {
  local name=$1 log=$2 start=$SECONDS status total bad skips
  shift 2
  ( cd e2e/web && "$@" ) >"$log" 2>&1
  status=$?
  total=$(sed -n 's/^# tests \([0-9][0-9]*\)$/\1/p' "$log" | tail -n1)
  bad=$(sed -n 's/^# fail \([0-9][0-9]*\)$/\1/p' "$log" | tail -n1)
  skips=$(sed -n 's/^# skipped \([0-9][0-9]*\)$/\1/p' "$log" | tail -n1)
  tally "$name" "$log" "$start" "$status" "$total" "$bad" "$skips"
  case $? in 0) return 0 ;; 2) return 1 ;; esac
  grep -E -A 30 '^not ok' "$log" | head -n 150
  echo "(the whole output is in $log)"
  return 1
}
if [ -x build/e2e/spumexwebref ] && step "web build" "$logs/web-build.log" web/build.sh &&
   step "web test tools" "$logs/web-npm.log" \
     eval '(cd e2e/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)'; then
  for engine in chromium firefox webkit; do
    nodetests "web tests $engine" "$logs/web-tests-$engine.log" \
      env SPUMEX_ENGINE="$engine" node --test --test-reporter=tap web.test.mjs page.test.mjs
  done
  # The site as a release holds it, packed as tools/release.sh packs it, unpacked
  # into nginx's document root and tried there at /spumex/ (e2e/web/nginx.test.mjs).
  tarball=$PWD/build-web/spumex-web.tar.gz
  if step "site tarball" "$logs/site-tarball.log" eval '. tools/tarball.sh &&
       filestarball build-web/site spumex-web "$tarball" "$(git log -1 --format=%ct 2>/dev/null || date +%s)"'; then
    nodetests "site under nginx" "$logs/nginx-tests.log" \
      env SPUMEX_SITE_TARBALL="$tarball" node --test --test-reporter=tap nginx.test.mjs
  fi
fi

# ThreadSanitizer: the timer thread and the frame loop that reads its ticks.
if step "tsan build" "$logs/tsan-build.log" \
    eval 'cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_TSAN=ON \
            -DSPUMEX_TESTS=ON -DSPUMEX_E2E=OFF -DSPUMEX_BENCH=OFF \
            "-DSPUMEX_UNIT_TESTS=app/mainloop.cpp;hardening/timer.cpp" &&
          cmake --build build-tsan -j"$jobs" --target spumex-tests'; then
  tests "tsan tests" "$logs/tsan-tests.log" --test-dir build-tsan -j"$jobs" -L unit
fi

# libFuzzer: each target from its corpus for about 20 s.
fuzztargets=()
for src in fuzz/*.cpp; do fuzztargets+=("fuzz-$(basename "$src" .cpp)"); done
if step "fuzz build" "$logs/fuzz-build.log" \
    eval 'CC=clang CXX=clang++ cmake -S . -B build-fuzz -DSPUMEX_FUZZ=ON \
            -DSPUMEX_TESTS=OFF -DSPUMEX_E2E=OFF -DSPUMEX_BENCH=OFF &&
          cmake --build build-fuzz -j"$jobs" --target "${fuzztargets[@]}"'; then
  # The targets run side by side, one per core, each for its own 20 s.
  work=$(mktemp -d)
  mkdir -p build-fuzz/artifacts
  fuzz() {
    local name=${1#fuzz-} start=$SECONDS
    cp -r "fuzz/corpus/$name" "$work/$name"
    build-fuzz/"$1" -max_total_time=20 -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$PWD/build-fuzz/artifacts/$name-" "$work/$name" >"$logs/$1.log" 2>&1
    echo "$? $((SECONDS - start))" >"$work/$1.status"
  }
  running=0
  for t in "${fuzztargets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
    fuzz "$t" &
    running=$((running + 1))
  done
  wait
  for t in "${fuzztargets[@]}"; do
    read -r status secs <"$work/$t.status" || { status=1; secs=0; }
    if [ "$status" -eq 0 ]; then
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log")
      report "$t" "$runs inputs, no crash" "$secs"
    else
      report "$t" "FAIL: crash or sanitizer report" "$secs"
      tail -n 60 "$logs/$t.log"
      echo "(the input is kept in build-fuzz/artifacts/, the whole output in $logs/$t.log)"
      failures=$((failures + 1))
    fi
  done
  rm -rf "$work"
elif grep -q 'libclang_rt\.fuzzer' "$logs/fuzz-build.log"; then
  echo "clang cannot link the libFuzzer targets: its fuzzer runtime (Debian: libclang-rt-N-dev for clang N) is missing"
fi

# AddressSanitizer and UndefinedBehaviorSanitizer over every unit test.
if step "asan build" "$logs/asan-build.log" \
    eval 'cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPUMEX_SANITIZE=ON \
            -DSPUMEX_TESTS=ON -DSPUMEX_E2E=OFF -DSPUMEX_BENCH=OFF &&
          cmake --build build-asan -j"$jobs" --target spumex-tests'; then
  tests "asan tests" "$logs/asan-tests.log" --test-dir build-asan -j"$jobs" --timeout 600 -L unit
fi

if [ "$skipped" -eq 0 ]; then
  echo "tests: $passed passed, $failed failed"
else
  echo "tests: $passed passed, $failed failed, $skipped skipped"
fi
if [ "$failures" -ne 0 ]; then
  echo "test.sh: $failures stage(s) failed"
  exit 1
fi
