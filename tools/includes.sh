#!/usr/bin/env bash
# Include layering of the program's folders: prints which folder includes
# which, and fails on a circle (between folders or between files), on a folder
# other than app/ including app/app.h, and on a leaf header including more
# than other leaves. The leaves are the headers of app/ other than app.h
# (app/state.h): every folder may include them, so each counts as a node of
# its own rather than as part of app.
# Use: tools/includes.sh
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(app gfx sim background presets demos support)

# The node a file belongs to: its folder, or the file itself for a leaf.
node() {
  case "$1" in
    app/app.h | app/*.cpp) echo app ;;
    app/*.h) echo "$1" ;;
    *) echo "${1%%/*}" ;;
  esac
}

fileedges=""
nodeedges=""
bad=0
while IFS= read -r file; do
  from=$(node "$file")
  while IFS= read -r target; do
    [ -f "$target" ] || continue   # headers from outside the program
    to=$(node "$target")
    fileedges+="$file $target"$'\n'
    [ "$from" = "$to" ] || nodeedges+="$from $to"$'\n'
    if [ "$target" = app/app.h ] && [ "$from" != app ]; then
      echo "includes.sh: $file includes app/app.h; include app/state.h instead" >&2
      bad=1
    fi
    case "$from" in
      app/*.h) case "$to" in
        app/*.h) ;;
        *) echo "includes.sh: leaf $file includes $target" >&2; bad=1 ;;
      esac ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "${folders[@]}" -name '*.h' -o -name '*.cpp' | sort)

# tsort reports a circle as a loop on standard error.
for kind in file folder; do
  if [ "$kind" = file ]; then edges=$fileedges; else edges=$nodeedges; fi
  if ! loops=$(printf '%s' "$edges" | sort -u | tsort 2>&1 >/dev/null); then
    echo "includes.sh: circle between ${kind}s:" >&2
    printf '%s\n' "$loops" | sed -e 's/^tsort: -: input contains a loop:/  loop:/' -e 's/^tsort: /    /' >&2
    bad=1
  fi
done

echo "folder graph (a -> what a includes):"
nodes=$( (printf '%s' "$nodeedges" | tr ' ' '\n'; printf '%s\n' "${folders[@]}") | grep -v '^$' | sort -u)
for n in $nodes; do
  outs=$(printf '%s' "$nodeedges" | awk -v n="$n" '$1 == n { print $2 }' | sort -u | tr '\n' ' ')
  printf '  %-12s -> %s\n' "$n" "${outs:-(nothing)}"
done
echo "an order with every includer above what it includes:"
printf '%s' "$nodeedges" | sort -u | tsort 2>/dev/null | sed 's/^/  /' || true

if [ "$bad" -ne 0 ]; then
  echo "includes.sh: FAILED" >&2
  exit 1
fi
echo "no circle; app/app.h included only from app"
