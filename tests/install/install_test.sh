#!/bin/sh
# Installs Spumex into a staging directory (DESTDIR) and checks every file that arrives there.
# Use: install_test.sh cmake builddir distdir
set -eu
[ $# -eq 3 ] || { echo "Use: install_test.sh cmake builddir distdir" >&2; exit 2; }
cmake=$1
build=$2
dist=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
need() {
  command -v "$1" >/dev/null 2>&1 || { echo "FAIL: $1 not found (package $2)" >&2; exit 1; }
}
need desktop-file-validate desktop-file-utils
need groff groff-base
need man man-db
need lexgrog man-db
need appstreamcli appstream
need Xvfb xvfb
need xwininfo x11-utils

app=io.github.spumex.spumex
work=$(mktemp -d)
root=$work/root
prefix=$root/usr
manifest=$build/install_manifest.txt
dirs=$build/install_directories.txt

# The staging install rewrites the build's install records; put back the ones
# a real install left there, so its uninstall keeps working.
for f in "$manifest" "$dirs"; do
  if [ -f "$f" ]; then cp -p "$f" "$work/$(basename "$f").saved"; fi
done
restore() {
  for f in "$manifest" "$dirs"; do
    if [ -f "$work/$(basename "$f").saved" ]; then cp -p "$work/$(basename "$f").saved" "$f"; else rm -f "$f"; fi
  done
  rm -rf "$work"
}
trap restore EXIT
rm -f "$dirs"

# A directory that was there before the install, and must stay after the uninstall.
mkdir -p "$root/usr/share"
if ! DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

# Exactly these files, nothing else (the icon renderer is not installed), with
# every picture the README shows where the installed README finds it.
{ cat <<EOF
usr/bin/spumex
usr/share/applications/$app.desktop
usr/share/doc/spumex/LICENSE
usr/share/doc/spumex/README.md
usr/share/icons/hicolor/256x256/apps/spumex.png
usr/share/icons/hicolor/48x48/apps/spumex.png
usr/share/man/man6/spumex.6
usr/share/metainfo/$app.metainfo.xml
EOF
  sed -n 's|.*](\(docs/[^)]*\)).*|usr/share/doc/spumex/\1|p' "$dist/../README.md"
} | LC_ALL=C sort -u >"$work/expected"
(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/found"
if ! cmp -s "$work/expected" "$work/found"; then
  fail "installed files differ from the expected list:"
  diff "$work/expected" "$work/found" >&2 || true
fi

# The manifest names the same files (as paths under the prefix, without
# DESTDIR), so uninstalling from it removes them all.
sed 's|^|/|' "$work/expected" >"$work/expectedmanifest"
{ cat "$manifest"; echo; } | sed '/^$/d' | LC_ALL=C sort >"$work/manifest"
manifestok=1
cmp -s "$work/expectedmanifest" "$work/manifest" || {
  manifestok=0
  fail "install_manifest.txt does not list exactly the installed files"
}

# Modes: the program runs for everyone, the data files are plain readable files.
mode() { stat -c %a "$1" 2>/dev/null || echo missing; }
[ "$(mode "$prefix/bin/spumex")" = 755 ] || fail "bin/spumex has mode $(mode "$prefix/bin/spumex"), not 755"
for f in share/applications/$app.desktop share/metainfo/$app.metainfo.xml share/icons/hicolor/48x48/apps/spumex.png \
         share/icons/hicolor/256x256/apps/spumex.png share/man/man6/spumex.6 share/doc/spumex/LICENSE share/doc/spumex/README.md; do
  [ "$(mode "$prefix/$f")" = 644 ] || fail "$f has mode $(mode "$prefix/$f"), not 644"
done
[ "$(od -An -c -N4 "$prefix/bin/spumex" 2>/dev/null | tr -d ' ')" = '177ELF' ] || fail "bin/spumex is not an executable file"

# Data files arrive unchanged.
cmp -s "$dist/$app.desktop" "$prefix/share/applications/$app.desktop" || fail "desktop entry differs from dist/$app.desktop"
cmp -s "$dist/$app.metainfo.xml" "$prefix/share/metainfo/$app.metainfo.xml" || fail "metadata differs from dist/$app.metainfo.xml"
for f in LICENSE README.md; do
  cmp -s "$dist/../$f" "$prefix/share/doc/spumex/$f" || fail "share/doc/spumex/$f differs from $f"
done
for f in $(sed -n 's|^usr/share/doc/spumex/||p' "$work/expected" | grep '^docs/'); do
  cmp -s "$dist/../$f" "$prefix/share/doc/spumex/$f" || fail "share/doc/spumex/$f differs from $f"
  [ "$(mode "$prefix/share/doc/spumex/$f")" = 644 ] || fail "share/doc/spumex/$f is not mode 644"
done
cmp -s "$dist/spumex.6" "$prefix/share/man/man6/spumex.6" || fail "manual page differs from dist/spumex.6"
for size in 48 256; do
  cmp -s "$dist/icons/$size/spumex.png" "$prefix/share/icons/hicolor/${size}x${size}/apps/spumex.png" ||
    fail "${size}x${size} icon differs from dist/icons/$size/spumex.png"
done

# Icons: PNG, 8-bit RGBA, of the size their directory names.
for size in 48 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/spumex.png
  [ -f "$png" ] || continue
  set -- $(od -An -tu1 -N26 "$png")
  signature="$1 $2 $3 $4 $5 $6 $7 $8"
  [ "$signature" = "137 80 78 71 13 10 26 10" ] || fail "${size}x${size} icon is not a PNG file"
  shift 16
  width=$(( ($1 << 24) | ($2 << 16) | ($3 << 8) | $4 ))
  height=$(( ($5 << 24) | ($6 << 16) | ($7 << 8) | $8 ))
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "${size}x${size} icon is ${width}x${height}"
  [ "$9" = 8 ] && [ "${10}" = 6 ] || fail "${size}x${size} icon is not 8-bit RGBA (depth $9, colour type ${10})"
done

# Desktop entry: valid without a single remark, and naming what was installed.
desktop=$prefix/share/applications/$app.desktop
if [ -f "$desktop" ]; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects the entry"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  for line in Type=Application Exec=spumex Icon=spumex Terminal=false 'Categories=Game;Amusement;'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
  done
  for key in Name Comment; do
    grep -qx "$key=..*" "$desktop" || fail "desktop entry lacks $key"
  done
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$prefix/bin/$exec" ] || fail "Exec=$exec names no installed program"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  for size in 48 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "Icon=$icon has no ${size}x${size} image"
  done
fi

# The menu entry ties to the window by its class: the installed program, started in a
# virtual X server, maps a window whose WM_CLASS class is the entry's StartupWMClass.
# windowclass PROGRAM prints that class; it waits up to 30 s in all.
windowclass() {
  # -noreset: SDL opens the display twice (a probe, then for good); a server that resets
  # when its last client leaves can refuse the second.
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 800x600x24 3>"$work/display" >/dev/null 2>"$work/xvfb.log" &
  xpid=$!
  n=300
  while [ ! -s "$work/display" ] && [ $n -gt 0 ]; do sleep 0.1; n=$((n - 1)); done
  display=:$(cat "$work/display")
  mkdir -p "$work/home"
  env -u SDL_VIDEODRIVER -u SDL_VIDEO_DRIVER DISPLAY="$display" HOME="$work/home" "$1" >"$work/program.log" 2>&1 &
  ppid=$!
  # xwininfo shows a top-level window's WM_CLASS as ("name" "class").
  class=""
  while [ -z "$class" ] && [ $n -gt 0 ] && kill -0 $ppid 2>/dev/null; do
    class=$(DISPLAY=$display xwininfo -root -children 2>/dev/null |
            sed -n 's/.*: ("[^"]*" "\([^"]*\)").*/\1/p' | head -n1)
    [ -n "$class" ] || { sleep 0.1; n=$((n - 1)); }
  done
  kill -KILL $ppid 2>/dev/null || true
  kill $xpid 2>/dev/null || true
  wait $ppid $xpid 2>/dev/null || true
  echo "$class"
}
if [ -f "$desktop" ] && [ -x "$prefix/bin/spumex" ]; then
  wmclass=$(sed -n 's/^StartupWMClass=//p' "$desktop")
  [ -n "$wmclass" ] || fail "desktop entry lacks StartupWMClass"
  class=$(windowclass "$prefix/bin/spumex")
  if [ -z "$class" ]; then
    tail -n 5 "$work/program.log" "$work/xvfb.log" >&2
    fail "the installed program showed no window with a WM_CLASS in Xvfb within 30 s"
  elif [ "$class" != "$wmclass" ]; then
    fail "window class is '$class', but the desktop entry says StartupWMClass=$wmclass"
  fi
fi

# AppStream metadata: valid for software centres, naming the installed menu entry and
# program, under the licence that LICENSE carries.
meta=$prefix/share/metainfo/$app.metainfo.xml
if [ -f "$meta" ]; then
  # Errors and warnings fail, but for the missing homepage (Spumex has no web page; only
  # AppStream 1.0 warns about that). Statuses differ between versions: the report decides.
  appstreamcli validate --no-net "$meta" >"$work/validate.log" 2>&1 || true
  appstreamcli validate-tree --no-net "$prefix" >>"$work/validate.log" 2>&1 || true
  if grep -E '^ *[EW]: ' "$work/validate.log" | grep -qv 'url-homepage-missing'; then
    cat "$work/validate.log" >&2
    fail "appstreamcli validate reports errors or warnings on the metadata"
  fi
  grep -q 'Validation was successful\|Validation failed' "$work/validate.log" || {
    cat "$work/validate.log" >&2
    fail "appstreamcli validate did not run"
  }
  tag() { sed -n "s|.*<$1[^>]*>\\(.*\\)</$1>.*|\\1|p" "$meta"; }
  [ "$(tag id)" = "$app" ] || fail "metadata id is '$(tag id)', not $app"
  [ "$(tag launchable)" = "$app.desktop" ] || fail "metadata launchable is '$(tag launchable)', not $app.desktop"
  [ -x "$prefix/bin/$(tag binary)" ] || fail "metadata names the binary '$(tag binary)', which is not installed"
  [ "$(tag project_license)" = MIT ] || fail "metadata licence is '$(tag project_license)', not MIT"
  case $(tag metadata_license) in FSFAP|CC0-1.0) ;; *) fail "metadata licence '$(tag metadata_license)' is neither FSFAP nor CC0-1.0" ;; esac
  grep -q '<content_rating type="oars-1.1"' "$meta" || fail "metadata has no OARS content rating"
  for key in c e f h m p r s x Escape; do
    grep -q "<li>$key: " "$meta" || fail "metadata key list lacks $key"
  done
