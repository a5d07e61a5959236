#!/usr/bin/env bash
# How sorvelle starts: --version and its usage errors without a display; then, in Xvfb, the
# desktop entry's own command (the program goes to the home folder and opens the file it is
# given), a relative FILE.txt, and a FILE.txt that does not exist (the message "Open" would show).
# Every process started here is ended on the way out.
# Usage: sorvelle-start.sh SORVELLE CLOSE_REQUEST DEMO_DIR DESKTOP_ENTRY VERSION
set -euo pipefail
sorvelle=$(realpath "$1")
close_request=$(realpath "$2")
demo=$(realpath "$3")
entry=$(realpath "$4")
version=$5

source "$(dirname "$0")/e2e-common.sh"
e2e_need Xvfb xdotool cmp
e2e_work sorvelle-start

# Without a display: the version, and usage errors that start no window (a window would run on
# offscreen until the timeout).
printed=$(timeout 30 "$sorvelle" --version 2>&1 || true)
[[ "$printed" == "sorvelle $version" ]] || fail "--version printed: $printed"
for args in "-style fusion" "-geometry 100x100" "a.txt b.txt"; do
  status=0
  # shellcheck disable=SC2086 # the words are the arguments
  timeout 30 "$sorvelle" $args >"$work/out" 2>"$work/err" || status=$?
  [[ $status -eq 2 ]] || fail "sorvelle $args ended with $status, not 2"
  [[ ! -s "$work/out" && $(wc -l <"$work/err") -eq 1 ]] || fail "sorvelle $args: $(cat "$work/err")"
done
echo "--version and usage errors: fine"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
extra_pids=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.2; done
[[ -s "$work/display" ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

start() {  # FOLDER COMMAND... : runs the program in FOLDER with a home of its own
  local folder=$1
  shift
  (
    cd "$folder"
    export HOME="$work/home" QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    exec "$@"
  ) >"$work/app.log" 2>&1 &
  app_pid=$!
}
wait_for_size() {  # FILE BYTES
  for _ in $(seq 150); do
    [[ -f "$1" && $(stat -c %s "$1") -eq $2 ]] && return 0
    sleep 0.2
  done
  return 1
}
close_window() {  # WINDOW: the close button; nothing was changed, so nothing is asked
  "$close_request" "$1"
  local status=0
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app_pid" 2>/dev/null && fail "the window did not close"
  wait "$app_pid" || status=$?
  app_pid=""
  [[ $status -eq 0 ]] || fail "sorvelle ended with status $status"
}

mkdir -p "$work/home" "$work/elsewhere" "$work/project" "$work/relative"
for folder in project relative; do
  cp "$demo/lesson.txt" "$demo/lesson.mp3" "$work/$folder/"
done

# The menu's command, as a launcher runs it: the Exec line with %f the chosen file.
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[[ "$exec_line" == "sorvelle "*"%f" ]] || fail "unexpected Exec line: $exec_line"
read -r -a words <<<"${exec_line//%f/$work/project/lesson.txt}"
words[0]=$sorvelle
start "$work/elsewhere" "${words[@]}"
main=$(find_window '^Sorvelle$') || fail "the window did not appear for: ${words[*]}"
[[ $(readlink "/proc/$app_pid/cwd") == "$work/home" ]] || fail "started in $(readlink "/proc/$app_pid/cwd")"
# Open creates the missing archive; Save (88, 9, 75 x 25 in the toolbar) writes the segment table.
wait_for_size "$work/project/lesson.ims" 2008 || fail "the project was not opened (no lesson.ims)"
sleep 1
xdotool mousemove --window "$main" 126 22 click 1
wait_for_size "$work/project/lesson.pos" 12004 || fail "Save wrote no lesson.pos: the project is not the one given"
close_window "$main"
echo "desktop entry: home folder, project opened"

start "$work/relative" "$sorvelle" lesson.txt
main=$(find_window '^Sorvelle$') || fail "the window did not appear for a relative name"
wait_for_size "$work/relative/lesson.ims" 2008 || fail "lesson.txt in the starting folder was not opened"
[[ $(readlink "/proc/$app_pid/cwd") == "$work/relative" ]] || fail "without --home-folder the folder changed"
close_window "$main"
echo "relative name: opened"

start "$work/elsewhere" "$sorvelle" "$work/missing/lesson.txt"
main=$(find_window '^Sorvelle$') || fail "the window did not appear for a missing file"
find_window '^Sorvelle$' "$main" >/dev/null || fail "no message for a file that does not exist"
[[ ! -e "$work/missing" ]] || fail "a missing project created files"
echo "missing file: message shown"
echo "PASS"
