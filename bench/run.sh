#!/usr/bin/env bash
# Page counting on large files: folvex info against qpdf --show-npages and mutool info, measured in
# the same run. Usage: bench/run.sh [PAGES] (default 50000). Needs a native build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-50000}
cmake --build build -j2 --target folvex make_large_pdf >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/make_large_pdf "$pages" "$work/classic.pdf"
qpdf --object-streams=generate "$work/classic.pdf" "$work/streams.pdf"
strip_table() { head -c "$(grep -abo '^xref' "$1" | tail -n1 | cut -d: -f1)" "$1"; }
strip_table "$work/classic.pdf" > "$work/damaged.pdf"

# Best of five wall-clock runs, in milliseconds.
best_ms() {
  local best=999999999
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    local ms=$(( (end - start) / 1000000 ))
    [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}

printf "%-10s %10s %10s %10s %14s %14s\n" file folvex qpdf mutool "qpdf/folvex" "mutool/folvex"
for kind in classic streams damaged; do
  f="$work/$kind.pdf"
  ours=$(best_ms build/folvex info "$f")
  q=$(best_ms qpdf --show-npages "$f")
  m=$(best_ms mutool info "$f")
  printf "%-10s %8sms %8sms %8sms %14s %14s\n" "$kind" "$ours" "$q" "$m" \
    "$(awk "BEGIN{printf \"%.2f\", $q/($ours>0?$ours:1)}")" "$(awk "BEGIN{printf \"%.2f\", $m/($ours>0?$ours:1)}")"
done
echo "sizes: $(du -h "$work"/*.pdf | tr '\n' ' ')"
build/folvex info "$work"/*.pdf
