#!/usr/bin/env bash
# Starts the editor in a copy of the demo folder on the X server that tests/support/with-xvfb.sh
# started for it, and checks that the window "Sorvelle" appears with its client size of
# 859 x 747 and keeps running. The editor is stopped however the test ends.
# Usage: with-xvfb.sh window_under_x11.sh SORVELLE_BINARY DEMO_FOLDER
set -euo pipefail
binary=$1
demo=$2
[[ -n "${DISPLAY:-}" ]] || { echo "no DISPLAY: run under tests/support/with-xvfb.sh"; exit 1; }
work=$(mktemp -d)
app=""
cleanup() {
  [[ -n "$app" ]] && kill "$app" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/project"
cp -r "$demo/." "$work/project/"
(cd "$work/project" && QT_QPA_PLATFORM=xcb exec "$binary") >"$work/app.log" 2>&1 &
app=$!

id=""
for _ in $(seq 300); do
  id=$(xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null | head -1 || true)
  [[ -n "$id" ]] && break
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
[[ -n "$id" ]] || { echo "no window named Sorvelle appeared"; cat "$work/app.log"; exit 1; }
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry"
grep -q "Geometry: 859x747" <<<"$geometry" || { echo "unexpected window size"; exit 1; }
# Still there a second later: the start-up did not end the editor.
for _ in $(seq 10); do
  kill -0 "$app" 2>/dev/null || { echo "the editor ended by itself"; cat "$work/app.log"; exit 1; }
  sleep 0.1
done
# The copy of the demo is untouched by starting the editor.
diff -r "$demo" "$work/project" >/dev/null || { echo "the demo copy changed"; exit 1; }
echo "window ok"
