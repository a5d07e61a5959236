#!/usr/bin/env bash
# Makes docs/screenshot.png: the editor as it opens with the demo project, on an X server of its
# own (tests/support/with-xvfb.sh), captured with ffmpeg's x11grab.
# Usage: scripts/make-screenshot.sh [SORVELLE_BINARY]   (default: the test build's)
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$(realpath "${1:-build/test/src/app/sorvelle}")
[[ -x "$binary" ]] || { echo "no editor at $binary: build it first" >&2; exit 1; }
if [[ -z "${DISPLAY:-}" ]]; then exec tests/support/with-xvfb.sh "$0" "$binary"; fi

source tests/e2e/e2e-common.sh
e2e_need xdotool ffmpeg
e2e_work sorvelle-screenshot
cp -r demo/. "$work/"
(cd "$work" && ASAN_OPTIONS=detect_leaks=0 exec "$binary" lesson.txt) >"$work/app.log" 2>&1 &
app_pid=$!
id=$(find_window '^Sorvelle$') || fail "no window appeared"
# The project is opened once the window is up; decoding the demo takes well under this.
sleep 3
eval "$(xdotool getwindowgeometry --shell "$id")"
ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" -i "$DISPLAY+$X,$Y" \
  -frames:v 1 -pix_fmt rgb24 "$work/shot.png"
mkdir -p docs
cp "$work/shot.png" docs/screenshot.png
echo "docs/screenshot.png: ${WIDTH}x${HEIGHT}"
