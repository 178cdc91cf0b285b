# The same tarball from the same files, whenever and wherever it is made: sourced by
# tools/release.sh and test.sh.
#   filestarball DIR TOP OUT EPOCH
# packs the files under DIR as the folder TOP into OUT (.tar.gz): entries sorted by name,
# every time EPOCH (seconds since 1970), owner and group 0 by number, folders 0755, files 0644
# (a site's files are read, never run), gzip without name or time.
filestarball() {
  local dir=$1 top=$2 out=$3 epoch=$4 stage
  stage=$(mktemp -d) || return 1
  cp -R "$dir" "$stage/$top" &&
    find "$stage/$top" -type d -exec chmod 0755 {} + &&
    find "$stage/$top" -type f -exec chmod 0644 {} + &&
    tar -C "$stage" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
      -cf - "$top" | gzip -9n >"$out.part" &&
    mv "$out.part" "$out"
  local status=$?
  rm -rf "$stage" "$out.part"
  return "$status"
}
