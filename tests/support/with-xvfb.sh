#!/usr/bin/env bash
# The one X server launcher of the tests: starts an Xvfb of its own on a display number the server
# picks free, runs COMMAND with DISPLAY set to it (and QT_QPA_PLATFORM=xcb), and stops the server
# however the command ends. The command's exit status is the script's.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
command -v Xvfb >/dev/null || { echo "Xvfb not found (package xvfb)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvelle-xvfb.XXXXXX")
xvfb=""
cleanup() {
  if [[ -n "$xvfb" ]] && kill -0 "$xvfb" 2>/dev/null; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd: the server writes its display number once it accepts clients. -noreset: a test
# that ends its last client (a killed program) and starts the next one must not meet a server
# in the middle of its reset, which refuses connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
[[ -s "$work/display" ]] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"
