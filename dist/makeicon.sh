#!/bin/sh
# Renders the icons from the program's own ball sprites: dist/makeicon.sh [builddir]
# Builds spumex-icon in builddir (default: build), draws a pile of six balls and
# writes with ImageMagick the menu icons dist/icons/<size>/spumex.png (48 and 256
# pixels) and the web version's web/icon-192.png, web/icon-512.png (the 256 pile
# doubled, pixel for pixel) and web/icon-maskable.png (a smaller pile doubled, on
# the page's background, inside the circle that any mask shape keeps).
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
# pile SIZE OUT [IMAGEMAGICK-OPTIONS...]: the pile at SIZE pixels, the mask as its
# alpha channel, then the options, written without time stamps, so that equal
# sprites give equal files.
pile() {
  size=$1 out=$2
  shift 2
  "$build/spumex-icon" "$size" "$work/balls.ppm" "$work/mask.pgm"
  mkdir -p "$(dirname "$out")"
  "$convert" "$work/balls.ppm" "$work/mask.pgm" -alpha off -compose CopyOpacity -composite "$@" \
    -strip -define png:exclude-chunks=date,time "PNG32:$out"
  echo "wrote ${out#"$root"/}"
}
for size in 48 256; do pile "$size" "$here/icons/$size/spumex.png"; done
pile 192 "$root/web/icon-192.png"
pile 256 "$root/web/icon-512.png" -filter point -resize 200%
pile 144 "$root/web/icon-maskable.png" -filter point -resize 200% \
  -background '#202020' -compose Over -gravity center -extent 512x512
