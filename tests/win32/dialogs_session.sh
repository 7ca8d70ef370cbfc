#!/usr/bin/env bash
# Every dialog of the desktop program in English and Japanese, opened by dialog_preview.exe with
# values from its command line: a screenshot of each, then sessions driven with keys whose answers
# (the preview prints them, one key=value line each) are checked. Run by tests/win32/run.sh.
set -u
source "$(dirname "$0")/session_lib.sh"
preview=$FOLVEX_BUILD/dialog_preview.exe
[ -x "$preview" ] || { echo "dialogs_session: $preview is missing" >&2; exit 1; }
# A server that outlives each preview keeps the starts quick; it ends 30 s after the last one.
wineserver -p 30 >/dev/null 2>&1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

preview_windows() { xdotool search --onlyvisible --classname dialog_preview.exe 2>/dev/null | sort; }

# open_dialog NAME LANG ARGS...: starts the preview and waits for its window (WINDOW).
open_dialog() {
  out=$work/$1-$2-$RANDOM.out
  (cd "$FOLVEX_BUILD" && exec wine "$preview" "$@" >"$out" 2>/dev/null) &
  pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(preview_windows | tail -n 1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { fail "$1 $2: no window"; return 1; }
  sleep 0.6
  xdotool windowfocus --sync "$window" 2>/dev/null
}

# Waits for the preview to end (at most 20 s) and reads its answer.
finish() {
  timeout 20 tail --pid="$pid" -f /dev/null || { fail "$(basename "$out"): still open"; kill "$pid" 2>/dev/null; }
  wait "$pid" 2>/dev/null
  sed -i 's/\r$//' "$out"
}

expect() {
  local line
  for line in "$@"; do
    grep -qxF -- "$line" "$out" || fail "$(basename "$out"): expected '$line', got: $(tr '\n' ' ' <"$out")"
  done
}

# Every dialog opens centred on the desktop. The X window lacks the caption that Wine leaves to a
# window manager, so its centre may sit up to a caption's height below the dialog's.
centred() {
  local X Y WIDTH HEIGHT screen_width screen_height
  eval "$(xdotool getwindowgeometry --shell "$window")"
  read -r screen_width screen_height < <(xdotool getdisplaygeometry)
  local dx=$((X + WIDTH / 2 - screen_width / 2)) dy=$((Y + HEIGHT / 2 - screen_height / 2))
  if [ "${dx#-}" -gt 2 ] || [ "$dy" -lt -2 ] || [ "$dy" -gt 16 ]; then
    fail "$1: not centred (window ${WIDTH}x${HEIGHT} at $X,$Y)"
  fi
}

# look SHOT KEY RESULT NAME LANG ARGS...: a screenshot of a dialog that opens centred and closes
# with KEY giving RESULT.
look() {
  local name=$1 key=$2 result=$3
  shift 3
  open_dialog "$@" || return
  [ "$1" = progress ] && sleep 1.5
  shot "$name" "$window"
  centred "$name"
  keys "$key"
  finish
  expect "result=$result"
}

# dialog NAME LANG ARGS... -- STEPS...: opens a dialog and plays STEPS, each "type:TEXT",
# "shot:NAME" or keys for xdotool; then waits for its end. `expect` checks the answer.
dialog() {
  local args=()
  while [ "$1" != -- ]; do args+=("$1"); shift; done
  shift
  open_dialog "${args[@]}" || return 1
  local step
  for step in "$@"; do
    case $step in
      type:*) type_text "${step#type:}" ;;
      shot:*) shot "${step#shot:}" "$window" ;;
      sleep:*) sleep "${step#sleep:}" ;;
      *) keys $step ;;
    esac
  done
  finish
}

for lang in en ja; do
  look page-range-$lang Escape cancel page-range $lang
  look security-$lang Escape cancel security $lang user=u owner=o print=1 copy=1 in-folder=1 'folder=C:\out'
  look password-remove-$lang Escape cancel password $lang mode=remove file=report.pdf
  look general-$lang Escape cancel general $lang org-file-delete=1 new-file-record=1 'splitter=C:\Tools\Tomlet.exe'
  look file-setting-$lang Escape cancel file-setting $lang disp-scale=150f page-layout=2 file-to-outline=1 keep-m=1 \
    down=1 color=0x0000C0 splitter-version=1000 keep-annots=1
  look edit-file-name-$lang Escape cancel edit-file-name $lang 'path=C:\docs\a.pdf'
  look about-$lang Return closed about $lang
  look progress-$lang Escape 3 progress $lang steps=100 delay=60
  # Not centred: the engine's password dialog stands over the progress dialog.
  dialog password $lang mode=engine file=input.pdf -- shot:password-engine-$lang Escape && expect result=cancel
  dialog file-setting $lang splitter-version=990 -- shot:file-setting-no-split-$lang Escape
done

