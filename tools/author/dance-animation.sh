#!/bin/sh
# Renders docs/dance.png through the viewer's own pipeline: every frame the viewer shows
# (0 to 88), each at half size, as one animated PNG playing at 30 frames a second.
#   tools/author/dance-animation.sh [BUILD_DIR]      (default: build)
set -e
build=${1:-build}
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bin/quillmote-render" --all-frames -o "$tmp/frame-{frame}.png"
"$build/bin/quillmote-author" --animation "$root/docs/dance.png" "$tmp"/frame-*.png
echo "wrote $root/docs/dance.png"
