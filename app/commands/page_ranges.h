// The page-range input of the Extract command: "1,3-5,12-9,20-" into 0-based page indices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folvex {

// Longest page list a range text may ask for. A longer one is refused like a failed allocation
// rather than built, so that a typed "1-2000000000" cannot take gigabytes.
constexpr int64_t kMaxPageIndexCount = 10'000'000;

enum class PageRangeError {
  None,
  Syntax,           // an empty item, a second '-', a page 0, any other character: "Bad Page Input"
  OutOfRange,       // a page beyond the page count, or beyond 32 bits when the count is unknown: "Bad Page Input"
  OnlyOnePage,      // an open end on a one-page document: "This File has only 1 Page"
  TooManyPages,     // more than kMaxPageIndexCount pages: "Can't Allocate Memories"
  PageCountNeeded,  // an open end, and the caller gave no page count (see NeedsPageCount)
};

struct PageRangeResult {
  PageRangeError Error = PageRangeError::None;
  std::string Normalized;              // the text with spaces and open ends resolved, as the message quotes it
  std::vector<int32_t> PageIndexList;  // filled only when Error is None
};

// True when the text has an open end ("20-", "-", "3-,5") that only the document's page count can
// close. The caller counts the row's pages before ParsePageRanges in that case; a failed count is
// the "Failure" message, and a one-page document gets OnlyOnePage from ParsePageRanges.
bool NeedsPageCount(std::string_view typed);

// Spaces removed (a space between two digits becomes a comma), a leading '-' of an item gets "1",
// one trailing comma is dropped, and a '-' ending an item gets pageCount appended. With pageCount
// negative (unknown) open ends stay open.
std::string NormalizePageRanges(std::string_view typed, int pageCount);

// The page indices the text asks for, in its order: reversed ranges run backwards and repeated pages
// stay. pageCount is the document's page count, or negative when the row is uncounted: then indices
// are not checked against it (the job does that), only limited to 32 bits.
PageRangeResult ParsePageRanges(std::string_view typed, int pageCount);

// The message box text for a failed result: "Bad Page Input\n  \"1-0\"", "This File has only 1 Page",
// "Can't Allocate Memories" or their Japanese forms. Empty for None and PageCountNeeded.
std::string PageRangeErrorText(const PageRangeResult& result, bool japanese);

}  // namespace folvex
