#!/bin/sh
# Prints the share link of a preset file, so that a scene stored on the desktop
# opens in the web version: tools/scenelink.sh FILE [ADDRESS]
# ADDRESS is the web version's page (default: http://127.0.0.1:8000/, where
# ./run.sh --web serves it). The file is read as the program reads a preset:
# its first 65,535 bytes, up to a zero byte. Needs node.
set -eu
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "Use: tools/scenelink.sh FILE [ADDRESS]" >&2; exit 2; }
command -v node >/dev/null 2>&1 || { echo "scenelink.sh: needs node (Debian: apt-get install nodejs)" >&2; exit 1; }
exec node -e '
const { readFileSync } = require("node:fs");
const { deflateRawSync } = require("node:zlib");
const [file, address] = process.argv.slice(1);
let text;
try {
  text = readFileSync(file).subarray(0, 65535);
} catch (e) {
  console.error(`scenelink.sh: cannot read ${file}: ${e.message}`);
  process.exit(1);
}
const zero = text.indexOf(0);
if (zero >= 0) text = text.subarray(0, zero);
const code = deflateRawSync(text, { level: 9 }).toString("base64").replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
console.log(address.split("#")[0] + "#scene=" + code);
' "$1" "${2:-http://127.0.0.1:8000/}"
