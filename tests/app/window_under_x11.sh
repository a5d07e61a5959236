#!/usr/bin/env bash
# Starts the editor in a copy of the demo folder on the X server that tests/support/with-xvfb.sh
# started for it, and checks that the window "Sorvelle" appears with its client size of
# 859 x 747 and keeps running. The editor is stopped however the test ends.
# Usage: with-xvfb.sh window_under_x11.sh SORVELLE_BINARY DEMO_FOLDER
set -euo pipefail
binary=$1
demo=$2
source "$(dirname "$0")/../e2e/e2e-common.sh"
e2e_need_display
e2e_need xdotool
e2e_work sorvelle-window

mkdir "$work/project"
cp -r "$demo/." "$work/project/"
(cd "$work/project" && QT_QPA_PLATFORM=xcb exec "$binary") >"$work/app.log" 2>&1 &
app_pid=$!

id=$(find_window '^Sorvelle$') || fail "no window named Sorvelle appeared"
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry"
grep -q "Geometry: 859x747" <<<"$geometry" || fail "unexpected window size"
# Still there a second later: the start-up did not end the editor.
for _ in $(seq 10); do
  kill -0 "$app_pid" 2>/dev/null || fail "the editor ended by itself"
  sleep 0.1
done
# The copy of the demo is untouched by starting the editor.
diff -r "$demo" "$work/project" >/dev/null || fail "the demo copy changed"
echo "window ok"
