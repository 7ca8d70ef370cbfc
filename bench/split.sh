#!/usr/bin/env bash
# Split into single pages on a large file: folvex split against qpdf --split-pages (and pdfseparate
# when asked), measured in the same run. Usage: bench/split.sh [PAGES] [--pdfseparate]
# (default 10000 pages). Needs a native build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-10000}
cmake --build build -j2 --target folvex make_large_pdf >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
f="$work/large.pdf"
build/make_large_pdf "$pages" "$f"

# Wall-clock milliseconds of one run into an empty folder; "-" when it failed.
run_ms() {
  local folder=$1
  shift
  rm -rf "$folder"
  mkdir -p "$folder"
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "-"; return; }
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

ours=$(run_ms "$work/folvex" build/folvex split "$f" --output-dir "$work/folvex" --quiet)
written=$(find "$work/folvex" -name '*.pdf' | wc -l)
qpdf_ms=$(run_ms "$work/qpdf" qpdf --split-pages "$f" "$work/qpdf/large-%d.pdf")
echo "pages: $pages (folvex wrote $written files)"
echo "folvex split:       ${ours} ms"
echo "qpdf --split-pages: ${qpdf_ms} ms"
if [ "$ours" != "-" ] && [ "$qpdf_ms" != "-" ]; then
  awk "BEGIN{printf \"qpdf/folvex:        %.2f\n\", $qpdf_ms/($ours>0?$ours:1)}"
fi
if [ "${2:-}" = "--pdfseparate" ]; then
  sep=$(run_ms "$work/sep" pdfseparate "$f" "$work/sep/large-%d.pdf")
  echo "pdfseparate:        ${sep} ms"
fi
