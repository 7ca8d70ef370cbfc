// The header lines of a file ("%PDF-1.7" and the comment line that usually follows it) and the
// header line an output made from it gets.
#pragma once

#include <string>
#include <utility>

#include "engine/core/document.h"

namespace folvex {

// Where the header lines of an input stand: the "%PDF-" line after any leading whitespace and,
// when the next line starts with "%", that comment line. Offsets from the image begin.
struct HeaderLines {
  std::size_t Start = 0;         // the "%PDF-"
  std::size_t FirstEnd = 0;      // the first line's end-of-line bytes
  std::size_t AfterFirst = 0;    // behind them
  std::size_t CommentEnd = 0;    // the comment line's end-of-line bytes (0: no comment line)
  std::size_t AfterComment = 0;  // behind them
};

// Errors of ReadHeaderLines.
constexpr int kBlankInput = -302;
constexpr int kNoHeader = -303;
constexpr int kHeaderRunsOut = -304;

// Returns 0, or one of the errors above.
int ReadHeaderLines(const FileImage& image, HeaderLines& lines);

// The version behind "%PDF-": digits, ".", digits (0 for a part that is missing).
std::pair<long, long> HeaderVersion(const FileImage& image, const HeaderLines& lines);

// Whether the first line, with whatever precedes it, is one that every reader takes: "%PDF-",
// digits, ".", digits, optional blanks and the line end, all within the first 1024 bytes.
bool IsSoundHeader(const FileImage& image, const HeaderLines& lines);

// The header line for an output made from image: its own first line with anything before it
// when that is sound, else "%PDF-" and the version read (1.4 when none can be read) and a line
// feed.
std::string OutputHeaderLine(const FileImage& image, const HeaderLines& lines);

}  // namespace folvex
