#!/bin/sh
# Renders the contact sheet docs/contact-sheet.png through the viewer's own pipeline:
# frames 0, 11, ..., 88 at angles 0, then three turned views, tiled at half size.
#   tools/author/contact-sheet.sh [BUILD_DIR]      (default: build)
set -e
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
render="$build/bin/quillmote-render"
author="$build/bin/quillmote-author"
assets="--model $root/resources/assets/quillmote.model --motion $root/resources/assets/quillmote.motion"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
frames=""
for f in 0 11 22 33 44 55 66 77 88; do
  "$render" $assets --frame $f -o "$tmp/f$f.png"
  frames="$frames $tmp/f$f.png"
done
"$render" $assets --frame 0 --angle-y 0.35 -o "$tmp/t1.png"
"$render" $assets --frame 22 --angle-y -0.35 -o "$tmp/t2.png"
"$render" $assets --frame 33 --angle-x -0.3 -o "$tmp/t3.png"
"$author" --sheet "$root/docs/contact-sheet.png" 4 $frames "$tmp/t1.png" "$tmp/t2.png" "$tmp/t3.png"
echo "wrote $root/docs/contact-sheet.png"
