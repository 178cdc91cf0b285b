# Fresh minimal Debian roots for the platform checks and the release build, sourced by
# tools/check-platforms.sh and tools/release.sh. Needs root, debootstrap and Debian's
# package archive. A root is made with debootstrap --variant=minbase once per suite, kept as
# a tarball and unpacked afresh for each use, with the committed tree in /root/spumex.
#
# The sourcing script sets `me` (its name, for messages) and calls leaveroot on exit:
#   trap 'leaveroot; exit 130' INT TERM; trap leaveroot EXIT
#
# Environment: SPUMEX_PLATFORM_CACHE  where the minbase roots are kept as tarballs
#                                     (default /var/cache/spumex-platforms)
#              SPUMEX_PLATFORM_WORK   where roots are unpacked and logs are written
#                                     (default /var/tmp/spumex-platforms)
#              SPUMEX_MIRROR          Debian mirror (default: the one this machine's apt uses,
#                                     else debootstrap's own)
#              SPUMEX_KEEP_ROOTS=1    keep the unpacked roots after use

all_platforms=(debian12-sdl1.2.15 debian12-sdl12compat debian13 debian-unstable
  debian12-package debian13-package debian-unstable-package)
cache=${SPUMEX_PLATFORM_CACHE:-/var/cache/spumex-platforms}
workdir=${SPUMEX_PLATFORM_WORK:-/var/tmp/spumex-platforms}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

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
    echo "$me: making the $suite minbase root (debootstrap, a few minutes)" >&2
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

mounted=()   # mount points to undo, in the order they were made
root=""      # the root in use
rootdebs=""  # the folder where its suite's downloaded packages are kept

# keepdebs FROM TO: the .deb files of FROM that TO lacks, linked there (copied across file
# systems); each appears whole or not at all.
keepdebs() {
  local f
  for f in "$1"/*.deb; do
    [ -f "$f" ] && [ ! -e "$2/${f##*/}" ] || continue
    ln "$f" "$2/" 2>/dev/null || { cp "$f" "$2/.${f##*/}.part" && mv "$2/.${f##*/}.part" "$2/${f##*/}"; }
  done
}

# Ends what still runs inside the root (a program left by run.sh), then unmounts it.
leaveroot() {
  local p i
  if [ -n "$root" ]; then
    for p in /proc/[0-9]*; do
      [ "$p/root" -ef "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
    done
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null ||
      echo "$me: cannot unmount ${mounted[i]}" >&2
  done
  mounted=()
}

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
  # root still installs them itself, only the download is saved. Each root has its own
  # archive folder, which apt locks while it downloads (roots of other runs may be in use
  # at the same time): the kept packages go in before, the new ones come back after.
  rootdebs=$cache/$(suite_of "$p")-debs
  mkdir -p "$rootdebs"
  keepdebs "$rootdebs" "$root/var/cache/apt/archives"
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
  leaveroot
  [ -z "$root" ] || [ -z "$rootdebs" ] || keepdebs "$root/var/cache/apt/archives" "$rootdebs"
  [ "${SPUMEX_KEEP_ROOTS:-0}" = 1 ] || rm -rf "$root"
  root=""
}
