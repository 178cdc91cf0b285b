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

# Installs what the need* calls found missing. With LOGFILE, apt's output goes there,
# and its tail to standard error only when the installation fails.
installmissing() {
  local log=${1:-}
  [ -n "$log" ] || log=/dev/stderr
  [ ${#missing[@]} -eq 0 ] && return 0
  mkdir -p "$(dirname "$log")"
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! { { [ "$updated" = 1 ] || $sudo apt-get update -q; } &&
         DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; } \
       >>"$log" 2>&1; then
    [ "$log" = /dev/stderr ] || { tail -n 25 "$log" >&2; echo "the whole output is in $log" >&2; }
    echo "Installing ${missing[*]} failed" >&2
    return 1
  fi
  updated=1
  installed+=("${missing[@]}")
  missing=()
}
