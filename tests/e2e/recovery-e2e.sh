#!/usr/bin/env bash
# Unsaved work survives a kill and a SIGTERM, in the real program under the X server that
# tests/support/with-xvfb.sh started, with xdotool for hands and a data folder of its own.
#  1. sorvelle lesson.txt; a segment for line 0 (two clicks in the waveform, "SetText") and a
#     typed word; once a snapshot holds them, SIGKILL. The project's folder is as it was.
#  2. sorvelle lesson.txt again: the question comes, Return (its default) restores the work;
#     closing the window and Return at "Save changes?" saves exactly that work.
#  3. A typed word, a close request, and SIGTERM while "Save changes?" is on screen (no timer has
#     run; the signal comes inside the question's own event loop): the program ends as SIGTERM
#     asks, with a snapshot written on the way; the next start restores it, and it is saved.
# No fixed waits: every step polls for what the window shows.
# Every process started here is ended on the way out.
# Usage: with-xvfb.sh recovery-e2e.sh SORVELLE CLOSE_REQUEST DEMO_DIR
set -euo pipefail
sorvelle=$(realpath "$1")
close_request=$(realpath "$2")
demo=$(realpath "$3")

source "$(dirname "$0")/e2e-common.sh"
e2e_need_display
e2e_need xdotool perl cmp flock
e2e_work sorvelle-recovery

mkdir "$work/project"
cp -r "$demo/." "$work/project/"
rm -f "$work/project/lesson.pos"
recovery="$XDG_DATA_HOME/Sorvelle/recovery"

start() {  # INTERVAL_MS
  (
    cd "$work/project"
    export QT_QPA_PLATFORM=xcb
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export SORVELLE_RECOVERY_INTERVAL_MS="$1"
    exec "$sorvelle" lesson.txt
  ) >>"$work/app.log" 2>&1 &
  app_pid=$!
}

