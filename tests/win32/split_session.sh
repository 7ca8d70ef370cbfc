#!/usr/bin/env bash
# Tomlet.exe under Wine: the list-file and path command lines split a file into page files beside it,
# each judged by qpdf and pdftotext against its source page, and every list file handed over is
# deleted once read; the page-input form is answered in its
# dialog; the run forms post one notice per file; and Folvex.exe runs Tomlet.exe over several
# selected files, file after file as the notices come back. Usage: tests/win32/split_session.sh BUILD_WIN_DIR SCREENS_DIR
# Needs DISPLAY (run alone: xvfb-run -a tests/win32/split_session.sh build-win screens) and uses
# WINEPREFIX (default BUILD_WIN_DIR/wineprefix, created when missing).
set -euo pipefail
build=$(cd "${1:?build-win directory}" && pwd)
screens=${2:?screens directory}
mkdir -p "$screens"
screens=$(cd "$screens" && pwd)
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tomlet="$build/Tomlet.exe"
[ -f "$tomlet" ] || { echo "split_session: $tomlet missing"; exit 1; }
if [ ! -d "$WINEPREFIX" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A classic PDF whose page i shows "Page i".
make_pdf() {
  python3 - "$1" "$2" <<'PY'
import sys
path, count = sys.argv[1], int(sys.argv[2])
objs = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
        3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}
kids = []
for i in range(count):
    page, content = 4 + 2 * i, 5 + 2 * i
    kids.append(b"%d 0 R" % page)
    stream = b"BT /F1 24 Tf 40 100 Td (Page %d) Tj ET" % (i + 1)
    objs[page] = b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % content
    objs[content] = b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream"
objs[2] = b"<< /Type /Pages /Kids [" + b" ".join(kids) + b"] /Count %d >>" % count
out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = {}
for n in sorted(objs):
    offsets[n] = len(out)
    out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
xref = len(out)
size = max(objs) + 1
out += b"xref\n0 %d\n0000000000 65535 f \n" % size
for n in range(1, size):
    out += b"%010d 00000 n \n" % offsets[n]
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
open(path, "wb").write(out)
PY
}

# The page file shows page N of the input.
judge() {
  local file=$1 input=$2 page=$3
  [ -f "$file" ] || { fail "$file not written"; return; }
  qpdf --check "$file" >/dev/null 2>&1 || fail "$file: qpdf --check"
  [ "$(pdfinfo "$file" | awk '/^Pages:/{print $2}')" = 1 ] || fail "$file: not one page"
  [ "$(pdftotext "$file" - 2>/dev/null)" = "$(pdftotext -f "$page" -l "$page" "$input" - 2>/dev/null)" ] ||
    fail "$file: text differs from page $page"
}

# Runs Tomlet.exe with a command line and waits for it to end (at most 60 s).
run_tomlet() {
  timeout 60 wine "$tomlet" "$@" >/dev/null 2>&1 || true
}

# Tomlet deletes the list file it was handed once it has read it.
list_file_gone() {
  [ ! -e "$tmp_unix/$1" ] || fail "list file $1 left behind"
}

tmp_windows=$(wine cmd /c 'echo %TMP%' 2>/dev/null | tr -d '\r')
tmp_unix=$(winepath -u "$tmp_windows" 2>/dev/null)
mkdir -p "$tmp_unix"

# The list-file form of a single launch: options and path from ~tpfd... in TMP.
make_pdf "$work/report.pdf" 12
input_windows=$(winepath -w "$work/report.pdf")
printf '/d150f /p1 /nt \n%s\n' "$input_windows" >"$tmp_unix/~tpfdA001.tmp"
run_tomlet -Bu '~tpfdA001.tmp'
list_file_gone '~tpfdA001.tmp'
for page in $(seq 1 12); do judge "$work/report_$(printf %02d "$page").pdf" "$work/report.pdf" "$page"; done
grep -q '/XYZ null null 1.500000' "$work/report_05.pdf" || fail "list-file options not applied"
grep -q '/PageLayout /OneColumn' "$work/report_05.pdf" || fail "list-file layout not applied"

