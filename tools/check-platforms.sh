#!/usr/bin/env bash
# Runs ./test.sh, then ./run.sh without a display, on each supported platform, each in a
# fresh minimal Debian root (debootstrap --variant=minbase) holding only the committed tree.
# Needs root, debootstrap and Debian's package archive. Far too slow for CI.
#
#   tools/check-platforms.sh [platform...]     (default: all of them)
#   tools/check-platforms.sh --prepare [platform...]   only make the cached roots
#
# Platforms: debian12-sdl1.2.15  Debian 12 with libsdl1.2-dev (installed by test.sh)
#            debian12-sdl12compat  Debian 12 with libsdl1.2-compat-dev installed beforehand
#            debian13  Debian 13 (sdl12-compat is its SDL 1.2)
#
# Environment: SPUMEX_PLATFORM_CACHE  where the minbase roots are kept as tarballs
#                                     (default /var/cache/spumex-platforms)
#              SPUMEX_PLATFORM_WORK   where roots are unpacked and logs are written
#                                     (default /var/tmp/spumex-platforms)
#              SPUMEX_MIRROR          Debian mirror (default: the one this machine's apt uses)
#              SPUMEX_RUN_SECONDS     how long run.sh runs before it is stopped (default 8,
#                                     counted from the end of its build)
#              SPUMEX_KEEP_ROOTS=1    keep the unpacked roots after the run
set -uo pipefail

all_platforms=(debian12-sdl1.2.15 debian12-sdl12compat debian13)
cache=${SPUMEX_PLATFORM_CACHE:-/var/cache/spumex-platforms}
workdir=${SPUMEX_PLATFORM_WORK:-/var/tmp/spumex-platforms}
runseconds=${SPUMEX_RUN_SECONDS:-8}
repo=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "check-platforms: $*" >&2; exit 2; }

suite_of() {
  case $1 in
    debian12-*) echo bookworm ;;
    debian13) echo trixie ;;
    *) return 1 ;;
  esac
}

# Packages installed into the root before the tree arrives: what the platform is about, never
# what the project's scripts should install themselves.
preinstall_of() {
  case $1 in
    debian12-sdl12compat) echo libsdl1.2-compat-dev ;;
  esac
}

mirror() {
  if [ -n "${SPUMEX_MIRROR:-}" ]; then echo "$SPUMEX_MIRROR"; return; fi
  local m
  m=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | grep -v security | head -n1)
  [ -n "$m" ] || m=$(awk '$1 == "deb" && $3 !~ /security/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
  echo "${m:-http://deb.debian.org/debian}"
}

fmt_time() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# The cached minbase root of a Debian suite, made on first use.
roottar() {
  local suite=$1 tar=$cache/$1-minbase.tar
  if [ ! -s "$tar" ]; then
    mkdir -p "$cache"
    local tmp
    tmp=$(mktemp -d "$cache/.make-$suite.XXXXXX")
    echo "check-platforms: making the $suite minbase root (debootstrap, a few minutes)" >&2
    if ! debootstrap --variant=minbase "$suite" "$tmp/root" "$(mirror)" >"$cache/$suite-debootstrap.log" 2>&1; then
      tail -n 20 "$cache/$suite-debootstrap.log" >&2
      rm -rf "$tmp"
      return 1
    fi
    rm -rf "$tmp/root/var/cache/apt/archives/"*.deb
    tar -C "$tmp/root" -cf "$tar.part" . && mv "$tar.part" "$tar"
    rm -rf "$tmp"
  fi
  echo "$tar"
}

[ "$(id -u)" -eq 0 ] || die "needs root (chroot, mount)"
command -v debootstrap >/dev/null || die "needs debootstrap (apt-get install debootstrap)"

prepare=0
if [ "${1:-}" = --prepare ]; then prepare=1; shift; fi
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=("${all_platforms[@]}")
for p in "${platforms[@]}"; do
  suite_of "$p" >/dev/null || die "unknown platform $p (known: ${all_platforms[*]})"
done

if [ "$prepare" = 1 ]; then
  for p in "${platforms[@]}"; do roottar "$(suite_of "$p")" >/dev/null || die "debootstrap failed"; done
  exit 0
fi

mounted=()   # mount points to undo, in the order they were made
root=""

