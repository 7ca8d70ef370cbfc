#!/usr/bin/env bash
# Writes the folvex(1) manual page from the program's own --help texts, so the page says what the
# built program does: scripts/make_manpage.sh path/to/folvex folvex.1
set -euo pipefail
folvex=$1
out=$2

# Text as roff shows it verbatim: backslashes and minus signs escaped, no line read as a request.
roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }
# The lines of a help text from the heading (such as "Options:") up to the next blank line.
block() { awk -v heading="$1" '$0 == heading { on = 1; next } on && $0 == "" { exit } on'; }
# The subcommands' names, from the "Subcommands:" block.
commands() { "$folvex" --help | block Subcommands: | awk '{ print $1 }'; }

help=$("$folvex" --help)
version=$("$folvex" --version)
{
  echo ".TH FOLVEX 1 \"\" \"${version}\" \"User Commands\""
  echo ".SH NAME"
  echo "folvex \\- $(head -n 1 <<<"$help" | sed 's/^Folvex: //' | sed 's/\.$//' | roff)"
  echo ".SH SYNOPSIS"
  for command in $(commands); do
    echo ".PP"
    "$folvex" "$command" --help | sed -n 's/^Usage: //p' | roff
  done
  echo ".SH DESCRIPTION"
  cat <<'TEXT'
folvex works on whole PDF files without rendering their pages: it writes chosen pages of a file as
a new file, joins files, splits a file into one file per page, and writes protected and unprotected
copies with the standard security handler. Page contents are copied byte for byte. A new file is
written to a hidden file beside it first, read back and checked, and only then takes its name, so a
failed or cancelled command leaves no partial file.
.PP
Pages are given as in 1,3\-5,12\-9,20\- (single pages, ranges, a reversed range runs backwards, an
open end runs to the last page); z is the last page and rN the N\-th page from the end.
For extract and merge an input \- is standard input and \-o \- writes the new file to standard output.
TEXT
  echo ".SH OPTIONS"
  echo ".nf"
  block Options: <<<"$help" | roff
  echo ".fi"
  echo ".SH COMMANDS"
  for command in $(commands); do
    echo ".SS $command"
    "$folvex" "$command" --help | head -n 1 | roff
    echo ".PP"
    echo ".nf"
    "$folvex" "$command" --help | sed -n '/^Usage: /,$p' | sed '/^Exit status:/,$d' | roff
    echo ".fi"
  done
  echo ".SH EXIT STATUS"
  echo ".nf"
  block "Exit status:" <<<"$help" | roff
  echo ".fi"
  echo ".SH EXAMPLES"
  while IFS='|' read -r text example; do
    echo ".TP"
    echo ".B $(roff <<<"$example")"
    roff <<<"$text"
  done <<'EXAMPLES'
Page counts of every PDF file in the folder, one line each: count, tab, path.|folvex info *.pdf
The same as one JSON array, for scripts.|folvex info --json *.pdf
The first page of the file on standard input, written to standard output.|folvex extract - 1 -o - <in.pdf >first.pdf
Pages 1 to 3 and the last page, in that order.|folvex extract report.pdf 1-3,z -o summary.pdf
The first file whole, then the second's last five pages.|folvex merge a.pdf b.pdf --pages r5-z -o both.pdf
A copy that needs a password to open: report-s.pdf.|folvex protect report.pdf --user-password secret
The unprotected copy report-s-r.pdf.|folvex unprotect report-s.pdf --password secret
Every page as a file of its own in the existing folder pages.|folvex split report.pdf --output-dir pages
EXAMPLES
  echo ".SH SEE ALSO"
  echo ".BR qpdf (1),"
  echo ".BR pdfinfo (1)"
} >"$out"
