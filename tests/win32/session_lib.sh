# Helpers of the Wine session scripts: start the desktop program, find its windows, type, take
# screenshots, check results. Source it; FOLVEX_BUILD and FOLVEX_SCREENS come from run.sh.

fail() {
  echo "FAIL: $*" >&2
  shot "failure-$(date +%H%M%S)"
  exit 1
}

shot() { import -window root "$FOLVEX_SCREENS/$1.png" 2>/dev/null || true; }

win_path() { winepath -w "$1" 2>/dev/null; }

# Every visible top-level window called exactly NAME (a regular expression), oldest first.
windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }

# Waits up to 20 s for a visible window whose title matches NAME and that is not the main window;
# focuses it and prints its id.
wait_window() {
  local name=$1 id
  for _ in $(seq 200); do
    for id in $(windows_named "$name"); do
      if [ "$id" != "${MAIN:-}" ]; then
        xdotool windowfocus --sync "$id" 2>/dev/null || true
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# Waits up to 60 s for window ID to go away.
wait_closed() {
  for _ in $(seq 600); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}

# Starts Folvex.exe in folder DIR with ARGS; sets FOLVEX_PID and MAIN (the main window).
start_folvex() {
  local dir=$1
  shift
  (cd "$dir" && exec wine "$FOLVEX_BUILD/Folvex.exe" "$@") &
  FOLVEX_PID=$!
  MAIN=""
  for _ in $(seq 300); do
    MAIN=$(windows_named '^Folvex$' | head -n1)
    [ -n "$MAIN" ] && break
    sleep 0.1
  done
  [ -n "$MAIN" ] || fail "the main window did not appear"
  focus_main
}

focus_main() { xdotool windowfocus --sync "$MAIN" 2>/dev/null || true; sleep 0.2; }

keys() { xdotool key --delay 80 "$@"; sleep 0.3; }

type_text() { xdotool type --delay 15 "$1"; }

# Closes the program with Ctrl+E and waits for the process to end.
stop_folvex() {
  focus_main
  keys ctrl+e
  for _ in $(seq 150); do
    kill -0 "$FOLVEX_PID" 2>/dev/null || { wait "$FOLVEX_PID" 2>/dev/null; return 0; }
    sleep 0.1
  done
  fail "Folvex did not end after Ctrl+E"
}

# The value of KEY in a settings file (first "KEY=" anywhere, as the program reads it).
ini_value() { grep -a -m1 -o "$2=[^$(printf '\r')]*" "$1" | cut -d= -f2-; }
