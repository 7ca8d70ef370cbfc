#!/usr/bin/env bash
# The desktop program's session tests under Wine and a virtual display.
#   tests/win32/run.sh BUILD_WIN_DIR
# Starts Xvfb once and runs every tests/win32/*_session.sh as SCRIPT BUILD_WIN_DIR SCREENS_DIR, with
# DISPLAY, WINEPREFIX (the build tree's reused prefix), FOLVEX_BUILD and FOLVEX_SCREENS (the same
# two folders) in the environment; the screenshots stay in BUILD_WIN_DIR/screens. Skips, saying
# so, only when Wine or the display cannot start.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: tests/win32/run.sh BUILD_WIN_DIR}" && pwd)

if [ "${2:-}" != --on-display ]; then
  for tool in wine xvfb-run xdotool import; do
    if ! command -v "$tool" >/dev/null; then
      echo "Wine session tests skipped: $tool is not installed"
      exit 0
    fi
  done
  started="$build/screens/.display-started"
  mkdir -p "$build/screens"
  rm -f "$started"
  xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" --on-display
  status=$?
  if [ ! -f "$started" ]; then
    echo "Wine session tests skipped: the virtual display did not start"
    exit 0
  fi
  exit $status
fi

touch "$build/screens/.display-started"
source "$root/scripts/wine_prefix.sh"
if ! prepare_wine_prefix "$build" || ! wine cmd /c exit 0 >/dev/null 2>&1; then
  echo "Wine session tests skipped: Wine does not start"
  exit 0
fi
export FOLVEX_BUILD="$build" FOLVEX_SCREENS="$build/screens" FOLVEX_SOURCE="$root"
failed=0
for session in "$here"/*_session.sh; do
  [ -e "$session" ] || continue
  name=$(basename "$session" .sh)
  echo "== $name"
  if bash "$session" "$build" "$build/screens"; then
    echo "== $name passed"
  else
    echo "== $name FAILED"
    failed=1
  fi
  wineserver -k >/dev/null 2>&1 || true
done
exit $failed
