#!/usr/bin/env bash
# The main window under Wine: both languages with screenshots, the settings file of a first start,
# and a session driven with keys: Edit File Name, a shell drop, View Page, sorting, Undo/Redo,
# Merge All, Extract, Set Security and Remove Security, judged by qpdf and poppler.
set -euo pipefail
source "$(dirname "$0")/session_lib.sh"
work="$FOLVEX_BUILD/session-main"
rm -rf "$work" && mkdir -p "$work"
crlf() { sed 's/$/\r/'; }

# --- Both languages: first start in an empty folder, screenshots of the window, a menu and a dialog.
printf '[General]\nPosition=\nInputFolder=\nOutputFolder=\nColumns=\n[Processing]\nOrgFileDelete=On\nNewFileRecord=On\nNewFileOpen=Off\nFileBackUp=Off\nPageDisp=Off\n[File Setting]\nDispScale=N\n[Tomlet]\nTomlet=\n[Security Setting]\nbPrint=0\nbModify=0\nbCopy=0\nbAdAnnot=0\nbSecFolder=0\n' |
  crlf >"$work/default.ini"
for lang in us jp; do
  dir="$work/first-$lang"
  mkdir -p "$dir"
  start_folvex "$dir" "/$lang"
  cmp -s "$dir/Folvex.ini" "$work/default.ini" || fail "/$lang: the first start did not write exactly the default settings"
  shot "main-$lang"
  keys alt+f
  shot "menu-file-$lang"
  keys Escape Escape
  focus_main
  keys alt+s f
  id=$(wait_window '.') || fail_now "/$lang: no File Setting dialog"
  shot "file-setting-$lang"
  # "Keep Annotations" (three Tab stops on) toggled: OK keeps it (English), Cancel does not (Japanese).
  close=Return keep=On
  [ "$lang" = jp ] && close=Escape keep=Off
  keys Tab Tab Tab space "$close"
  wait_closed "$id" || fail "/$lang: the File Setting dialog stayed open"
  stop_folvex
  [ "$(ini_value "$dir/Folvex.ini" KeepAnnots)" = "$keep" ] || fail "/$lang: KeepAnnots=$(ini_value "$dir/Folvex.ini" KeepAnnots), expected $keep"
  columns=$(ini_value "$dir/Folvex.ini" Columns)
  expected="110 200 105 80"
  [ "$lang" = jp ] && expected="110 200 105 60"
  [ "$columns" = "$expected" ] || fail "/$lang: Columns=$columns, expected $expected"
  [[ "$(ini_value "$dir/Folvex.ini" Position)" =~ ^-?[0-9]+\ -?[0-9]+\ [1-9][0-9]*\ [1-9][0-9]*$ ]] ||
    fail "/$lang: no window position saved"
  [ "$(ini_value "$dir/Folvex.ini" InputFolder)" = "$(win_path "$dir")" ] || fail "/$lang: InputFolder is not the start folder"
done

# --- A session in English.
dir="$work/session"
mkdir -p "$dir"
cp "$FOLVEX_SOURCE/samples/nested-page-tree.pdf" "$dir/a.pdf"   # 4 pages "Nested page N"
cp "$FOLVEX_SOURCE/samples/three-pages.pdf" "$dir/b.pdf"        # 3 pages "Page N"
cp "$FOLVEX_SOURCE/samples/incremental-update.pdf" "$dir/c.pdf" # 3 pages
printf '[General]\nPosition=40 30 760 520\nOutputFolder=%s\n[Processing]\nOrgFileDelete=Off\nNewFileRecord=On\nPageDisp=Off\n' \
  "$(win_path "$dir")" | crlf >"$dir/Folvex.ini"
start_folvex "$dir" /us

# Edit File Name with nothing selected appends a row.
keys alt+e e
id=$(wait_window '^Folvex$') || fail_now "no Edit File Name dialog"
type_text "$(win_path "$dir/a.pdf")"
keys Return
wait_closed "$id" || fail_now "the Edit File Name dialog stayed open"

# Two files dropped below the rows: appended, selected and sorted by name (b, c).
focus_main
wine "$FOLVEX_BUILD/post_drop.exe" 20 400 "$(win_path "$dir/c.pdf")" "$(win_path "$dir/b.pdf")" ||
  fail_now "post_drop could not deliver the drop"
sleep 1.5
shot "session-added"

# View Page (all files) counts the three rows.
focus_main
keys alt+v p a
shot "session-counted"

# Sorting by name: the first use sorts ascending (a b c: no change), the second descending.
keys alt+v r f
keys alt+v r f
# Undo brings a b c back, Redo c b a again.
keys ctrl+z
shot "session-undone"
keys ctrl+y
shot "session-sorted"

