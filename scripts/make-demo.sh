#!/usr/bin/env bash
# Regenerates demo/lesson.mp3: espeak-ng speaks each line of demo/lesson.txt, a pause follows
# every line, and lame encodes the whole as a small mono MP3 (MPEG-2 Layer III, 22050 Hz,
# 24 kbit/s, no tag frame).
# Usage: scripts/make-demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh packages-demo.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
parts=()
n=0
while IFS= read -r line || [[ -n "$line" ]]; do
  line=${line%$'\r'}
  [[ -z "$line" ]] && continue
  n=$((n + 1))
  espeak-ng -v en-us -s 125 -w "$work/line$n.wav" "$line"
  # Mono, 22050 Hz, with a pause of 0.3 s before and 1.2 s after the line.
  sox "$work/line$n.wav" -r 22050 -c 1 "$work/part$n.wav" pad 0.3 1.2
  parts+=("$work/part$n.wav")
done < demo/lesson.txt
sox "${parts[@]}" "$work/lesson.wav"
lame --quiet -t -m m -b 24 --resample 22050 "$work/lesson.wav" demo/lesson.mp3
echo "demo/lesson.mp3: $n lines, $(soxi -D "$work/lesson.wav") seconds, $(stat -c %s demo/lesson.mp3) bytes"
