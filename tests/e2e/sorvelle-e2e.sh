#!/usr/bin/env bash
# The whole program as a user meets it: the X server that tests/support/with-xvfb.sh started for
# it, sorvelle started in a copy of the demo project, and xdotool for hands. Open through the real dialog (type the name, press
# Enter), two clicks in the waveform, "SetText", Save; then the bytes of the .pos and the texts
# are checked. Then a typed change, the window's close button, "Save changes?" answered with
# Cancel (the window stays) and then with Save (the change is on disk, the program ends with 0).
# Every process started here is ended on the way out.
# Every wait polls for what the user would see; X delivers the clicks and keys in order, so a
# click queued behind a running command is taken when the command ends.
# Usage: with-xvfb.sh sorvelle-e2e.sh SORVELLE CLOSE_REQUEST DEMO_DIR
set -euo pipefail
sorvelle=$(realpath "$1")
close_request=$(realpath "$2")
demo=$(realpath "$3")

source "$(dirname "$0")/e2e-common.sh"
e2e_need_display
e2e_need xdotool perl cmp od
for f in lesson.txt lesson.mp3; do
  [[ -f "$demo/$f" ]] || { echo "demo project incomplete: $demo/$f missing"; exit 1; }
done
e2e_work sorvelle-e2e

echo "X server on $DISPLAY"

mkdir "$work/project"
cp -r "$demo/." "$work/project/"
original_txr=""
[[ -f "$work/project/lesson.txr" ]] && original_txr="$work/original.txr" && cp "$work/project/lesson.txr" "$original_txr"
cp "$work/project/lesson.txt" "$work/original.txt"

# The program's own environment: a real X server, sanitizers on (leaks of the X and font
# libraries are not the program's and are not counted).
(
  cd "$work/project"
  unset QT_QPA_PLATFORM
  export QT_QPA_PLATFORM=xcb
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  exec "$sorvelle"
) >"$work/app.log" 2>&1 &
app_pid=$!


main=$(find_window '^Sorvelle$') || fail "the window did not appear"
eval "$(xdotool getwindowgeometry --shell "$main")"
echo "window $main: ${WIDTH}x${HEIGHT}"

# Open: the button at (8, 9, 73 x 25) inside the toolbar, which starts 1 pixel inside the window.
click "$main" 45 22
dialog=$(find_window '^Open$') || fail "the open dialog did not appear"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 60 "lesson.txt"
xdotool key Return
# A first Return may only close the name completer's list.
for attempt in 1 2 3; do
  for _ in $(seq 15); do xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 || break 2; sleep 0.2; done
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool key Return
done
xdotool search --onlyvisible --name '^Open$' >/dev/null 2>&1 && fail "the open dialog did not accept lesson.txt"
# Clicks that reach the window while the command still runs are dropped, and nothing outside the
# window shows when decoding has ended (only the waveform does): the one fixed wait.
sleep 2

# Two clicks in the waveform (SoundView at 1, 42; as wide as the window less the two bevels).
w=$((WIDTH - 2))
x1=200
x2=600
position() {  # the sample under local X: X / W * ViewSpan, truncated; ViewSpan 100000 at start
  awk -v x="$1" -v w="$w" 'BEGIN { v = x / w * 100000; f = v - int(v);
    if (f < 0.01 || f > 0.99) { print "ambiguous"; exit } printf "%d\n", int(v) }'
}
s1=$(position $x1)
s2=$(position $x2)
[[ "$s1" != ambiguous && "$s2" != ambiguous ]] || fail "pick other click positions for W=$w"
click "$main" $((1 + x1)) 82
click "$main" $((1 + x2)) 82
# "SetText" at (546, 124, 73 x 25) in the top panel; the caret is on line 0 after Open.
click "$main" 582 136
# Save at (88, 9, 75 x 25) in the toolbar.
click "$main" 126 22
for _ in $(seq 100); do [[ -f "$work/project/lesson.pos" ]] && break; sleep 0.2; done
[[ -f "$work/project/lesson.pos" ]] || fail "Save wrote no lesson.pos"

le32() {  # little-endian int32 as raw bytes
  local v=$(( $1 & 0xFFFFFFFF ))
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) $(((v >> 16) & 255)) $(((v >> 24) & 255)))"
}
{
  le32 500
  le32 1
  le32 "$s1"
  le32 "$s2"
  head -c $((12004 - 16)) /dev/zero
} >"$work/expected.pos"
if ! cmp "$work/expected.pos" "$work/project/lesson.pos"; then
  echo "expected record 0: 1 $s1 $s2; written:"
  od -A d -t d4 -N 32 "$work/project/lesson.pos"
  fail ".pos bytes differ"
fi
echo "lesson.pos: 12004 bytes, record 0 = 1, $s1, $s2"

crlf() { perl -0777 -pe 's/\r\n|\r|\n/\r\n/g' "$1"; }
crlf "$work/original.txt" >"$work/expected.txt"
cmp "$work/expected.txt" "$work/project/lesson.txt" || fail "lesson.txt changed beyond its line breaks"
if [[ -n "$original_txr" ]]; then
  crlf "$original_txr" >"$work/expected.txr"
  cmp "$work/expected.txr" "$work/project/lesson.txr" || fail "lesson.txr changed beyond its line breaks"
fi
echo "texts unchanged but for CR LF"

# A change the user does not save: type into the text (Memo1, below the top panel).
click "$main" 420 200
xdotool type --delay 60 "Extra "

# The close button: "Save changes?" answered with Cancel keeps the window and the files.
"$close_request" "$main"
question=$(find_window '^Sorvelle$' "$main") || fail "no \"Save changes?\" question"
xdotool windowfocus --sync "$question"
xdotool key Escape
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null | grep -qx "$question" || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null | grep -qx "$question" && fail "Escape left the question open"
kill -0 "$app_pid" 2>/dev/null || fail "Cancel closed the program"
cmp "$work/expected.txt" "$work/project/lesson.txt" || fail "Cancel wrote the text"

# Again, answered with Save (the default button).
"$close_request" "$main"
question=$(find_window '^Sorvelle$' "$main") || fail "no \"Save changes?\" question the second time"
xdotool windowfocus --sync "$question"
xdotool key Return
status=0
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app_pid" 2>/dev/null && fail "the window did not close after Save"
wait "$app_pid" || status=$?
app_pid=""
[[ $status -eq 0 ]] || fail "sorvelle ended with status $status"
grep -q 'ERROR: AddressSanitizer\|runtime error:' "$work/app.log" && fail "sanitizer report"

[[ $(grep -o 'Extra ' "$work/project/lesson.txt" | wc -l) -eq 1 ]] || fail "the typed change was not saved"
perl -0777 -pe 's/Extra //' "$work/project/lesson.txt" >"$work/without-change.txt"
cmp "$work/expected.txt" "$work/without-change.txt" || fail "saving on close changed more than the typed text"
cmp "$work/expected.pos" "$work/project/lesson.pos" || fail "saving on close changed the .pos"
echo "PASS"
