#!/usr/bin/env bash
# Extract and merge on a large file: folvex against qpdf, mutool and pdfunite, measured in the same
# run. Usage: bench/jobs.sh [PAGES] (default 20000). Needs a native build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-20000}
cmake --build build -j2 --target folvex make_large_pdf >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
f="$work/large.pdf"
build/make_large_pdf "$pages" "$f"

# Best of three wall-clock runs, in milliseconds; a failed run counts as missing.
best_ms() {
  local best=999999999
  for _ in 1 2 3; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "-"; return; }
    end=$(date +%s%N)
    local ms=$(( (end - start) / 1000000 ))
    [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}
ratio() { [ "$2" = "-" ] && echo "-" || awk "BEGIN{printf \"%.2f\", $2/($1>0?$1:1)}"; }

out="$work/out.pdf"
printf "%-22s %9s %9s %9s %9s %12s %12s %14s\n" job folvex qpdf mutool pdfunite qpdf/folvex mutool/folvex pdfunite/folvex
row() {
  local name=$1 ours=$2 q=$3 m=$4 u=$5
  printf "%-22s %7sms %7sms %7sms %7sms %12s %12s %14s\n" "$name" "$ours" "$q" "$m" "$u" \
    "$(ratio "$ours" "$q")" "$(ratio "$ours" "$m")" "$(ratio "$ours" "$u")"
}
row "extract 1-1000" \
  "$(best_ms build/folvex extract "$f" 1-1000 -o "$out" --quiet)" \
  "$(best_ms qpdf --empty --pages "$f" 1-1000 -- "$out")" \
  "$(best_ms mutool merge -o "$out" "$f" 1-1000)" "-"
row "all pages reversed" \
  "$(best_ms build/folvex extract "$f" "$pages-1" -o "$out" --quiet)" \
  "$(best_ms qpdf --empty --pages "$f" z-1 -- "$out")" \
  "$(best_ms mutool merge -o "$out" "$f" "$pages-1")" "-"
row "merge 3 copies" \
  "$(best_ms build/folvex merge "$f" "$f" "$f" -o "$out" --quiet)" \
  "$(best_ms qpdf --empty --pages "$f" "$f" "$f" -- "$out")" \
  "-" \
  "$(best_ms pdfunite "$f" "$f" "$f" "$out")"
echo "input: $(du -h "$f" | cut -f1), $pages pages"
