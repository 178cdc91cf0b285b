# Sourced by bench/fps.sh and bench/webfps.sh: needbuild DIR stops the script
# with a message in its name when a file they run from the native build is
# missing from DIR.
needbuild() {
  local f
  for f in spumex spumex-bench spumex-ceiling spumex-firstframe.so; do
    if [ ! -e "$1/$f" ]; then
      echo "$(basename "$0"): $1/$f is missing; build first: cmake -S . -B build && cmake --build build" >&2
      exit 1
    fi
  done
}
