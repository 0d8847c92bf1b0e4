#!/usr/bin/env bash
# Remakes res/bitmaps/145.bmp, the product picture (192 x 144, 256 colours):
# one frame of the tour rendered at twice the size, shrunk by 2 x 2 boxes and
# reduced to a median-cut palette. Run from the source tree after a build:
#   res/bitmaps/make-bitmap145.sh [build-dir]
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/src/scene/velmora3d-render" --out "$work" --size 384x288 --time 7000 --cam-mode 0 --speed 50
"$build/tools/velmora-quantise" --in "$work/frame-00000.png" --shrink 2 --out "$here/145.bmp"
echo "wrote $here/145.bmp"
