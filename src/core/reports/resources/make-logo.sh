#!/usr/bin/env bash
# Draws the application logo once (128x128, 8-bit RGBA); the PNG is committed.
# Needs ImageMagick's `convert`.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 128x128 gradient:'#0b74c4-#003d6a' \
    \( -size 128x128 xc:black -fill white -draw 'roundrectangle 0,0 127,127 28,28' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -draw 'polygon 34,28 50,28 50,100 34,100' \
    -fill white -draw 'polygon 50,62 84,28 104,28 62,68' \
    -fill '#f59e0b' -draw 'polygon 58,66 70,58 104,100 84,100' \
    -fill 'rgba(255,255,255,0.35)' -draw 'circle 98,40 98,34' \
    -define png:color-type=6 -depth 8 -strip PNG32:logo.png
