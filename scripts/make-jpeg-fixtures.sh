#!/usr/bin/env bash
# Regenerates the small JPEG files the picture tests decode (tests/fixtures/jpeg).
# Needs ImageMagick's convert (Debian package imagemagick). Usage: scripts/make-jpeg-fixtures.sh
set -euo pipefail
cd "$(dirname "$0")/../tests/fixtures/jpeg"
strip=(-strip -quality 95 -sampling-factor 1x1)
convert -size 60x40 xc:'#ff0000' "${strip[@]}" red.jpg
convert -size 60x40 xc:'#00ff00' "${strip[@]}" green.jpg
convert -size 60x40 xc:'#0000ff' "${strip[@]}" blue.jpg
convert -size 48x48 xc:'#808080' -colorspace Gray "${strip[@]}" gray.jpg
convert -size 64x48 xc:'#ffff00' "${strip[@]}" -interlace Plane progressive.jpg
convert -size 32x32 xc:'#ff0000' -colorspace CMYK "${strip[@]}" cmyk.jpg
# 640 x 480: large enough that libjpeg scales it down for the strips.
convert -size 640x480 gradient:'#202080-#e0e040' "${strip[@]}" -quality 80 gradient.jpg
# Not JPEG at all, and a JPEG cut off inside its header.
printf 'This is a text file that someone named .jpg\n' > not-a-jpeg.jpg
head -c 20 red.jpg > cut-header.jpg
