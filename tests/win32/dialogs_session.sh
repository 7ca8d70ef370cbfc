#!/bin/bash
# Opens every dialog of the desktop program in English and Japanese with dialog_preview.exe under
# Wine, saves a screenshot of each, drives some of them with xdotool and checks what they return.
#
#   tests/win32/dialogs_session.sh BUILD_WIN_DIR SCREENS_DIR
#
# Needs DISPLAY (an X server such as Xvfb) and uses WINEPREFIX (default BUILD_WIN_DIR/wineprefix,
# made when missing). Alone: xvfb-run -a -s "-screen 0 1024x768x24" tests/win32/dialogs_session.sh build-win build-win/screens
set -u

build=$(cd "${1:?build dir}" && pwd)
mkdir -p "${2:?screens dir}"
screens=$(cd "$2" && pwd)
preview=$build/dialog_preview.exe
[ -x "$preview" ] || { echo "dialogs_session: $preview is missing" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "dialogs_session: no DISPLAY (run it with xvfb-run -a)" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# A server that outlives each preview keeps the starts quick; it ends 30 s after the last one.
wineserver -p 30 >/dev/null 2>&1
# Japanese glyphs for the dialogs' "MS UI Gothic".
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "MS UI Gothic" /t REG_SZ \
  /d IPAPGothic /f >/dev/null 2>&1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
out=""
pid=""
window=""

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# open_dialog NAME LANG ARGS...: starts the preview and waits for its window.
open_dialog() {
  local name=$1 lang=$2
  shift 2
  out=$work/$name-$lang-$RANDOM.out
  (cd "$build" && exec wine "$preview" "$name" "$lang" "$@" >"$out" 2>/dev/null) &
  pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --classname dialog_preview.exe 2>/dev/null | tail -n 1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    fail "$name $lang: no window"
    return 1
  fi
  sleep 0.6
  xdotool windowfocus --sync "$window" 2>/dev/null
  return 0
}

# Every dialog opens centred on the desktop. The X window lacks the caption that Wine leaves to a
# window manager, so its centre may sit up to a caption's height below the dialog's.
centred() {
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$window")"
  read -r screen_width screen_height < <(xdotool getdisplaygeometry)
  local dx=$((X + WIDTH / 2 - screen_width / 2)) dy=$((Y + HEIGHT / 2 - screen_height / 2))
  if [ "${dx#-}" -gt 2 ] || [ "$dy" -lt -2 ] || [ "$dy" -gt 16 ]; then
    fail "$1: not centred (window ${WIDTH}x${HEIGHT} at $X,$Y)"
  fi
}

preview_windows() {
  xdotool search --onlyvisible --classname dialog_preview.exe 2>/dev/null | sort
}

# second_window BEFORE: waits for a window of the preview that is not in BEFORE (a dialog opened
# by a dialog) and prints it.
second_window() {
  local found
  for _ in $(seq 50); do
    found=$(comm -13 <(echo "$1") <(preview_windows) | head -n 1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.1
  done
  return 1
}

shot() {
  import -window "${2:-$window}" "$screens/$1.png" 2>/dev/null || fail "screenshot $1"
}

keys() { xdotool key --delay 60 "$@"; }
type_text() { xdotool type --delay 40 "$1"; }

# finish: waits for the preview to end (at most 20 s).
finish() {
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$(basename "$out"): still open"
    kill "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null
  sed -i 's/\r$//' "$out"
}

expect() {
  local line
  for line in "$@"; do
    grep -qxF -- "$line" "$out" || fail "$(basename "$out"): expected '$line', got: $(tr '\n' ' ' <"$out")"
  done
}

# Screenshots of every dialog in both languages, closed with Esc (or Enter where Esc does nothing).
for lang in en ja; do
  open_dialog page-range $lang && { shot page-range-$lang; centred page-range-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog security $lang user=u owner=o print=1 copy=1 in-folder=1 'folder=C:\out' &&
    { shot security-$lang; centred security-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog password $lang mode=remove file=report.pdf && { shot password-remove-$lang; centred password-remove-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog password $lang mode=engine file=input.pdf && { shot password-engine-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog general $lang org-file-delete=1 new-file-record=1 'splitter=C:\Tools\Tomlet.exe' &&
    { shot general-$lang; centred general-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog file-setting $lang disp-scale=150f page-layout=2 file-to-outline=1 keep-m=1 down=1 color=0x0000C0 \
    splitter-version=1000 && { shot file-setting-$lang; centred file-setting-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog file-setting $lang splitter-version=990 && { shot file-setting-no-split-$lang; keys Escape; finish; }
  open_dialog edit-file-name $lang 'path=C:\docs\a.pdf' && { shot edit-file-name-$lang; centred edit-file-name-$lang; keys Escape; finish; expect result=cancel; }
  open_dialog about $lang && { shot about-$lang; centred about-$lang; keys Return; finish; expect result=closed; }
  open_dialog progress $lang steps=100 delay=60 && { sleep 1.5; shot progress-$lang; centred progress-$lang; keys Escape; finish; expect result=3; }
done

# Page range: typed text comes back as typed.
if open_dialog page-range en; then
  type_text '1,3-5,12-9,20-'
  keys Return
  finish
  expect result=ok 'text=1,3-5,12-9,20-'
fi

# File Setting: "Set Scale" 150 with "Area AutoFit" stores 150F.
if open_dialog file-setting en disp-scale=N; then
  keys Down Tab
  type_text 150
  keys Tab space
  shot file-setting-set-scale-en
  keys Return
  finish
  expect result=ok disp-scale=150F scale-text=150
fi
# A stored percentage with a lower-case f opens as "Set Scale" with "Area AutoFit"; an unknown
# DispScale opens as "No Setting" and is reset even by Cancel.
if open_dialog file-setting en disp-scale=120f; then
  keys Return
  finish
  expect result=ok disp-scale=120F scale-text=120
fi
if open_dialog file-setting ja disp-scale=Q; then
  keys Escape
  finish
  expect result=cancel disp-scale=N
fi
# Without the split row OK keeps the split fields.
if open_dialog file-setting en splitter-version=990 keep-s=2 mode-s=6; then
  keys Return
  finish
  expect result=ok keep-s=2 mode-s=6
fi

# "Color" opens the system's colour chooser with the outline colour; a colour chosen there (the
# red of the basic colours) becomes the outline colour.
if open_dialog file-setting en file-to-outline=1 color=0x00C000; then
  before=$(preview_windows)
  xdotool mousemove --window "$window" 400 232 click 1
  if chooser=$(second_window "$before"); then
    sleep 0.5
    shot colour-chooser-en "$chooser"
    xdotool mousemove --window "$chooser" 25 53 click 1
    sleep 0.3
    xdotool mousemove --window "$chooser" 55 265 click 1
  else
    fail "file-setting: no colour chooser"
  fi
  sleep 0.5
  xdotool windowfocus --sync "$window" 2>/dev/null
  keys Return
  finish
  expect result=ok color=255 file-to-outline=1
fi

# Security: passwords (cut to 31 characters), permissions and the save folder.
if open_dialog security en; then
  type_text 'user1'
  keys Tab
  type_text 'owner-password-that-is-far-too-long-1234567890'
  keys Tab space Tab Tab space Tab Tab Down Tab
  type_text 'C:\out'
  shot security-filled-en
  keys Return
  finish
  expect result=ok user=user1 owner=owner-password-that-is-far-too- print=1 modify=0 copy=1 annotate=0 \
    in-folder=1 'folder=C:\out'
fi
# Cancel leaves every value as it was.
if open_dialog security ja user=a owner=b modify=1 'folder=C:\keep'; then
  type_text 'zzz'
  keys Escape
  finish
  expect result=cancel user=a owner=b modify=1 in-folder=0 'folder=C:\keep'
fi

# Password: the typed text, hidden on the screen.
if open_dialog password en mode=remove file=report.pdf; then
  type_text 'secret'
  shot password-typed-en
  keys Return
  finish
  expect result=ok password=secret
fi

# General Setting: a refused OK keeps the dialog open with the switches stored; Cancel puts the
# path back.
if open_dialog general en refuse=1 'splitter=C:\old\Tomlet.exe'; then
  keys space Return
  sleep 0.5
  keys Return
  finish
  expect result=ok org-file-delete=1 'validate=C:\old\Tomlet.exe'
  [ "$(grep -c '^validate=' "$out")" = 2 ] || fail "general: OK was not asked twice"
fi
if open_dialog general en 'splitter=C:\old\Tomlet.exe'; then
  keys Tab Tab Tab Tab Tab
  type_text 'C:\new\Tomlet.exe'
  keys Escape
  finish
  expect result=cancel 'splitter=C:\old\Tomlet.exe'
fi

# Edit File Name returns the edited path.
if open_dialog edit-file-name en 'path=C:\docs\a.pdf'; then
  keys End BackSpace BackSpace BackSpace BackSpace
  type_text 'b.pdf'
  keys Return
  finish
  expect result=ok 'path=C:\docs\ab.pdf'
fi

# Progress: a job that asks for a password shows the password dialog over the progress dialog
# and then runs to its end.
if open_dialog progress en steps=10 delay=50 ask-password=1; then
  password_window=""
  for _ in $(seq 50); do
    password_window=$(xdotool search --onlyvisible --name 'Extract/Merge  Remove Security' 2>/dev/null | head -n 1)
    [ -n "$password_window" ] && break
    sleep 0.1
  done
  if [ -n "$password_window" ]; then
    xdotool windowfocus --sync "$password_window" 2>/dev/null
    shot progress-password-en "$password_window"
    type_text 'pw'
    keys Return
  else
    fail "progress: no password dialog"
  fi
  finish
  expect password-result=ok password=pw result=0
fi
# Cancel stops a running job; the dialog closes with its result.
if open_dialog progress ja steps=200 delay=50; then
  sleep 1
  keys Escape
  finish
  expect result=3
  grep -q '^cancelled-at=' "$out" || fail "progress: the job did not see the cancel"
fi

# Message boxes answer with the button pressed.
if open_dialog message en text=Overwrite? buttons=yes-no; then
  shot message-en
  keys n
  finish
  expect result=no
fi
# Enter presses the default button: Yes, or No when the question names the second button.
for default in first second; do
  if open_dialog message en text=Same? buttons=yes-no default=$default; then
    keys Return
    finish
    if [ "$default" = second ]; then expect result=no; else expect result=yes; fi
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "dialogs_session: $failures failure(s)"
  exit 1
fi
echo "dialogs_session: all dialogs passed; screenshots in $screens"
