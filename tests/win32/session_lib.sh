# Helpers of the Wine session scripts: start the programs, find their windows, type, take
# screenshots, judge outputs. Source it; FOLVEX_BUILD, FOLVEX_SCREENS, FOLVEX_SOURCE, DISPLAY and
# WINEPREFIX come from run.sh. A failed check is counted and the session goes on; end_session
# reports and sets the exit status. `fail_now` ends the session where later steps need this one.
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
  shot "failure-$failures-$(date +%H%M%S)"
}
fail_now() { fail "$@"; end_session; }
end_session() {
  [ "$failures" -eq 0 ] || { echo "$(basename "$0" .sh): $failures failure(s)"; exit 1; }
  echo "$(basename "$0" .sh): all checks passed"
  exit 0
}

# shot NAME [WINDOW]: a screenshot of WINDOW, or of the whole screen.
shot() { import -window "${2:-root}" "$FOLVEX_SCREENS/$1.png" 2>/dev/null || true; }

win_path() { winepath -w "$1" 2>/dev/null; }

# Every visible top-level window whose title matches NAME (a regular expression), oldest first.
windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }

# Waits up to SECONDS (default 20) for a visible window whose title matches NAME and that is not
# the main window; focuses it and prints its id.
wait_window() {
  local name=$1 id
  for _ in $(seq $((${2:-20} * 10))); do
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

# Waits up to 60 s for process PID to end.
wait_ended() { timeout 60 tail --pid="$1" -f /dev/null || return 1; wait "$1" 2>/dev/null || true; }

# Starts Folvex.exe in folder DIR with ARGS; sets FOLVEX_PID and MAIN (the main window).
start_folvex() {
  local dir=$1
  shift
  (cd "$dir" && exec wine "$FOLVEX_BUILD/Folvex.exe" "$@" >/dev/null 2>&1) &
  FOLVEX_PID=$!
  MAIN=""
  for _ in $(seq 300); do
    MAIN=$(windows_named '^Folvex$' | head -n1)
    [ -n "$MAIN" ] && break
    sleep 0.1
  done
  [ -n "$MAIN" ] || fail_now "the main window did not appear"
  focus_main
}

focus_main() { xdotool windowfocus --sync "$MAIN" 2>/dev/null || true; sleep 0.2; }

keys() { xdotool key --delay 80 "$@"; sleep 0.3; }

type_text() { xdotool type --delay 40 "$1"; }

# Closes the program with Ctrl+E and waits for the process to end.
stop_folvex() {
  focus_main
  keys ctrl+e
  wait_ended "$FOLVEX_PID" || { kill "$FOLVEX_PID" 2>/dev/null; fail_now "Folvex did not end after Ctrl+E"; }
}

# Presses Enter in the message box a job ends with (a window titled TITLE, default "Folvex").
confirm_done() {
  local box
  box=$(wait_window "${1:-^Folvex\$}") || { fail "no message at the end of the job"; return 1; }
  keys Return
  wait_closed "$box" || true
}

# The value of KEY in a settings file (first "KEY=" anywhere, as the program reads it).
ini_value() { grep -a -m1 -o "$2=[^$(printf '\r')]*" "$1" | cut -d= -f2-; }

pages_of() { pdfinfo "$@" 2>/dev/null | awk '/^Pages:/ {print $2}'; }

# The text of page N of FILE (more pdftotext options may follow).
page_text() { local file=$1 page=$2; shift 2; pdftotext "$@" -f "$page" -l "$page" "$file" - 2>/dev/null | tr -d '\f\n'; }

# A classic PDF of PAGES pages, each with its own text (the native build's generator).
make_pdf() { "$FOLVEX_SOURCE/build/make_large_pdf" "$2" "$1" >/dev/null || fail_now "make_large_pdf failed"; }
