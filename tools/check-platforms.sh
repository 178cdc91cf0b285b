#!/usr/bin/env bash
# Runs ./test.sh, then ./run.sh without a display, on each supported platform, each in a
# fresh minimal Debian root (debootstrap --variant=minbase) holding only the committed tree;
# on the package platforms it builds, checks, installs, tests and purges the Debian package.
# Needs root, debootstrap and Debian's package archive. Far too slow for CI.
#
#   tools/check-platforms.sh [platform...]     (default: all of them)
#   tools/check-platforms.sh --prepare [platform...]   only make the cached roots
#
# Platforms: debian12-sdl1.2.15  Debian 12 with libsdl1.2-dev (installed by test.sh)
#            debian12-sdl12compat  Debian 12 with libsdl1.2-compat-dev installed beforehand
#            debian13  Debian 13 (sdl12-compat over SDL 2 is its SDL 1.2)
#            debian-unstable  Debian unstable, the next Debian (sdl12-compat over sdl2-compat
#              over SDL 3); its roots skip apt's Valid-Until check (see newroot)
#            debian12-package, debian13-package, debian-unstable-package  the Debian package
#              on Debian 12, 13 and unstable:
#              built with dpkg-buildpackage in a root that has only its Build-Depends
#              (apt-get build-dep), checked with lintian (no error, no warning), installed
#              with apt into another fresh root, tested there with autopkgtest's null
#              runner, started from its menu entry's Exec line as a user, then purged
#              and checked to leave nothing behind
#
# Environment: SPUMEX_PLATFORM_CACHE  where the minbase roots are kept as tarballs
#                                     (default /var/cache/spumex-platforms)
#              SPUMEX_PLATFORM_WORK   where roots are unpacked and logs are written
#                                     (default /var/tmp/spumex-platforms)
#              SPUMEX_MIRROR          Debian mirror (default: the one this machine's apt uses,
#                                     else debootstrap's own)
#              SPUMEX_RUN_SECONDS     how long run.sh runs before it is stopped (default 8,
#                                     counted from the end of its build)
#              SPUMEX_KEEP_ROOTS=1    keep the unpacked roots after the run
set -uo pipefail

all_platforms=(debian12-sdl1.2.15 debian12-sdl12compat debian13 debian-unstable
  debian12-package debian13-package debian-unstable-package)
cache=${SPUMEX_PLATFORM_CACHE:-/var/cache/spumex-platforms}
workdir=${SPUMEX_PLATFORM_WORK:-/var/tmp/spumex-platforms}
runseconds=${SPUMEX_RUN_SECONDS:-8}
repo=$(cd "$(dirname "$0")/.." && pwd)

die() { echo "check-platforms: $*" >&2; exit 2; }

suite_of() {
  case $1 in
    debian12-*) echo bookworm ;;
    debian13 | debian13-package) echo trixie ;;
    debian-unstable | debian-unstable-package) echo sid ;;
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
  echo "$m"
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
    local m
    m=$(mirror)
    if ! debootstrap --variant=minbase "$suite" "$tmp/root" ${m:+"$m"} >"$cache/$suite-debootstrap.log" 2>&1; then
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
# The extra certificate authorities this machine tells node to trust (a proxy's, say) are
# trusted in the root too, so npm reaches its registry from there as it does from here.
cafile=${NODE_EXTRA_CA_CERTS:-}
inroot() {
  local ca=()
  [ -n "$cafile" ] && [ -r "$root/etc/host-extra-ca.crt" ] && ca=(NODE_EXTRA_CA_CERTS=/etc/host-extra-ca.crt)
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root TERM=dumb "${ca[@]}" /bin/bash -c "cd /root/spumex && $1"
}