# The main window, not a question in front of it: the one of the designed width.
wait_for_window() {
  main=""
  for _ in $(seq 150); do
    for id in $(xdotool search --onlyvisible --name '^Sorvelle$' 2>/dev/null || true); do
      eval "$(xdotool getwindowgeometry --shell "$id")"
      [[ $WIDTH -ge 800 ]] && main=$id
    done
    [[ -n "$main" ]] && return 0
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
  done
  fail "the window did not appear"
}
wait_gone() {  # WINDOW_ID
  for _ in $(seq 150); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.2
  done
  fail "window $1 stayed on screen"
}
# The window takes clicks once the open command has ended (input that comes while a command runs
# is dropped): "Open" is clicked until its dialog shows, which Escape then cancels.
wait_until_idle() {
  local dialog
  for _ in $(seq 60); do
    click "$main" 45 22
    if dialog=$(find_window '^Open$' "" 10); then
      xdotool windowfocus --sync "$dialog"
      xdotool key Escape
      wait_gone "$dialog"
      return 0
    fi
    kill -0 "$app_pid" 2>/dev/null || break
  done
  fail "the window never took a click"
}
# True when a snapshot holds TEXT (texts are kept as UTF-16 LE).
snapshot_holds() {  # TEXT
  local file
  for file in "$recovery"/*.snapshot; do
    [[ -f "$file" ]] || continue
    perl -e 'my $n = join("", map { $_ . "\0" } split(//, $ARGV[0]));
      open(my $f, "<:raw", $ARGV[1]) or exit 1; local $/; my $b = <$f>; exit(index($b, $n) < 0 ? 1 : 0)' \
      "$1" "$file" && return 0
  done
  return 1
}
# Return on the question in front of the main window.
answer_default() {  # WHAT
  local question
  question=$(find_window '^Sorvelle$' "$main") || fail "no question: $1"
  xdotool windowfocus --sync "$question"
  xdotool key Return
  wait_gone "$question"
}
# Asks the window to close until "Save changes?" shows (a request that comes while a command
# still runs is dropped); leaves the question's id in $question.
request_close() {
  for _ in $(seq 60); do
    "$close_request" "$main"
    question=$(find_window '^Sorvelle$' "$main" 10) && return 0
    kill -0 "$app_pid" 2>/dev/null || break
  done
  fail "no \"Save changes?\" after a close request"
}
# Closes the window, answers "Save changes?" with its default (Save), and expects exit status 0.
close_and_save() {
  request_close
  xdotool windowfocus --sync "$question"
  xdotool key Return
  local status=0
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
  wait "$app_pid" || status=$?
  app_pid=""
  [[ $status -eq 0 ]] || fail "sorvelle ended with status $status after Save"
}
le32() {
  local v=$(( $1 & 0xFFFFFFFF ))
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) $(((v >> 16) & 255)) $(((v >> 24) & 255)))"
}
crlf() { perl -0777 -pe 's/\r\n|\r|\n/\r\n/g' "$1"; }
folder_state() { (cd "$work/project" && ls -A && md5sum -- *); }

echo "X server on $DISPLAY"

# 1. Work, a snapshot, a kill.
start 200
wait_for_window
wait_until_idle
eval "$(xdotool getwindowgeometry --shell "$main")"
w=$((WIDTH - 2))
position() {  # the sample under local X: X / W * ViewSpan, truncated; ViewSpan 100000 at start
  awk -v x="$1" -v w="$w" 'BEGIN { v = x / w * 100000; f = v - int(v);
    if (f < 0.01 || f > 0.99) { print "ambiguous"; exit } printf "%d\n", int(v) }'
}
s1=$(position 200)
s2=$(position 600)
[[ "$s1" != ambiguous && "$s2" != ambiguous ]] || fail "pick other click positions for W=$w"
folder_state >"$work/before-kill"
click "$main" 201 82
click "$main" 601 82
click "$main" 582 136
click "$main" 420 300
xdotool key ctrl+End
xdotool type --delay 40 "recovered"
for _ in $(seq 100); do snapshot_holds "recovered" && break; sleep 0.2; done
snapshot_holds "recovered" || fail "no snapshot holds the typed word"
kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
folder_state | cmp - "$work/before-kill" || fail "the project's folder changed without a save"
echo "killed with a snapshot of the work; the project's folder is as it was"

# 2. The next start offers the work; the default answer restores it.
start 200
wait_for_window
answer_default "Unsaved work ... Restore it?"
close_and_save
{ crlf "$demo/lesson.txt"; printf 'recovered'; } >"$work/expected.txt"
cmp "$work/expected.txt" "$work/project/lesson.txt" || fail "the restored text was not what was typed"
crlf "$demo/lesson.txr" | cmp - "$work/project/lesson.txr" || fail "the second text was not restored as it was"
{
  le32 500
  le32 1
  le32 "$s1"
  le32 "$s2"
  head -c $((12004 - 16)) /dev/zero
} >"$work/expected.pos"
cmp "$work/expected.pos" "$work/project/lesson.pos" || fail "the restored segment was not the one marked"
ls "$recovery"/*.snapshot >/dev/null 2>&1 && fail "the snapshot stayed after Save"
echo "restored with Return and saved: record 0 = 1, $s1, $s2"

# 3. SIGTERM in the middle of unsaved work, long before any timer.
start 600000
wait_for_window
wait_until_idle
click "$main" 420 300
xdotool key ctrl+End
xdotool type --delay 40 " signalled"
# "Save changes?" shows once the typed keys are taken; the signal comes while it waits.
request_close
status=0
kill -TERM "$app_pid"
wait "$app_pid" || status=$?
app_pid=""
[[ $status -eq 143 ]] || fail "SIGTERM at \"Save changes?\" ended sorvelle with status $status, not 143"
snapshot_holds "recovered signalled" || fail "SIGTERM left no snapshot of the work"
cmp "$work/expected.txt" "$work/project/lesson.txt" || fail "SIGTERM wrote the text"
start 600000
wait_for_window
answer_default "Unsaved work ... Restore it?"
close_and_save
{ crlf "$demo/lesson.txt"; printf 'recovered signalled'; } >"$work/expected.txt"
cmp "$work/expected.txt" "$work/project/lesson.txt" || fail "the work of the SIGTERM run was not restored"
grep -q 'ERROR: AddressSanitizer\|runtime error:' "$work/app.log" && fail "sanitizer report"
echo "PASS"