# Ends what still runs inside the root (a program left by run.sh), then unmounts it.
release() {
  local p i
  if [ -n "$root" ]; then
    for p in /proc/[0-9]*; do
      [ "$p/root" -ef "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
    done
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null ||
      echo "check-platforms: cannot unmount ${mounted[i]}" >&2
  done
  mounted=()
}
trap 'release; exit 130' INT TERM
trap release EXIT

mountin() {   # mountin TARGET MOUNT-ARGS...
  local target=$1
  shift
  mount "$@" "$target" && mounted+=("$target")
}

# In the root as root: a login-like environment without DISPLAY, in the tree's folder.
inroot() {
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root TERM=dumb /bin/bash -c "cd /root/spumex && $1"
}

# A fresh root of the platform with the committed tree in /root/spumex.
newroot() {
  local p=$1 tar pre
  tar=$(roottar "$(suite_of "$p")") || return 1
  root=$workdir/$p/root
  rm -rf "$root"
  mkdir -p "$root"
  tar -C "$root" -xf "$tar" || return 1
  mountin "$root/proc" -t proc proc &&
    mountin "$root/sys" --bind /sys &&
    mountin "$root/dev" --bind /dev &&
    mountin "$root/dev/pts" --bind /dev/pts &&
    mountin "$root/dev/shm" --bind /dev/shm || return 1
  # Downloaded packages are kept between runs, as apt keeps them on one machine: every
  # root still installs them itself, only the download is saved.
  mkdir -p "$cache/$(suite_of "$p")-debs"
  mountin "$root/var/cache/apt/archives" --bind "$cache/$(suite_of "$p")-debs" || return 1
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  mkdir -p "$root/root/spumex"
  git -C "$repo" archive HEAD | tar -C "$root/root/spumex" -x || return 1
  pre=$(preinstall_of "$p")
  if [ -n "$pre" ]; then
    if ! chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        /bin/sh -c "apt-get update && apt-get install -y --no-install-recommends $pre" \
        >"$workdir/$p/preinstall.log" 2>&1; then
      tail -n 20 "$workdir/$p/preinstall.log" >&2
      return 1
    fi
  fi
}

dropcurrent() {
  release
  [ "${SPUMEX_KEEP_ROOTS:-0}" = 1 ] || rm -rf "$root"
  root=""
}

# ./run.sh in a fresh root: it installs what the program needs, builds it and starts it
# under Xvfb; it passes when the program prints its banner and is still running
# SPUMEX_RUN_SECONDS after the build, and when that build installs.
checkrun() {
  local p=$1 log=$2 pid deadline
  info="setup failed"
  newroot "$p" >"$log" 2>&1 || return 1
  setsid chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root TERM=dumb /bin/bash -c 'cd /root/spumex && exec ./run.sh' >>"$log" 2>&1 &
  pid=$!
  deadline=$((SECONDS + 1800))
  while kill -0 "$pid" 2>/dev/null && ! grep -q 'running Spumex under' "$log" && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 1
  done
  sleep "$runseconds"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    info="ended early (status $?)"
    return 1
  fi
  kill -TERM -- "-$pid" 2>/dev/null
  sleep 1
  kill -KILL -- "-$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  if ! grep -q 'no DISPLAY; running Spumex under a virtual X server' "$log"; then
    info="no Xvfb note"
    return 1
  fi
  if ! grep -q '^Spumex, by the Spumex developers' "$log"; then
    info="no banner"
    return 1
  fi
  # That build had only the program's own packages: its configure step names what it
  # skipped, and its install rules must work.
  cp "$root/root/spumex/build/build.log" "${log%.log}-build.log" 2>/dev/null
  if ! inroot 'cmake --install build --prefix /tmp/spumex-install' >>"$log" 2>&1; then
    info="ok, but cmake --install failed"
    return 1
  fi
  info="ok, install ok"
}

# ./test.sh in a fresh root; info tells the SDL version it built with and the stages that failed.
checktest() {
  local p=$1 log=$2 status bad
  info="setup failed"
  newroot "$p" >"$log" 2>&1 || return 1
  inroot ./test.sh >>"$log" 2>&1
  status=$?
  rm -rf "$workdir/$p/test-logs"
  cp -r "$root/root/spumex/build-logs" "$workdir/$p/test-logs" 2>/dev/null
  info="sdl $(inroot 'pkg-config --modversion sdl' 2>/dev/null)"
  bad=$(grep -E ' \.+ .*FAIL' "$log" | sed 's/ \.\.*.*//' | paste -sd, -)
  [ -z "$bad" ] || info="$info  failed: $bad"
  return "$status"
}

mkdir -p "$workdir"
summary=0
for p in "${platforms[@]}"; do
  mkdir -p "$workdir/$p"
  start=$SECONDS
  checktest "$p" "$workdir/$p/test.log"
  teststatus=$?
  testinfo=$info
  testtime=$(fmt_time $((SECONDS - start)))
  dropcurrent
  checkrun "$p" "$workdir/$p/run.log"
  runstatus=$?
  runinfo=$info
  dropcurrent
  result=PASS
  if [ "$teststatus" -ne 0 ] || [ "$runstatus" -ne 0 ]; then result=FAIL; summary=1; fi
  printf '%-21s %s  test.sh %s  run.sh %s  %s  (logs: %s)\n' "$p" "$result" "$testtime" "$runinfo" \
    "$testinfo" "$workdir/$p/"
done
exit "$summary"