# Page range: typed text comes back as typed.
dialog page-range en -- 'type:1,3-5,12-9,20-' Return && expect result=ok 'text=1,3-5,12-9,20-'

# File Setting: "Set Scale" 150 with "Area AutoFit" stores 150F. A stored percentage with a
# lower-case f opens as "Set Scale" with "Area AutoFit"; an unknown DispScale opens as "No Setting"
# and is reset even by Cancel. Without the split row OK keeps the split fields.
dialog file-setting en disp-scale=N -- 'Down Tab' type:150 'Tab space' shot:file-setting-set-scale-en Return &&
  expect result=ok disp-scale=150F scale-text=150
dialog file-setting en disp-scale=120f -- Return && expect result=ok disp-scale=120F scale-text=120
dialog file-setting ja disp-scale=Q -- Escape && expect result=cancel disp-scale=N
dialog file-setting en splitter-version=990 keep-s=2 mode-s=6 -- Return && expect result=ok keep-s=2 mode-s=6
# "Keep Annotations", three Tab stops on from the scale list while "Set Scale" is off, opens as
# stored; OK stores its state, Cancel does not.
dialog file-setting en -- 'Tab Tab Tab space' shot:file-setting-keep-annots-en Return && expect result=ok keep-annots=1
dialog file-setting ja keep-annots=1 -- 'Tab Tab Tab space' Return && expect result=ok keep-annots=0
dialog file-setting en keep-annots=1 -- 'Tab Tab Tab space' Escape && expect result=cancel keep-annots=1

# "Color" opens the system's colour chooser with the outline colour; a colour chosen there (the
# red of the basic colours) becomes the outline colour.
if open_dialog file-setting en file-to-outline=1 color=0x00C000; then
  before=$(preview_windows)
  xdotool mousemove --window "$window" 400 232 click 1
  chooser=""
  for _ in $(seq 50); do
    chooser=$(comm -13 <(echo "$before") <(preview_windows) | head -n 1)
    [ -n "$chooser" ] && break
    sleep 0.1
  done
  if [ -n "$chooser" ]; then
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

# Security: passwords (cut to 31 characters), permissions and the save folder; Cancel leaves every
# value as it was.
dialog security en -- type:user1 Tab type:owner-password-that-is-far-too-long-1234567890 \
  'Tab space Tab Tab space Tab Tab Down Tab' 'type:C:\out' shot:security-filled-en Return &&
  expect result=ok user=user1 owner=owner-password-that-is-far-too- print=1 modify=0 copy=1 annotate=0 \
    in-folder=1 'folder=C:\out'
dialog security ja user=a owner=b modify=1 'folder=C:\keep' -- type:zzz Escape &&
  expect result=cancel user=a owner=b modify=1 in-folder=0 'folder=C:\keep'

# Password: the typed text, hidden on the screen.
dialog password en mode=remove file=report.pdf -- type:secret shot:password-typed-en Return &&
  expect result=ok password=secret

# General Setting: a refused OK keeps the dialog open with the switches stored; Cancel puts the
# path back.
if dialog general en refuse=1 'splitter=C:\old\Tomlet.exe' -- 'space Return' sleep:0.5 Return; then
  expect result=ok org-file-delete=1 'validate=C:\old\Tomlet.exe'
  [ "$(grep -c '^validate=' "$out")" = 2 ] || fail "general: OK was not asked twice"
fi
dialog general en 'splitter=C:\old\Tomlet.exe' -- 'Tab Tab Tab Tab Tab' 'type:C:\new\Tomlet.exe' Escape &&
  expect result=cancel 'splitter=C:\old\Tomlet.exe'

# Edit File Name returns the edited path.
dialog edit-file-name en 'path=C:\docs\a.pdf' -- 'End BackSpace BackSpace BackSpace BackSpace' type:b.pdf Return &&
  expect result=ok 'path=C:\docs\ab.pdf'

# Progress: a job that asks for a password shows the password dialog over the progress dialog
# and then runs to its end.
if open_dialog progress en steps=10 delay=50 ask-password=1; then
  if password_window=$(wait_window 'Extract/Merge  Remove Security'); then
    shot progress-password-en "$password_window"
    type_text pw
    keys Return
  else
    fail "progress: no password dialog"
  fi
  finish
  expect password-result=ok password=pw result=0
fi
# Cancel stops a running job; the dialog closes with its result.
if dialog progress ja steps=200 delay=50 -- sleep:1 Escape; then
  expect result=3
  grep -q '^cancelled-at=' "$out" || fail "progress: the job did not see the cancel"
fi

# Message boxes answer with the button pressed; Enter presses the default button: Yes, or No when
# the question names the second button.
dialog message en text=Overwrite? buttons=yes-no -- shot:message-en n && expect result=no
dialog message en text=Same? buttons=yes-no default=first -- Return && expect result=yes
dialog message en text=Same? buttons=yes-no default=second -- Return && expect result=no

end_session