# The older form with the path, language forced: the taken names give way.
run_tomlet '/jp-Auto' "$input_windows"
judge "$work/report_01 (2).pdf" "$work/report.pdf" 1
judge "$work/report_12 (2).pdf" "$work/report.pdf" 12

# A path with a space and Japanese characters.
mkdir -p "$work/分解 test"
make_pdf "$work/分解 test/資料.pdf" 3
run_tomlet -Auto "$(winepath -w "$work/分解 test/資料.pdf")"
for page in 1 2 3; do judge "$work/分解 test/資料_$page.pdf" "$work/分解 test/資料.pdf" "$page"; done

# The page-input form: the dialog asks, "3,1" is typed.
make_pdf "$work/pick.pdf" 4
printf '\n%s\n' "$(winepath -w "$work/pick.pdf")" >"$tmp_unix/~tpfdA002.tmp"
wine "$tomlet" /us-Bp '~tpfdA002.tmp' >/dev/null 2>&1 &
pid=$!
dialog=""
for _ in $(seq 1 150); do
  dialog=$(xdotool search --onlyvisible --name '^Tomlet$' 2>/dev/null | head -n1 || true)
  [ -n "$dialog" ] && break
  sleep 0.2
done
if [ -n "$dialog" ]; then
  sleep 0.5
  import -window root "$screens/tomlet-page-input.png" 2>/dev/null || true
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  xdotool type --delay 50 '3,1'
  xdotool key Return
else
  fail "page-input dialog did not appear"
  kill "$pid" 2>/dev/null || true
fi
timeout 60 tail --pid="$pid" -f /dev/null || true
list_file_gone '~tpfdA002.tmp'
judge "$work/pick_3.pdf" "$work/pick.pdf" 3
judge "$work/pick_1.pdf" "$work/pick.pdf" 1
[ ! -e "$work/pick_2.pdf" ] || fail "page 2 written though not asked for"

# The run forms: one notice per file, posted to the window named on the command line, with the
# file's status (0 done, 3 one page, 2 protected, anything else a failure).
receiver="$build/notice_receiver.exe"
if [ -f "$receiver" ]; then
  make_pdf "$work/run1.pdf" 3
  make_pdf "$work/run2.pdf" 1
  notices() {  # LIST_FILE_NAME EXPECTED_NOTICE
    local got
    got=$(timeout 90 wine "$receiver" "$tomlet" "-Bc%H $1" 2>/dev/null | tr -d '\r' | grep '^notice' || true)
    [ "$got" = "notice $2" ] || fail "$1: expected exactly 'notice $2', got '${got//$'\n'/ | }'"
  }
  printf '\n%s\n' "$(winepath -w "$work/run1.pdf")" >"$tmp_unix/~tpfdA003.tmp"
  notices '~tpfdA003.tmp' 0
  list_file_gone '~tpfdA003.tmp'
  for page in 1 2 3; do judge "$work/run1_$page.pdf" "$work/run1.pdf" "$page"; done
  printf '\n%s\n' "$(winepath -w "$work/run2.pdf")" >"$tmp_unix/~tpfdA004.tmp"
  notices '~tpfdA004.tmp' 3
  list_file_gone '~tpfdA004.tmp'
  if qpdf --allow-weak-crypto --encrypt user owner 128 --use-aes=n -- "$work/run1.pdf" "$work/run3.pdf" 2>/dev/null; then
    printf '\n%s\n' "$(winepath -w "$work/run3.pdf")" >"$tmp_unix/~tpfdA005.tmp"
    notices '~tpfdA005.tmp' 2
    list_file_gone '~tpfdA005.tmp'
  fi
  notices '~tpfd-none.tmp' -10
  got=$(timeout 90 wine "$receiver" "$tomlet" "/us-Ac%H $(winepath -w "$work/run1.pdf")" 2>/dev/null | tr -d '\r' | grep -c '^notice 0' || true)
  [ "$got" = 1 ] || fail "-Ac form: $got notices"
  judge "$work/run1_2 (2).pdf" "$work/run1.pdf" 2
else
  fail "$receiver missing"
fi

