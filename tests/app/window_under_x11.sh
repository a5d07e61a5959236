#!/usr/bin/env bash
# Starts the editor in a copy of the demo folder under an X server of its own (Xvfb) and checks
# that the window "Sorvelle" appears with its client size of 859 x 747 and keeps running. The X
# server and the editor are stopped however the test ends.
# Usage: window_under_x11.sh SORVELLE_BINARY DEMO_FOLDER
set -euo pipefail
binary=$1
demo=$2
work=$(mktemp -d)
app=""
xvfb=""
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

mkdir "$work/project"
cp -r "$demo/." "$work/project/"
(cd "$work/project" && QT_QPA_PLATFORM=xcb exec "$binary") >"$work/app.log" 2>&1 &
app=$!

id=""
for _ in $(seq 150); do
  id=$(xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null | head -1 || true)
  [[ -n "$id" ]] && break
  sleep 0.2
done
[[ -n "$id" ]] || { echo "no window named Sorvelle appeared"; cat "$work/app.log"; exit 1; }
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry"
grep -q "Geometry: 859x747" <<<"$geometry" || { echo "unexpected window size"; exit 1; }
sleep 1
kill -0 "$app" || { echo "the editor ended by itself"; cat "$work/app.log"; exit 1; }
# The copy of the demo is untouched by starting the editor.
diff -r "$demo" "$work/project" >/dev/null || { echo "the demo copy changed"; exit 1; }
echo "window ok"
