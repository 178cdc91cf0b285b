#!/usr/bin/env bash
# Runs ./test.sh, then ./run.sh without a display, on each supported platform, each in a
# fresh minimal Debian root (debootstrap --variant=minbase) holding only the committed tree;
# on the package platforms it builds, checks, installs, tests and purges the Debian package.
# Needs root, debootstrap and Debian's package archive. Far too slow for CI.
#
#   tools/check-platforms.sh [platform...]     (default: all of them)
#   tools/check-platforms.sh --prepare [platform...]   only make the cached roots
#   tools/check-platforms.sh --deb FILE [platform...]  the package platforms (the default
#     with --deb) with the .deb FILE in place of one built here: lintian checks FILE,
#     then it is installed, tested and purged as one built here would be. A package
#     built on another release lacks this release's lintian overrides: the one that
#     debian/rules would add here is suppressed instead, shown as S:TAG
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

runseconds=${SPUMEX_RUN_SECONDS:-8}
me=check-platforms
. "$(dirname "$0")/roots.sh"

die() { echo "check-platforms: $*" >&2; exit 2; }

[ "$(id -u)" -eq 0 ] || die "needs root (chroot, mount)"
command -v debootstrap >/dev/null || die "needs debootstrap (apt-get install debootstrap)"

prepare=0
givendeb=""
while [ $# -gt 0 ]; do
  case $1 in
    --prepare) prepare=1; shift ;;
    --deb)
      [ $# -ge 2 ] && [ -f "$2" ] || die "--deb needs a .deb file"
      givendeb=$(realpath "$2")
      shift 2
      ;;
    *) break ;;
  esac
done
platforms=("$@")
if [ ${#platforms[@]} -eq 0 ]; then
  for p in "${all_platforms[@]}"; do
    [ -z "$givendeb" ] || [[ $p == *-package ]] && platforms+=("$p")
  done
fi
for p in "${platforms[@]}"; do
  suite_of "$p" >/dev/null || die "unknown platform $p (known: ${all_platforms[*]})"
  [ -z "$givendeb" ] || [[ $p == *-package ]] || die "--deb is for the package platforms, not $p"
done

if [ "$prepare" = 1 ]; then
  for p in "${platforms[@]}"; do roottar "$(suite_of "$p")" >/dev/null || die "debootstrap failed"; done
  exit 0
fi

trap 'leaveroot; exit 130' INT TERM
trap leaveroot EXIT

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

# In the fresh root of a package platform: the package built with dpkg-buildpackage (its
# Build-Depends installed with apt-get build-dep), the source package made from an untouched
# copy of the tree, both copied to out and checked with lintian into out/lintian.log (or,
# with --deb, the given .deb copied to out and checked alone). Returns lintian's status, or
# 255 when the build or lintian's installation failed.
lintpackage() {
  local log=$1 out=$2 apt="DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends"
  if [ -n "$givendeb" ]; then
    { [ "$givendeb" -ef "$out/${givendeb##*/}" ] || cp "$givendeb" "$out/"; } && cp "$givendeb" "$root/root/" || return 255
    info="lintian failed"
    inroot "apt-get update -q && $apt install lintian appstream" >>"$log" 2>&1 || return 255
    # The override a build on this release would add, which a package built on another
    # release may lack (debian/homepage-only): the tag is suppressed, and said so.
    local suppress=""
    if inroot "dpkg-deb -x /root/${givendeb##*/} /tmp/given && debian/homepage-only /tmp/given" >>"$log" 2>&1; then
      suppress=appstream-metadata-validation-failed
    fi
    inroot "rm -rf /tmp/given && lintian --fail-on error,warning --display-info ${suppress:+--suppress-tags $suppress} \
      /root/${givendeb##*/}" >"$out/lintian.log" 2>&1
    local status=$?
    [ -z "$suppress" ] || echo "S: spumex: $suppress (no homepage, as debian/homepage-only allows)" >>"$out/lintian.log"
    return "$status"
  fi
  info="build failed"
  inroot "apt-get update -q && $apt build-dep ./ && DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc -b" \
    >>"$log" 2>&1 || return 255
  mkdir -p "$root/root/src/spumex"
  git -C "$repo" archive HEAD | tar -C "$root/root/src/spumex" -x || return 255
  inroot 'cd /root/src && dpkg-source -b spumex' >>"$log" 2>&1 || return 255
  cp "$root"/root/*.deb "$root"/root/*.changes "$root"/root/*.buildinfo "$root"/root/src/*.dsc \
    "$root"/root/src/*.tar.* "$out/" || return 255
  info="lintian failed"
  inroot "$apt install lintian" >>"$log" 2>&1 || return 255
  inroot 'lintian --fail-on error,warning --display-info /root/spumex_*.changes /root/src/spumex_*.dsc' \
    >"$out/lintian.log" 2>&1
}

# The Debian package: built and checked with lintian in a fresh root that has only its
# Build-Depends (lintpackage); installed with apt into a second fresh root, tested there by
# autopkgtest with its null runner (the testbed is that root), started from its menu entry's
# Exec line by a user whose login PATH is Debian's, purged, and searched for on disk. The
# built files are kept in the platform's folder.
checkpackage() {
  local p=$1 log=$2 out=$workdir/$1 apt="DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends"
  local tags cmd left linted lintstatus f
  info="setup failed"
  for f in "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo "$out"/*.dsc "$out"/*.tar.*; do
    [ -n "$givendeb" ] && [ "$f" -ef "$givendeb" ] || rm -f "$f"
  done
  newroot "$p" >"$log" 2>&1 || return 1
  lintpackage "$log" "$out"
  lintstatus=$?
  [ "$lintstatus" -ne 255 ] || return 1
  cat "$out/lintian.log" >>"$log"
  tags=$(sed -n 's/^\([EWIPS]\): [^:]*: \([^ ]*\).*/\1:\2/p' "$out/lintian.log" | sort -u | paste -sd, -)
  if [ "$lintstatus" -ne 0 ] || grep -q '^[EW]: ' "$out/lintian.log"; then
    info="lintian: ${tags:-status $lintstatus}"
    return 1
  fi
  linted="lintian clean${tags:+ ($tags)}"
  [ -z "$givendeb" ] || linted="${givendeb##*/}: $linted"
  dropcurrent

  info="$linted, install failed"
  newroot "$p" >>"$log" 2>&1 || return 1
  mkdir -p "$root/root/debs"
  if [ -n "$givendeb" ]; then
    cp "$givendeb" "$root/root/debs/" || return 1
  else
    cp "$out"/spumex_*.deb "$root/root/debs/" || return 1
  fi
  inroot "apt-get update -q && $apt install /root/debs/*.deb" >>"$log" 2>&1 || return 1
  inroot 'dpkg -L spumex' >"$out/files.list" 2>>"$log" || return 1
  info="$linted, autopkgtest failed"
  inroot "$apt install autopkgtest && autopkgtest -B /root/debs/*.deb /root/spumex -- null" \
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
