# Shared by run.sh and test.sh: install the Debian packages that are missing.
# Usage: . tools/deps.sh; needpackages pkg...; needsdl

missing=()

needpackages() {
  local p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
}

# SDL 1.2 may come from libsdl1.2-dev or from sdl12-compat; both provide pkg-config "sdl".
needsdl() {
  command -v pkg-config >/dev/null 2>&1 && pkg-config --exists sdl && return 0
  needpackages pkg-config libsdl1.2-dev
}

installmissing() {
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  missing=()
}
