// The page-range input of Extract: every text with its pages or its refusal, and the messages that
// quote it. The command around it is driven in tests/app/jobs.
#include "app/commands/page_ranges.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(PageRanges, EveryTextGivesItsPagesInOrderOrItsRefusal) {
  using enum PageRangeError;
  // The text typed, the page count (-1: the row is uncounted, the job checks the pages), the text
  // as the messages quote it, and the 1-based pages.
  struct Case { const char* Typed; int PageCount; const char* Normalized; PageRangeError Error; const char* Pages; };
  const Case cases[] = {
      {"1,3-5,12-9,20-", 25, "1,3-5,12-9,20-25", None, "1,3,4,5,12,11,10,9,20,21,22,23,24,25"},
      {"1 3 5", 9, "1,3,5", None, "1,3,5"}, {"1  3", 9, "1,3", None, "1,3"}, {"2 - 4", 9, "2-4", None, "2,3,4"},
      {"1 -3", 9, "1-3", None, "1,2,3"}, {" 4 ", 9, "4", None, "4"}, {"7,", 9, "7", None, "7"}, {"3-3", 5, "3-3", None, "3"},
      {"-5", 9, "1-5", None, "1,2,3,4,5"}, {"-", 4, "1-4", None, "1,2,3,4"}, {"3-,1", 5, "3-5,1", None, "3,4,5,1"},
      {"2,-2", 5, "2,1-2", None, "2,1,2"}, {"5-,", 6, "5-6", None, "5,6"}, {"2,2,1-2", 5, "2,2,1-2", None, "2,2,1,2"},
      {"007", 9, "007", None, "7"}, {"6-1", 6, "6-1", None, "6,5,4,3,2,1"}, {"1", 1, "1", None, "1"}, {"11", 11, "11", None, "11"},
      {"10-12", -1, "10-12", None, "10,11,12"}, {"2147483647", -1, "2147483647", None, "2147483647"},
      {"3-0", 9, "3-0", Syntax, ""}, {"0", 9, "0", Syntax, ""}, {"0-3", -1, "0-3", Syntax, ""}, {"00", 9, "00", Syntax, ""},
      {"1,,3", 9, "1,,3", Syntax, ""}, {",1", 9, ",1", Syntax, ""}, {"7,,", 9, "7,", Syntax, ""}, {",", 9, "", Syntax, ""},
      {"   ", 9, "", Syntax, ""}, {"1-2-3", 9, "1-2-3", Syntax, ""}, {"--5", 9, "1--5", Syntax, ""}, {"a", 9, "a", Syntax, ""},
      {"1,b-3", 9, "1,b-3", Syntax, ""}, {"1.5", 9, "1.5", Syntax, ""}, {"1\t3", 9, "1\t3", Syntax, ""}, {"+3", 9, "+3", Syntax, ""},
      {"\xEF\xBC\x91", 9, "\xEF\xBC\x91", Syntax, ""},  // a full-width digit
      {"10-12", 11, "10-12", OutOfRange, ""}, {"12-10", 11, "12-10", OutOfRange, ""}, {"12", 11, "12", OutOfRange, ""},
      {"2147483648", -1, "2147483648", OutOfRange, ""},
      {"99999999999999999999999999", -1, "99999999999999999999999999", OutOfRange, ""},
      {"1-99999999999999999999999999", 30, "1-99999999999999999999999999", OutOfRange, ""},
      {"5-", 1, "5-1", OnlyOnePage, ""}, {"20-", -1, "20-", PageCountNeeded, ""}, {"-", -1, "1-", PageCountNeeded, ""},
      {"1-2000000000", -1, "1-2000000000", TooManyPages, ""}, {"1-6000000,6000000-1", -1, "1-6000000,6000000-1", TooManyPages, ""},
  };
  for (const Case& c : cases) {
    const PageRangeResult result = ParsePageRanges(c.Typed, c.PageCount);
    std::string pages;
    for (const int32_t index : result.PageIndexList) pages += (pages.empty() ? "" : ",") + std::to_string(index + 1);
    EXPECT_EQ(result.Error, c.Error) << c.Typed;
    EXPECT_EQ(result.Normalized + " " + pages, std::string(c.Normalized) + " " + c.Pages) << c.Typed;
    EXPECT_EQ(NormalizePageRanges(c.Typed, c.PageCount), c.Normalized) << c.Typed;
  }
  for (const char* typed : {"20-", "-", "3-,5", "1 - ", "5-,"}) EXPECT_TRUE(NeedsPageCount(typed)) << typed;
  for (const char* typed : {"-5", "1,3-5", "10-12", "", "a", "1-2-3"}) EXPECT_FALSE(NeedsPageCount(typed)) << typed;

  const std::string longest = "1-" + std::to_string(kMaxPageIndexCount);
  const PageRangeResult result = ParsePageRanges(longest, -1);
  ASSERT_EQ(static_cast<int64_t>(result.PageIndexList.size()), kMaxPageIndexCount);
  EXPECT_EQ(result.PageIndexList.back(), kMaxPageIndexCount - 1);
  EXPECT_EQ(ParsePageRanges(longest + ",1", -1).Error, TooManyPages);
}

TEST(PageRanges, MessagesQuoteTheNormalizedText) {
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("10 - 12", 11), false), "Bad Page Input\n  \"10-12\"");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("3-0", 5), true), "ページの指定方法に誤りがあります\n  \"3-0\"");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("5-", 1), true), "１ページからなるファイルです");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("1-20000000", -1), true), "メモリが確保できません");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("1-3", 5), false), "");
}

}  // namespace
}  // namespace folvex
