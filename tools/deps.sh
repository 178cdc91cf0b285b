# Shared by run.sh and test.sh: install the Debian packages that are missing.
# Usage: . tools/deps.sh; needpackages pkg...; needsdl; installmissing [LOGFILE]

missing=()
installed=()   # what installmissing installed
updated=0

needpackages() {
  local p
  for p in "$@"; do
    [[ " ${missing[*]} " == *" $p "* ]] && continue   # named once however often it is needed
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
}

# SDL 1.2 may come from libsdl1.2-dev or from sdl12-compat; both provide pkg-config "sdl",
# so pkg-config is installed first (with what is missing so far) to ask it.
# Usage: needsdl [LOGFILE], LOGFILE as for installmissing.
needsdl() {
  if ! command -v pkg-config >/dev/null 2>&1; then
    needpackages pkg-config
    installmissing "${1:-}" || return 1
  fi
  pkg-config --exists sdl || needpackages libsdl1.2-dev
}

# The libFuzzer runtime of the installed clang (Debian keeps it apart from clang,
# which only recommends it).
needfuzzruntime() {
  local major
  major=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n1)
  [ -n "$major" ] || { echo "no clang found to match a fuzzer runtime to" >&2; return 1; }
  needpackages "libclang-rt-$major-dev"
}

# One package of several that carry the same program under names that differ between
# Debian releases: nothing if one is installed, else the first that apt can install
# (apt's lists are updated first when they know none of them).
needany() {
  local p pass
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 && return 0; done
  for pass in 1 2; do
    for p in "$@"; do
      # (apt-cache's output is taken whole: under pipefail, grep -q ending the pipe early
      # would make a found candidate count as none)
      [[ $(apt-cache policy "$p" 2>/dev/null) =~ Candidate:\ [^\(] ]] && { needpackages "$p"; return 0; }
    done
    [ "$pass" = 1 ] && [ "$updated" = 0 ] || break
    asroot apt-get update -q >/dev/null 2>&1 && updated=1
  done
  needpackages "$1"
}

asroot() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

# Installs what the need* calls found missing. With LOGFILE, apt's output goes there,
# and its tail to standard error only when the installation fails.
installmissing() {
  local log=${1:-}
  [ -n "$log" ] || log=/dev/stderr
  [ ${#missing[@]} -eq 0 ] && return 0
  mkdir -p "$(dirname "$log")"
  echo "Installing: ${missing[*]}" >&2
  if ! { { [ "$updated" = 1 ] || asroot apt-get update -q; } &&
         asroot env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; } \
       >>"$log" 2>&1; then
    [ "$log" = /dev/stderr ] || { tail -n 25 "$log" >&2; echo "the whole output is in $log" >&2; }
    echo "Installing ${missing[*]} failed" >&2
    return 1
  fi
  updated=1
  installed+=("${missing[@]}")
  missing=()
}
