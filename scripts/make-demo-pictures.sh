#!/usr/bin/env bash
# Builds demo/lesson.ims, the demo project's picture archive: four small drawn JPEGs in the
# archive layout (format word 1, count, 500 sizes as little-endian int32, then the files back to
# back). Needs ImageMagick's convert (Debian package imagemagick).
# Usage: scripts/make-demo-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

jpeg=(-strip -quality 85)
convert -size 480x320 gradient:'#ffb347-#ffe9a8' \
  -fill '#ff7a00' -draw 'circle 240,250 240,180' \
  -fill '#3d6b35' -draw 'rectangle 0,260 480,320' "${jpeg[@]}" "$work/0-sunrise.jpg"
convert -size 480x320 xc:'#bfe3ff' \
  -fill '#c0392b' -draw 'polygon 140,150 240,70 340,150' \
  -fill '#f5deb3' -draw 'rectangle 160,150 320,280' \
  -fill '#6b4226' -draw 'rectangle 225,200 255,280' \
  -fill '#4a7d3b' -draw 'rectangle 0,280 480,320' "${jpeg[@]}" "$work/1-house.jpg"
convert -size 480x320 xc:'#eef7e8' \
  -fill '#7a4b24' -draw 'rectangle 225,170 255,300' \
  -fill '#2e8b57' -draw 'circle 240,130 240,50' "${jpeg[@]}" "$work/2-tree.jpg"
convert -size 480x320 gradient:'#87ceeb-#1e5fa8' \
  -stroke white -strokewidth 4 -fill none \
  -draw 'path "M 0,200 Q 60,170 120,200 T 240,200 T 360,200 T 480,200"' \
  -draw 'path "M 0,260 Q 60,230 120,260 T 240,260 T 360,260 T 480,260"' "${jpeg[@]}" "$work/3-sea.jpg"

le32() {
  local v=$1
  printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))"
  printf "\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"
}

pictures=("$work"/*.jpg)
out=demo/lesson.ims
{
  le32 1
  le32 "${#pictures[@]}"
  for p in "${pictures[@]}"; do le32 "$(stat -c %s "$p")"; done
  for ((i = ${#pictures[@]}; i < 500; i++)); do le32 0; done
  cat "${pictures[@]}"
} > "$out"
echo "$out: ${#pictures[@]} pictures, $(stat -c %s "$out") bytes"
