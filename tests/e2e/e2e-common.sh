# Shared by the end-to-end scripts, sourced after `set -euo pipefail`: a work folder of their own,
# ending every process they started, and waiting for windows as a user would. A script sets
# app_pid when it starts the program and adds any other process it starts to extra_pids.
app_pid=""
extra_pids=""

# Fails at once, saying so, when a tool the script needs is missing.
e2e_need() {  # TOOL...
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/packages-test.txt)"; exit 1; }
  done
}

# Fails at once when the script was not started under tests/support/with-xvfb.sh.
e2e_need_display() {
  [[ -n "${DISPLAY:-}" ]] || { echo "no DISPLAY: run under tests/support/with-xvfb.sh"; exit 1; }
}

# Makes $work and removes it on the way out, with everything started in it.
e2e_work() {  # NAME
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  # The program keeps its recovery files (a lock per open project) in the user's data folder: this one.
  export XDG_DATA_HOME="$work/data"
  trap e2e_cleanup EXIT
}

# Asks a process to end, and kills it when it does not within two seconds.
e2e_stop() {  # PID
  if kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$1" 2>/dev/null || break; sleep 0.2; done
    kill -9 "$1" 2>/dev/null || true
  fi
}

e2e_cleanup() {
  local rc=$?
  for pid in $app_pid $extra_pids; do e2e_stop "$pid"; done
  wait 2>/dev/null || true
  if [[ $rc -ne 0 && -f "$work/app.log" ]]; then
    echo "--- sorvelle output"
    if grep -q 'ERROR: AddressSanitizer' "$work/app.log"; then
      grep -A 45 'ERROR: AddressSanitizer' "$work/app.log"
    else
      tail -n 40 "$work/app.log"
    fi
  fi
  rm -rf "$work"
  exit "$rc"
}

fail() {
  echo "FAIL: $*"
  exit 1
}

# The id of a visible window whose title matches NAME, other than EXCLUDED_ID; fails when the
# program ends first or none shows within TRIES of 0.2 s.
find_window() {  # NAME [EXCLUDED_ID] [TRIES]
  local ids
  for _ in $(seq "${3:-150}"); do
    ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)
    for id in $ids; do
      [[ "$id" != "${2:-none}" ]] && { echo "$id"; return 0; }
    done
    kill -0 "$app_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

click() {  # WINDOW X Y
  xdotool mousemove --window "$1" "$2" "$3" click 1
}
