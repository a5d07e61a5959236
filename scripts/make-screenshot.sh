#!/usr/bin/env bash
# Makes docs/screenshot.png: the editor as it opens with the demo project, on an X server of its
# own (tests/support/with-xvfb.sh), captured with ffmpeg's x11grab.
# Usage: scripts/make-screenshot.sh [SORVELLE_BINARY]   (default: the test build's)
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$(realpath "${1:-build/test/src/app/sorvelle}")
[[ -x "$binary" ]] || { echo "no editor at $binary: build it first" >&2; exit 1; }
if [[ -z "${DISPLAY:-}" ]]; then exec tests/support/with-xvfb.sh "$0" "$binary"; fi

work=$(mktemp -d)
app=""
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r demo/. "$work/"
(cd "$work" && ASAN_OPTIONS=detect_leaks=0 exec "$binary" lesson.txt) >"$work/app.log" 2>&1 &
app=$!
id=""
for _ in $(seq 300); do
  id=$(xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null | head -1 || true)
  [[ -n "$id" ]] && break
  sleep 0.1
done
[[ -n "$id" ]] || { echo "no window appeared"; cat "$work/app.log"; exit 1; }
# The project is opened once the window is up; decoding the demo takes well under this.
sleep 3
eval "$(xdotool getwindowgeometry --shell "$id")"
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" -i "$DISPLAY+$X,$Y" \
  -frames:v 1 -pix_fmt rgb24 "$work/shot.png"
mkdir -p docs
cp "$work/shot.png" docs/screenshot.png
echo "docs/screenshot.png: ${WIDTH}x${HEIGHT}"
