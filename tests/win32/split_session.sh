#!/usr/bin/env bash
# Tomlet.exe under Wine: the list-file and path command lines split a file into page files beside it,
# each judged by qpdf and pdftotext against its source page, and every list file handed over is
# deleted once read; the page-input form is answered in its dialog; the run forms post one notice
# per file; and Folvex.exe runs Tomlet.exe over several selected files, file after file as the
# notices come back (its list files carrying the kept annotations of the settings). Run by
# tests/win32/run.sh.
set -uo pipefail
source "$(dirname "$0")/session_lib.sh"
tomlet="$FOLVEX_BUILD/Tomlet.exe"
[ -f "$tomlet" ] || { echo "split_session: $tomlet missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The page file shows page N of the input.
judge() {
  local file=$1 input=$2 page=$3
  [ -f "$file" ] || { fail "$file not written"; return; }
  qpdf --check "$file" >/dev/null 2>&1 || fail "$file: qpdf --check"
  [ "$(pages_of "$file")" = 1 ] || fail "$file: not one page"
  [ "$(page_text "$file" 1)" = "$(page_text "$input" "$page")" ] || fail "$file: text differs from page $page"
}
judge_all() {  # STEM INPUT PAGES...: STEM_<page>.pdf for each page
  local stem=$1 input=$2 page
  shift 2
  for page in "$@"; do judge "${stem}_$page.pdf" "$input" "$page"; done
}

tmp_unix=$(winepath -u "$(wine cmd /c 'echo %TMP%' 2>/dev/null | tr -d '\r')" 2>/dev/null)
mkdir -p "$tmp_unix"
# list_file NAME OPTIONS PATH: the list file Tomlet reads from TMP.
list_file() { printf '%s\n%s\n' "$2" "$(win_path "$3")" >"$tmp_unix/$1"; }
# Tomlet deletes the list file it was handed once it has read it.
list_file_gone() { [ ! -e "$tmp_unix/$1" ] || fail "list file $1 left behind"; }
run_tomlet() { timeout 60 wine "$tomlet" "$@" >/dev/null 2>&1 || true; }

# The list-file form of a single launch: options and path from ~tpfd... in TMP.
make_pdf "$work/report.pdf" 12
list_file '~tpfdA001.tmp' '/d150f /p1 /nt /ka ' "$work/report.pdf"
run_tomlet -Bu '~tpfdA001.tmp'
list_file_gone '~tpfdA001.tmp'
judge_all "$work/report" "$work/report.pdf" 01 02 03 04 05 06 07 08 09 10 11 12
grep -q '/XYZ null null 1.500000' "$work/report_05.pdf" || fail "list-file options not applied"
grep -q '/PageLayout /OneColumn' "$work/report_05.pdf" || fail "list-file layout not applied"

# The older form with the path, language forced: the taken names give way.
run_tomlet '/jp-Auto' "$(win_path "$work/report.pdf")"
judge "$work/report_01 (2).pdf" "$work/report.pdf" 1
judge "$work/report_12 (2).pdf" "$work/report.pdf" 12

# A path with a space and Japanese characters.
mkdir -p "$work/分解 test"
make_pdf "$work/分解 test/資料.pdf" 3
run_tomlet -Auto "$(win_path "$work/分解 test/資料.pdf")"
judge_all "$work/分解 test/資料" "$work/分解 test/資料.pdf" 1 2 3

# The page-input form: the dialog asks, "3,1" is typed.
make_pdf "$work/pick.pdf" 4
list_file '~tpfdA002.tmp' '' "$work/pick.pdf"
wine "$tomlet" /us-Bp '~tpfdA002.tmp' >/dev/null 2>&1 &
pid=$!
if dialog=$(wait_window '^Tomlet$' 30); then
  sleep 0.5
  shot tomlet-page-input
  type_text '3,1'
  keys Return
else
  fail "page-input dialog did not appear"
  kill "$pid" 2>/dev/null
fi
wait_ended "$pid"
list_file_gone '~tpfdA002.tmp'
judge_all "$work/pick" "$work/pick.pdf" 3 1
[ ! -e "$work/pick_2.pdf" ] || fail "page 2 written though not asked for"

# The run forms: one notice per file, posted to the window named on the command line, with the
# file's status (0 done, 3 one page, 2 protected, anything else a failure).
receiver="$FOLVEX_BUILD/notice_receiver.exe"
[ -f "$receiver" ] || fail_now "$receiver missing"
notices() {  # COMMAND_LINE: the notices the receiver saw, one line each
  timeout 90 wine "$receiver" "$tomlet" "$1" 2>/dev/null | tr -d '\r' | grep '^notice'
}
make_pdf "$work/run1.pdf" 3
make_pdf "$work/run2.pdf" 1
qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- "$work/run1.pdf" "$work/run3.pdf" ||
  fail_now "qpdf could not protect run1.pdf"
for run in "run1 0 A003" "run2 3 A004" "run3 2 A005"; do
  read -r name status list <<<"$run"
  list_file "~tpfd$list.tmp" '' "$work/$name.pdf"
  got=$(notices "-Bc%H ~tpfd$list.tmp")
  [ "$got" = "notice $status" ] || fail "$name: expected exactly 'notice $status', got '${got//$'\n'/ | }'"
  list_file_gone "~tpfd$list.tmp"
done
judge_all "$work/run1" "$work/run1.pdf" 1 2 3
[ "$(notices '-Bc%H ~tpfd-none.tmp')" = "notice -10" ] || fail "a missing list file did not give notice -10"
[ "$(notices "/us-Ac%H $(win_path "$work/run1.pdf")")" = "notice 0" ] || fail "-Ac form: not one notice 0"
judge "$work/run1_2 (2).pdf" "$work/run1.pdf" 2

# The desktop program's several-file run: Folvex.exe launches Tomlet.exe for the first selected
# file, and for each next one when the notice for the previous one arrives; the run ends with one
# message captioned "Tomlet".
# desktop_run NAME PAGES...: one file per page count, all split in one run. The closing message's
# text is left to the screenshot (the native tests check every text of the run).
desktop_run() {
  local name=$1 files=() i=0 pages page
  shift
  local app="$work/$name"
  mkdir -p "$app"
  for pages in "$@"; do
    i=$((i + 1))
    make_pdf "$app/f$i.pdf" "$pages"
    files+=("$(win_path "$app/f$i.pdf")")
  done
  printf '[General]\r\n[Processing]\r\nPageDisp=Off\r\n[File Setting]\r\nDispScale=W\r\nKeepAnnots=On\r\n[Tomlet]\r\nTomlet=%s\r\n' \
    "$(win_path "$tomlet")" >"$app/Folvex.ini"
  local lists_before
  lists_before=$(find "$tmp_unix" -maxdepth 1 -name '~tpfd*' | wc -l)
  start_folvex "$app" /us
  sleep 1
  wine "$FOLVEX_BUILD/post_drop.exe" 40 80 "${files[@]}" >/dev/null 2>&1
  sleep 1
  focus_main
  keys ctrl+a
  keys alt+o
  keys a
  # The question: Yes.
  if wait_window '^Folvex$' 10 >/dev/null; then
    shot "split-run-$name-question"
    keys Return
  else
    fail "$name: no question before the run"
  fi
  local done_box=""
  done_box=$(wait_window '^Tomlet$' 60) || fail "$name: no closing message from the run"
  shot "split-run-$name-end"
  [ "$(find "$tmp_unix" -maxdepth 1 -name '~tpfd*' | wc -l)" = "$lists_before" ] ||
    fail "$name: the run left list files in TMP"
  i=0
  for pages in "$@"; do
    i=$((i + 1))
    if [ "$pages" -gt 1 ]; then
      judge_all "$app/f$i" "$app/f$i.pdf" $(seq 1 "$pages")
      grep -q '/FitH null' "$app/f${i}_1.pdf" || fail "$name: f$i page files lack the open action of the settings"
    else
      [ ! -e "$app/f${i}_1.pdf" ] || fail "$name: a one-page file was split"
    fi
  done
  [ -n "$done_box" ] && keys Return
  sleep 0.5
  stop_folvex
}
desktop_run three-files 3 2 4
desktop_run one-page-among-three 2 1 3

rm -f "$tmp_unix"/~tpfdA00[1-5].tmp
end_session
