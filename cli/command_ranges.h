// Page ranges as the command line takes them: the desktop's range syntax plus pages counted from
// the end, "z" the last page and "rN" the N-th page from the end ("r1" is "z"), anywhere a page
// number stands ("z-1", "r3-z", "1,z").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/commands/page_ranges.h"

namespace folvex::cli {

// True when only the page count can turn the text into pages: an open end or a page from the end.
bool RangesNeedPageCount(std::string_view typed);

// The text with each "z" and "rN" replaced by its page number; no value when such a page is before
// the first page, "r" has no number, or a number or another such page touches it ("2z", "zz").
std::optional<std::string> ResolvePagesFromEnd(std::string_view typed, int pageCount);

// ParsePageRanges on the resolved text (pageCount negative: unknown). A failure quotes the text as
// typed.
PageRangeResult ParseCommandRanges(std::string_view typed, int pageCount);

}  // namespace folvex::cli