# The desktop program's several-file run: Folvex.exe launches Tomlet.exe for the first selected
# file, and for each next one when the notice for the previous one arrives; the run ends with one
# message captioned "Tomlet".
folvex_exe="$build/Folvex.exe"
post_drop="$build/post_drop.exe"
# desktop_run NAME PAGES...: one file per page count, all split in one run. The closing message's
# text is left to the screenshot (the native tests check every text of the run).
desktop_run() {
  local name=$1
  shift
  local app="$work/$name" files=() i=0
  mkdir -p "$app"
  for pages in "$@"; do
    i=$((i + 1))
    make_pdf "$app/f$i.pdf" "$pages"
    files+=("$(winepath -w "$app/f$i.pdf")")
  done
  printf '[General]\r\n[Processing]\r\nPageDisp=Off\r\n[File Setting]\r\nDispScale=W\r\n[Tomlet]\r\nTomlet=%s\r\n' \
    "$(winepath -w "$tomlet")" >"$app/Folvex.ini"
  local lists_before
  lists_before=$(find "$tmp_unix" -maxdepth 1 -name '~tpfd*' | wc -l)
  (cd "$app" && exec wine "$folvex_exe" /us >/dev/null 2>&1) &
  local pid=$! main=""
  for _ in $(seq 1 150); do
    main=$(xdotool search --onlyvisible --classname 'folvex\.exe' 2>/dev/null | head -n1 || true)
    [ -n "$main" ] && break
    sleep 0.2
  done
  [ -n "$main" ] || { fail "$name: Folvex.exe did not open"; kill "$pid" 2>/dev/null; return; }
  sleep 1
  wine "$post_drop" 40 80 "${files[@]}" >/dev/null 2>&1
  sleep 1
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key ctrl+a
  sleep 0.5
  xdotool key alt+o
  sleep 0.5
  xdotool key a
  # The question: Yes.
  local question=""
  for _ in $(seq 1 50); do
    question=$(xdotool search --onlyvisible --name '^Folvex$' 2>/dev/null | grep -v "^$main$" | tail -n1 || true)
    [ -n "$question" ] && break
    sleep 0.2
  done
  [ -n "$question" ] || { fail "$name: no question before the run"; }
  import -window root "$screens/split-run-$name-question.png" 2>/dev/null || true
  [ -n "$question" ] && { xdotool windowfocus --sync "$question" 2>/dev/null || true; xdotool key Return; }
  # The run's closing message.
  local done_box=""
  for _ in $(seq 1 300); do
    done_box=$(xdotool search --onlyvisible --name '^Tomlet$' 2>/dev/null | tail -n1 || true)
    [ -n "$done_box" ] && break
    sleep 0.2
  done
  import -window root "$screens/split-run-$name-end.png" 2>/dev/null || true
  [ -n "$done_box" ] || fail "$name: no closing message from the run"
  [ "$(find "$tmp_unix" -maxdepth 1 -name '~tpfd*' | wc -l)" = "$lists_before" ] ||
    fail "$name: the run left list files in TMP"
  i=0
  for pages in "$@"; do
    i=$((i + 1))
    if [ "$pages" -gt 1 ]; then
      for page in $(seq 1 "$pages"); do judge "$app/f${i}_$page.pdf" "$app/f$i.pdf" "$page"; done
      grep -q '/FitH null' "$app/f${i}_1.pdf" || fail "$name: f$i page files lack the open action of the settings"
    else
      [ ! -e "$app/f${i}_1.pdf" ] || fail "$name: a one-page file was split"
    fi
  done
  if [ -n "$done_box" ]; then
    xdotool windowfocus --sync "$done_box" 2>/dev/null || true
    xdotool key Return
  fi
  sleep 0.5
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key ctrl+e
  timeout 30 tail --pid="$pid" -f /dev/null || { fail "$name: Folvex.exe did not end"; kill "$pid" 2>/dev/null; }
  echo "$name: run checked"
}
if [ -f "$folvex_exe" ] && [ -f "$post_drop" ]; then
  desktop_run three-files 3 2 4
  desktop_run one-page-among-three 2 1 3
else
  fail "Folvex.exe or post_drop.exe missing"
fi

rm -f "$tmp_unix"/~tpfdA00[1-5].tmp
if [ "$failures" -gt 0 ]; then
  echo "split_session: $failures failures"
  exit 1
fi
echo "split_session: all passed"
