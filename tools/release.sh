#!/usr/bin/env bash
# Makes a release of the committed tree (HEAD) in build-release/:
#   spumex-VERSION.tar.gz       the tree as committed (git archive), in spumex-VERSION/
#   spumex-web-VERSION.tar.gz   the web version's static site, built from that tree by
#                               web/build.sh, in spumex-web-VERSION/
#   spumex_VERSION_ARCH.deb     the Debian package, built in a fresh Debian 12 root, then
#                               installed, tested and purged on Debian 12, 13 and unstable
#                               (tools/check-platforms.sh --deb)
#   SHA256SUMS                  their checksums, for sha256sum -c
# VERSION is debian/changelog's. Every date in them is the commit's (SOURCE_DATE_EPOCH), so
# two runs from one commit make the same bytes, as long as Debian 12's archive gives the
# package's build the same tools. One line per step; the whole output is in
# build-release/logs/. Refuses a tree whose tracked files differ from HEAD: what is released
# is HEAD alone. Needs root (the Debian roots: chroot, mount) and debootstrap; the roots are
# unpacked in SPUMEX_RELEASE_WORK (default /var/tmp/spumex-release), apart from
# check-platforms.sh's own, and cached as tools/roots.sh says.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
me=release.sh
. tools/deps.sh
export SPUMEX_PLATFORM_WORK=${SPUMEX_RELEASE_WORK:-/var/tmp/spumex-release}
. tools/roots.sh
. tools/tarball.sh
reportwidth=24
. tools/steps.sh

die() { echo "release.sh: $*" >&2; exit 2; }

[ "$(id -u)" -eq 0 ] || die "needs root (the package is built in a Debian root: chroot, mount)"
git diff --quiet HEAD -- ||
  die "tracked files differ from HEAD; a release is made of the committed tree alone: commit or stash first"

version=$(git show HEAD:debian/changelog | sed -n '1s/^spumex (\([0-9][0-9.]*\)) .*/\1/p')
[ -n "$version" ] || die "debian/changelog at HEAD does not begin with \"spumex (VERSION)\""
commit=$(git rev-parse HEAD)
epoch=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH=$epoch

out=$top/build-release
logs=$out/logs
work=$out/work
rm -rf "$out"
mkdir -p "$logs" "$work"
echo "release.sh: spumex $version from commit ${commit:0:12} ($(git log -1 --format=%cI HEAD))"

trap 'leaveroot; exit 130' INT TERM
trap leaveroot EXIT

# step NAME LOG COMMAND...: runs a step (tools/steps.sh); a failure ends the release.
step() {
  runstep "$@" || exit 1
}

sized() { echo "$1 $(stat -c %s "$out/$1") bytes"; }

start=$SECONDS
needpackages debootstrap emscripten git gzip tar
command -v node >/dev/null 2>&1 || needpackages nodejs
if installmissing "$logs/packages.log" 2>/dev/null; then
  report packages "ok${installed[0]:+, installed ${#installed[@]}}" $((SECONDS - start))
else
  report packages FAIL $((SECONDS - start))
  tail -n 25 "$logs/packages.log"
  exit 1
fi

# The tree as committed: its entries in git's order, dated by the commit, owned by 0/0 with
# modes 0644 and 0755 whatever tar.umask says; the commit's id in the pax header.
sourcetarball() {
  local name=spumex-$version.tar.gz
  git -c tar.umask=0022 archive --format=tar --prefix="spumex-$version/" HEAD | gzip -9n >"$out/$name" &&
    what=$(sized "$name")
}
step "source tarball" "$logs/source.log" sourcetarball

# The site, built from the source tarball's own tree.
webbuild() {
  tar -C "$work" -xzf "$out/spumex-$version.tar.gz" && "$work/spumex-$version/web/build.sh"
  local status=$?
  cp "$work/spumex-$version/build-web/build.log" "$logs/web-build-emscripten.log" 2>/dev/null
  return "$status"
}
step "web build" "$logs/web-build.log" webbuild

site() {
  local name=spumex-web-$version.tar.gz
  filestarball "$work/spumex-$version/build-web/site" "spumex-web-$version" "$out/$name" "$epoch" &&
    what=$(sized "$name")
}
step "site tarball" "$logs/site.log" site

# The package from a fresh Debian 12 root that holds only its Build-Depends: built there, it
# depends on no newer library than Debian 12's. The root's path and the epoch are the same
# in every run.
debbuild() {
  local apt="DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends" deb
  newroot debian12-package || return 1
  inroot "apt-get update -q && $apt build-dep ./ &&
    SOURCE_DATE_EPOCH=$epoch DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc -b" || return 1
  deb=$(cd "$root/root" && ls spumex_"$version"_*.deb) || return 1
  cp "$root/root/$deb" "$out/" && cp "$root"/root/spumex_"$version"_*.buildinfo "$logs/" || return 1
  dropcurrent
  what=$(sized "$deb")
}
step "deb build (debian 12)" "$logs/deb-build.log" debbuild
deb=$(cd "$out" && ls spumex_"$version"_*.deb)

# The package on each Debian: lintian, apt install, autopkgtest, a start from the menu
# entry, purge (check-platforms.sh --deb); its line's findings follow "ok".
installcheck() {
  "$top/tools/check-platforms.sh" --deb "$out/$deb" "$1" || return 1
  what=$(tail -n 1 "$logs/$1.log" | sed -n 's/^[^ ]* *PASS  package [^ ]*  \(.*\)  (logs: .*/\1/p')
  what=${what#"$deb: "}
}
for p in debian12-package debian13-package debian-unstable-package; do
  step "$p" "$logs/$p.log" installcheck "$p"
done

sums() {
  (cd "$out" && sha256sum "spumex-$version.tar.gz" "spumex-web-$version.tar.gz" "$deb" >SHA256SUMS) &&
    what="$(wc -l <"$out/SHA256SUMS") files"
}
step SHA256SUMS "$logs/sums.log" sums
rm -rf "$work"
cat "$out/SHA256SUMS"
echo "release.sh: the release is in $out (the files SHA256SUMS lists)"
