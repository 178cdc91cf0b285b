#!/bin/sh
# Renders the menu icons from the program's own ball sprites: dist/makeicon.sh [builddir]
# Builds spumex-icon in builddir (default: build), draws a pile of six balls at
# 48 and 256 pixels and writes dist/icons/<size>/spumex.png with ImageMagick.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build}
convert=/usr/bin/convert

[ -x "$convert" ] || { echo "makeicon.sh: $convert not found (package imagemagick)" >&2; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target spumex-icon -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 48 256; do
  "$build/spumex-icon" "$size" "$work/balls.ppm" "$work/mask.pgm"
  mkdir -p "$here/icons/$size"
  # The mask becomes the alpha channel; no time stamps, so equal sprites give equal files.
  "$convert" "$work/balls.ppm" "$work/mask.pgm" -alpha off -compose CopyOpacity -composite \
    -strip -define png:exclude-chunks=date,time "PNG32:$here/icons/$size/spumex.png"
  echo "wrote dist/icons/$size/spumex.png"
done