# A fresh root of the platform with the committed tree in /root/spumex.
newroot() {
  local p=$1 tar pre
  tar=$(roottar "$(suite_of "$p")") || return 1
  root=$workdir/$p/root
  rm -rf "$root"
  mkdir -p "$root"
  tar -C "$root" -xf "$tar" || return 1
  # The unstable archive reached from here may be a snapshot older than its Release file's
  # Valid-Until date, which apt would refuse; a current archive does not need this, and the
  # released suites keep apt's check.
  if [ "$(suite_of "$p")" = sid ]; then
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99no-check-valid-until"
  fi
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
  if [ -n "$cafile" ] && [ -r "$cafile" ]; then cp -L "$cafile" "$root/etc/host-extra-ca.crt"; fi
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

# The Debian package: built in a fresh root that has only its Build-Depends, checked with
# lintian there; installed with apt into a second fresh root, tested there by autopkgtest
# with its null runner (the testbed is that root), started from its menu entry's Exec line
# by a user whose login PATH is Debian's, purged, and searched for on disk. The built files
# are kept in the platform's folder.
checkpackage() {
  local p=$1 log=$2 out=$workdir/$1 apt="DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends"
  local tags cmd left
  info="setup failed"
  rm -f "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo "$out"/*.dsc "$out"/*.tar.*
  newroot "$p" >"$log" 2>&1 || return 1
  info="build failed"
  inroot "apt-get update -q && $apt build-dep ./ && DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc -b" \
    >>"$log" 2>&1 || return 1
  # The source package too, made from an untouched copy of the tree, for lintian.
  mkdir -p "$root/root/src/spumex"
  git -C "$repo" archive HEAD | tar -C "$root/root/src/spumex" -x || return 1
  inroot 'cd /root/src && dpkg-source -b spumex' >>"$log" 2>&1 || return 1
  cp "$root"/root/*.deb "$root"/root/*.changes "$root"/root/*.buildinfo "$root"/root/src/*.dsc \
    "$root"/root/src/*.tar.* "$out/" || return 1
  info="lintian failed"
  inroot "$apt install lintian" >>"$log" 2>&1 || return 1
  inroot 'lintian --fail-on error,warning --display-info /root/spumex_*.changes /root/src/spumex_*.dsc' \
    >"$out/lintian.log" 2>&1
  local lintstatus=$?
  cat "$out/lintian.log" >>"$log"
  tags=$(sed -n 's/^\([EWIP]\): [^:]*: \([^ ]*\).*/\1:\2/p' "$out/lintian.log" | sort -u | paste -sd, -)
  if [ "$lintstatus" -ne 0 ] || grep -q '^[EW]: ' "$out/lintian.log"; then
    info="lintian: ${tags:-status $lintstatus}"
    return 1
  fi
  local linted="lintian clean${tags:+ ($tags)}"
  dropcurrent

  info="$linted, install failed"
  newroot "$p" >>"$log" 2>&1 || return 1
  mkdir -p "$root/root/debs"
  cp "$out"/spumex_*.deb "$root/root/debs/" || return 1
  inroot "apt-get update -q && $apt install /root/debs/spumex_*.deb" >>"$log" 2>&1 || return 1
  inroot 'dpkg -L spumex' >"$out/files.list" 2>>"$log" || return 1
  info="$linted, autopkgtest failed"
  inroot "$apt install autopkgtest && autopkgtest -B /root/debs/spumex_*.deb /root/spumex -- null" \
    >"$out/autopkgtest.log" 2>&1
  local atstatus=$?
  cat "$out/autopkgtest.log" >>"$log"
  [ "$atstatus" -eq 0 ] || return 1
  # As the menu starts it: the entry's Exec line, field codes dropped, run by a user's login shell.
  info="$linted, autopkgtest ok, menu start failed"
  cmd=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/io.github.spumex.spumex.desktop" | sed 's/ *%[a-zA-Z]//g')
  [ -n "$cmd" ] || return 1
  cp "$repo/debian/tests/xvfb-session" "$root/tmp/xvfb-session" || return 1
  inroot "useradd -m player && runuser -l player -c 'sh /tmp/xvfb-session $cmd'" >>"$log" 2>&1 || return 1
  info="$linted, autopkgtest ok, menu start ok, purge failed"
  inroot "rm -f /tmp/xvfb-session && DEBIAN_FRONTEND=noninteractive apt-get -y -q purge spumex" >>"$log" 2>&1 || return 1
  # Nothing of it left: not known to dpkg, none of its paths but directories that other
  # packages own, no file or folder named after it (but the tree and the .deb brought in).
  left=$(inroot 'dpkg-query -W -f="\${db:Status-Abbrev}" spumex 2>/dev/null | grep -v "^[up]n"')
  while read -r path; do
    [ "$path" != /. ] || continue
    [ -e "$root$path" ] || [ -L "$root$path" ] || continue
    [ -d "$root$path" ] && [ ! -L "$root$path" ] && inroot "dpkg-query -S '$path' >/dev/null 2>&1" && continue
    left="$left $path"
  done <"$out/files.list"
  left="$left $(inroot 'find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /var/cache/apt/archives -o -path /root/spumex \
    -o -path /root/debs \) -prune -o -iname "*spumex*" -print' | paste -sd' ' -)"
  left=$(echo $left)
  if [ -n "$left" ]; then
    echo "left after purge: $left" >>"$log"
    info="$linted, autopkgtest ok, menu start ok, purge left: $left"
    return 1
  fi
  info="$linted, autopkgtest ok, menu start ok, purge clean"
}

mkdir -p "$workdir"
summary=0
for p in "${platforms[@]}"; do
  mkdir -p "$workdir/$p"
  start=$SECONDS
  case $p in
    *-package)
      checkpackage "$p" "$workdir/$p/package.log"
      status=$?
      dropcurrent
      result=PASS
      if [ "$status" -ne 0 ]; then result=FAIL; summary=1; fi
      printf '%-23s %s  package %s  %s  (logs: %s)\n' "$p" "$result" "$(fmt_time $((SECONDS - start)))" \
        "$info" "$workdir/$p/"
      continue
      ;;
  esac
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
  printf '%-23s %s  test.sh %s  run.sh %s  %s  (logs: %s)\n' "$p" "$result" "$testtime" "$runinfo" \
    "$testinfo" "$workdir/$p/"
done
exit "$summary"