fi
lic=$prefix/share/doc/spumex/LICENSE
if [ -f "$lic" ]; then
  [ "$(head -n1 "$lic")" = "MIT License" ] || fail "LICENSE is not the MIT licence"
  grep -qxF 'Copyright (c) 2026 the Spumex developers' "$lic" || fail "LICENSE lacks the copyright line"
fi

# Manual page: renders without a warning, has a whatis line and is found as man 6 spumex.
page=$prefix/share/man/man6/spumex.6
if [ -f "$page" ]; then
  out=$(groff -ww -z -man "$page" 2>&1) || fail "groff fails on the manual page"
  [ -z "$out" ] || fail "groff -ww: $out"
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt") || fail "man -l fails on the manual page"
  [ -z "$out" ] || fail "man -l: $out"
  grep -q 'spumex \[screenwidth\]' "$work/page.txt" || fail "manual page lacks the synopsis spumex [screenwidth]"
  for section in NAME SYNOPSIS DESCRIPTION KEYS MOUSE FILES 'EXIT STATUS' EXAMPLES; do
    grep -qx "$section" "$work/page.txt" || fail "manual page lacks the section $section"
  done
  grep -q '^\.TH SPUMEX 6 ' "$page" || fail "manual page title is not in section 6"
  lexgrog "$page" 2>/dev/null | grep -q '"spumex - ' || fail "manual page has no whatis line"
  found=$(man -M "$prefix/share/man" -w 6 spumex 2>/dev/null || true)
  [ "$found" = "$page" ] || fail "man 6 spumex finds '$found', not the installed page"
fi

# Uninstalling as the README says removes every installed file and every directory
# the install made, and nothing else; here each path is taken under the staging
# directory, never on the real system.
if [ "$manifestok" = 1 ]; then
  sed "s|^|$root|" "$work/manifest" | xargs -d '\n' rm -f --
  sed "s|^|$root|" "$dirs" | xargs -d '\n' rmdir --ignore-fail-on-non-empty --
  left=$(cd "$root" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
  [ "$left" = "./usr ./usr/share " ] || fail "left after uninstalling: $left(only usr and usr/share were there before)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install staging: all checks passed"
