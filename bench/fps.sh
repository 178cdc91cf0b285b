#!/usr/bin/env bash
# Whole-program frame rate under Xvfb beside the present-only ceiling at the
# same size, with the time to the first presented frame and the peak RSS.
# Use: bench/fps.sh [width [seconds]]; BUILD=dir picks the build (default build).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${BUILD:-$root/build}"
width="${1:-640}"
seconds="${2:-10}"
height=$((width * 480 / 640))

. "$root/tools/deps.sh"
needpackages xvfb xauth xdotool
installmissing

. "$root/bench/needbuild.sh"
needbuild "$build"

work="$(mktemp -d)"
xpid=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server exactly the window's size, so the window covers it and
# gets the keyboard wherever the pointer is.
disp=""
for n in $(seq 150 399); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    disp=$n
    break
  fi
done
[ -n "$disp" ] || { echo "fps.sh: no free X display" >&2; exit 1; }
Xvfb ":$disp" -screen 0 "${width}x${height}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
export DISPLAY=":$disp"
unset SDL_VIDEODRIVER SDL_VIDEO_DRIVER
for _ in $(seq 100); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done

# The present-only loop: lock, show the whole 16-bit surface, unlock.
ceiling() {
  "$build/spumex-ceiling" "$width" "$seconds" | sed -n 's/^fps = //p'
}

# The program with 64 hoses spraying into 64 blocks, from preset slot 0.
program() {
  mkdir -p "$work/home"
  "$build/spumex-bench" --scene > "$work/home/.spumexpreset0"
  local t0
  t0="$(date +%s%N)"
  HOME="$work/home" SPUMEX_T0="$t0" LD_PRELOAD="$build/spumex-firstframe.so" \
    "$build/spumex" "$width" > "$work/out" 2> "$work/err" &
  pid=$!
  sleep "$seconds"
  xdotool key Escape
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "fps.sh: spumex did not end on Escape" >&2
    exit 1
  fi
  wait "$pid" || { echo "fps.sh: spumex failed:" >&2; cat "$work/err" >&2; exit 1; }
  pid=""
}

# Rounds of one ceiling run and one program run, in alternating order, so
# that both sides of a round share the machine's load; medians over rounds.
rounds="${ROUNDS:-3}"
echo "fps.sh: ${width}x${height}, $rounds rounds of ${seconds} s per run, Xvfb depth 24 on $(nproc) cores"
: > "$work/rounds"
for r in $(seq "$rounds"); do
  if [ $((r % 2)) -eq 1 ]; then
    c="$(ceiling)"
    program
  else
    program
    c="$(ceiling)"
  fi
  fps="$(sed -n 's/^fps = //p' "$work/out")"
  first="$(sed -n 's/^first frame = \([0-9.]*\) ms$/\1/p' "$work/err")"
  rss="$(sed -n 's/^peak rss = \([0-9]*\) kB$/\1/p' "$work/err")"
  split="$(sed -n 's/^frame split = //p' "$work/err")"
  echo "${c:-0} ${fps:-0} ${first:-0} ${rss:-0}" >> "$work/rounds"
  awk -v r="$r" -v c="${c:-0}" -v f="${fps:-0}" -v t="${first:-?}" -v m="${rss:-?}" -v s="$split" 'BEGIN {
    q = 0; if (c > 0) q = 100 * f / c
    printf "round %d: ceiling fps = %d, spumex fps = %d (%.1f %%), first frame %s ms, peak RSS %s kB\n", r, c, f, q, t, m
    printf "         spumex frame: %s\n", s
  }'
done
# medians of every column, and of the round-by-round ratio
awk '
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  { n++; c[n] = $1; f[n] = $2; t[n] = $3; m[n] = $4; q[n] = $1 > 0 ? 100 * $2 / $1 : 0; if ($4 > peak) peak = $4 }
  END {
    printf "median over %d rounds:\n", n
    printf "  present-only ceiling: fps = %d\n", median(c, n)
    printf "  spumex, 64 hoses into 64 blocks: fps = %d\n", median(f, n)
    printf "  spumex / ceiling: %.1f %% (target at 640x480: at least 90 %%)\n", median(q, n)
    printf "  start to first presented frame: %.1f ms (target at 640x480: under 150 ms)\n", median(t, n)
    printf "  peak RSS: %d kB, the largest of the rounds (target at 640x480: under 40 MB)\n", peak
  }' "$work/rounds"
