#!/bin/sh
# Draws the exported dance in f3d beside quillmote-render's frames and tiles them into
# docs/export-compare.png: top row f3d, bottom row quillmote, frames 0, 30 and 60 from the
# viewer's camera. Needs f3d, node and (without a display) xvfb-run: scripts/install-deps.
#   tools/export/compare-sheet.sh [BUILD_DIR]      (default: build)
set -e
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bin/quillmote-export" -o "$tmp/dance.gltf"
# The viewer's camera in the model's space (the model turned 1.5707965 about y, 2.5 units
# ahead of the eye, 0.6 below it); a 60-degree horizontal field of view over 640 x 480.
camera="--camera-position 2.5,0.6,-4.07e-07 --camera-focal-point 1.5,0.6,-2.44e-07 --camera-view-up 0,1,0"
camera="$camera --camera-view-angle 46.8264 --resolution 640,480 --bg-color 1,1,1"
run=""
[ -n "$DISPLAY" ] || run="xvfb-run -a -s '-screen 0 1024x768x24'"
ours="" theirs=""
for f in 0 30 60; do
  node "$root/tests/tools/gltf-pose.mjs" "$tmp/dance.gltf" "$(awk "BEGIN { print $f / 30 }")" "$tmp/posed-$f.gltf"
  eval "$run f3d \"$tmp/posed-$f.gltf\" $camera --output \"$tmp/f3d-$f.png\""
  "$build/bin/quillmote-render" --frame $f -o "$tmp/ours-$f.png"
  theirs="$theirs $tmp/f3d-$f.png"
  ours="$ours $tmp/ours-$f.png"
done
"$build/bin/quillmote-author" --sheet "$root/docs/export-compare.png" 3 $theirs $ours
echo "wrote $root/docs/export-compare.png"
