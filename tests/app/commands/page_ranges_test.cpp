// The page-range input of Extract: every text with its pages or its refusal, and the text the
// messages quote. The command around it, with its messages, is driven in tests/app/jobs.
#include "app/commands/page_ranges.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(PageRanges, EveryTextGivesItsPagesInOrderOrItsRefusal) {
  using enum PageRangeError;
  // The text typed, the page count (-1: the row is uncounted, the job checks the pages), the error,
  // the text as the messages quote it (nullptr: as typed), and the 1-based pages.
  struct Case { const char* Typed; int PageCount; PageRangeError Error; const char* Normalized = nullptr; const char* Pages = ""; };
  const Case cases[] = {
      {"1,3-5,12-9,20-", 25, None, "1,3-5,12-9,20-25", "1,3,4,5,12,11,10,9,20,21,22,23,24,25"}, {"1 3 5", 9, None, "1,3,5", "1,3,5"},
      {"1  3", 9, None, "1,3", "1,3"}, {"2 - 4", 9, None, "2-4", "2,3,4"}, {"1 -3", 9, None, "1-3", "1,2,3"}, {" 4 ", 9, None, "4", "4"},
      {"7,", 9, None, "7", "7"}, {"3-3", 5, None, "3-3", "3"}, {"-5", 9, None, "1-5", "1,2,3,4,5"}, {"-", 4, None, "1-4", "1,2,3,4"},
      {"3-,1", 5, None, "3-5,1", "3,4,5,1"}, {"2,-2", 5, None, "2,1-2", "2,1,2"}, {"5-,", 6, None, "5-6", "5,6"},
      {"2,2,1-2", 5, None, nullptr, "2,2,1,2"}, {"007", 9, None, nullptr, "7"}, {"6-1", 6, None, nullptr, "6,5,4,3,2,1"},
      {"1", 1, None, nullptr, "1"}, {"11", 11, None, nullptr, "11"}, {"10-12", -1, None, nullptr, "10,11,12"},
      {"2147483647", -1, None, nullptr, "2147483647"}, {"3-0", 9, Syntax}, {"0", 9, Syntax}, {"0-3", -1, Syntax}, {"00", 9, Syntax},
      {"1,,3", 9, Syntax}, {",1", 9, Syntax}, {"7,,", 9, Syntax, "7,"}, {",", 9, Syntax, ""}, {"   ", 9, Syntax, ""},
      {"1-2-3", 9, Syntax}, {"--5", 9, Syntax, "1--5"}, {"a", 9, Syntax}, {"1,b-3", 9, Syntax}, {"1.5", 9, Syntax},
      {"1\t3", 9, Syntax}, {"+3", 9, Syntax}, {"\xEF\xBC\x91", 9, Syntax},  // a full-width digit
      {"10-12", 11, OutOfRange}, {"12-10", 11, OutOfRange}, {"12", 11, OutOfRange}, {"2147483648", -1, OutOfRange},
      {"99999999999999999999999999", -1, OutOfRange}, {"1-99999999999999999999999999", 30, OutOfRange},
      {"5-", 1, OnlyOnePage, "5-1"}, {"20-", -1, PageCountNeeded}, {"-", -1, PageCountNeeded, "1-"},
      {"1-2000000000", -1, TooManyPages}, {"1-6000000,6000000-1", -1, TooManyPages},
  };
  for (const Case& c : cases) {
    const PageRangeResult result = ParsePageRanges(c.Typed, c.PageCount);
    std::string pages;
    for (const int32_t index : result.PageIndexList) pages += (pages.empty() ? "" : ",") + std::to_string(index + 1);
    const std::string normalized = c.Normalized != nullptr ? c.Normalized : c.Typed;
    EXPECT_EQ(result.Error, c.Error) << c.Typed;
    EXPECT_EQ(result.Normalized + " " + pages, normalized + " " + c.Pages) << c.Typed;
    EXPECT_EQ(NormalizePageRanges(c.Typed, c.PageCount), normalized) << c.Typed;
  }
  for (const char* typed : {"20-", "-", "3-,5", "1 - ", "5-,"}) EXPECT_TRUE(NeedsPageCount(typed)) << typed;
  for (const char* typed : {"-5", "1,3-5", "10-12", "", "a", "1-2-3"}) EXPECT_FALSE(NeedsPageCount(typed)) << typed;

  const std::string longest = "1-" + std::to_string(kMaxPageIndexCount);
  const PageRangeResult result = ParsePageRanges(longest, -1);
  ASSERT_EQ(static_cast<int64_t>(result.PageIndexList.size()), kMaxPageIndexCount);
  EXPECT_EQ(result.PageIndexList.back(), kMaxPageIndexCount - 1);
  EXPECT_EQ(ParsePageRanges(longest + ",1", -1).Error, TooManyPages);
}

}  // namespace
}  // namespace folvex