# Drag-reorder with the mouse (the window stands where Position put it; rows are 17 pixels high
# below the header): select the third row (a) alone and drag it onto the first (c): a, c, b.
xdotool mousemove --window "$MAIN" 60 108 click 1
sleep 0.5
xdotool mousemove --window "$MAIN" 60 108 mousedown 1
sleep 0.3
for y in 104 100 96 92 88 84 80 76 74; do
  xdotool mousemove --window "$MAIN" 62 "$y"
  sleep 0.1
done
xdotool mouseup 1
sleep 1
shot "session-dragged"

# save_as FILE: types FILE into the save dialog a job opens.
save_as() {
  wait_window '.' >/dev/null || fail_now "no save dialog for $1"
  sleep 0.5
  type_text "$(win_path "$dir/$1")"
  keys Return
}

# Merge All in list order (a, c, b) into merged.pdf.
keys alt+o m
save_as merged.pdf
confirm_done || fail_now "Merge All did not end"
qpdf --check "$dir/merged.pdf" >/dev/null 2>&1 || fail "merged.pdf does not pass qpdf --check"
[ "$(pages_of "$dir/merged.pdf")" = 10 ] || fail "merged.pdf does not have 10 pages"
[ "$(page_text "$dir/merged.pdf" 1)" = "Nested page 1" ] || fail "merged.pdf page 1 is not a.pdf's first page"
[ "$(page_text "$dir/merged.pdf" 8)" = "Page 1" ] || fail "merged.pdf page 8 is not b.pdf's first page"

# The new row is the only selected one: Extract pages 9 and 8 of it (b.pdf's second and first).
focus_main
keys alt+o x
id=$(wait_window '.') || fail_now "no page-range dialog"
type_text "9,8"
keys Return
wait_closed "$id" || true
save_as extract.pdf
confirm_done || fail_now "Extract did not end"
qpdf --check "$dir/extract.pdf" >/dev/null 2>&1 || fail "extract.pdf does not pass qpdf --check"
[ "$(pages_of "$dir/extract.pdf")" = 2 ] || fail "extract.pdf does not have 2 pages"
[ "$(page_text "$dir/extract.pdf" 1)" = "Page 2" ] || fail "extract.pdf page 1 is not merged page 9"
[ "$(page_text "$dir/extract.pdf" 2)" = "Page 1" ] || fail "extract.pdf page 2 is not merged page 8"

# Set Security on the extracted file (now the selected row): user and owner passwords.
focus_main
keys alt+o e
wait_window '^Security Setting$' >/dev/null || fail_now "no security dialog"
type_text "user"
keys Tab
type_text "owner"
keys Return
confirm_done || fail_now "Set Security did not end"
secured="$dir/extract-s.pdf"
qpdf --check --password=owner "$secured" >/dev/null 2>&1 || fail "extract-s.pdf does not pass qpdf --check"
[[ "$(qpdf --show-encryption --password=user "$secured" 2>&1)" == *"R = 3"* ]] || fail "extract-s.pdf is not protected"
[ "$(page_text "$secured" 1 -upw user)" = "Page 2" ] || fail "extract-s.pdf does not open with the user password"
pdftotext "$secured" - >/dev/null 2>&1 && fail "extract-s.pdf opens without a password"

# Remove Security on the protected copy (the selected row) with its owner password.
focus_main
keys alt+o r
wait_window '.' >/dev/null || fail_now "no password dialog"
type_text "owner"
keys Return
confirm_done || fail_now "Remove Security did not end"
opened="$dir/extract-s-r.pdf"
qpdf --check "$opened" >/dev/null 2>&1 || fail "extract-s-r.pdf does not pass qpdf --check"
[[ "$(qpdf --show-encryption "$opened" 2>&1)" == *"File is not encrypted"* ]] || fail "extract-s-r.pdf is still protected"
[ "$(page_text "$opened" 2)" = "Page 1" ] || fail "extract-s-r.pdf lost its pages"

shot "session-end"
stop_folvex
# The settings written at exit: the kept switches, the last output folder, a new position.
[ "$(ini_value "$dir/Folvex.ini" OrgFileDelete)" = Off ] || fail "OrgFileDelete was not kept"
[ "$(ini_value "$dir/Folvex.ini" PageDisp)" = Off ] || fail "PageDisp was not kept"
[ "$(ini_value "$dir/Folvex.ini" OutputFolder)" = "$(win_path "$dir")" ] || fail "OutputFolder is not the folder of the last output"
grep -aq "^OColor=0 16777215" "$dir/Folvex.ini" || fail "the exit did not write the whole settings file"
end_session
