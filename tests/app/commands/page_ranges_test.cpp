#include "app/commands/page_ranges.h"

#include <gtest/gtest.h>

#include <numeric>

namespace folvex {
namespace {

std::vector<int32_t> Pages(std::initializer_list<int32_t> oneBased) {
  std::vector<int32_t> indices;
  for (int32_t page : oneBased) indices.push_back(page - 1);
  return indices;
}

struct GoodCase {
  const char* Typed;
  int PageCount;
  const char* Normalized;
  std::vector<int32_t> Indices;
};

TEST(PageRanges, ValidTextsGiveTheirPagesInOrder) {
  const GoodCase cases[] = {
      {"1,3-5,12-9,20-", 25, "1,3-5,12-9,20-25", Pages({1, 3, 4, 5, 12, 11, 10, 9, 20, 21, 22, 23, 24, 25})},
      {"1 3 5", 9, "1,3,5", Pages({1, 3, 5})},
      {"1  3", 9, "1,3", Pages({1, 3})},
      {"2 - 4", 9, "2-4", Pages({2, 3, 4})},
      {"1 -3", 9, "1-3", Pages({1, 2, 3})},
      {" 4 ", 9, "4", Pages({4})},
      {"7,", 9, "7", Pages({7})},
      {"-5", 9, "1-5", Pages({1, 2, 3, 4, 5})},
      {"-", 4, "1-4", Pages({1, 2, 3, 4})},
      {"3-,1", 5, "3-5,1", Pages({3, 4, 5, 1})},
      {"2,-2", 5, "2,1-2", Pages({2, 1, 2})},
      {"5-,", 6, "5-6", Pages({5, 6})},
      {"3-3", 5, "3-3", Pages({3})},
      {"2,2,1-2", 5, "2,2,1-2", Pages({2, 2, 1, 2})},
      {"007", 9, "007", Pages({7})},
      {"6-1", 6, "6-1", Pages({6, 5, 4, 3, 2, 1})},
      // Uncounted: indices pass unchecked, up to 32 bits.
      {"10-12", -1, "10-12", Pages({10, 11, 12})},
      {"2147483647", -1, "2147483647", {2147483646}},
  };
  for (const GoodCase& c : cases) {
    const PageRangeResult result = ParsePageRanges(c.Typed, c.PageCount);
    EXPECT_EQ(result.Error, PageRangeError::None) << c.Typed;
    EXPECT_EQ(result.Normalized, c.Normalized) << c.Typed;
    EXPECT_EQ(result.PageIndexList, c.Indices) << c.Typed;
    EXPECT_EQ(NormalizePageRanges(c.Typed, c.PageCount), c.Normalized) << c.Typed;
  }
}

struct BadCase {
  const char* Typed;
  int PageCount;
  PageRangeError Error;
  const char* Normalized;
};

TEST(PageRanges, FaultyTextsAreRefusedWithTheirNormalizedForm) {
  const BadCase cases[] = {
      {"3-0", 9, PageRangeError::Syntax, "3-0"},
      {"0", 9, PageRangeError::Syntax, "0"},
      {"0-3", -1, PageRangeError::Syntax, "0-3"},
      {"00", 9, PageRangeError::Syntax, "00"},
      {"1,,3", 9, PageRangeError::Syntax, "1,,3"},
      {",1", 9, PageRangeError::Syntax, ",1"},
      {"7,,", 9, PageRangeError::Syntax, "7,"},
      {",", 9, PageRangeError::Syntax, ""},
      {"   ", 9, PageRangeError::Syntax, ""},
      {"1-2-3", 9, PageRangeError::Syntax, "1-2-3"},
      {"--5", 9, PageRangeError::Syntax, "1--5"},
      {"a", 9, PageRangeError::Syntax, "a"},
      {"1,b-3", 9, PageRangeError::Syntax, "1,b-3"},
      {"1.5", 9, PageRangeError::Syntax, "1.5"},
      {"1\t3", 9, PageRangeError::Syntax, "1\t3"},
      {"+3", 9, PageRangeError::Syntax, "+3"},
      {"\xEF\xBC\x91", 9, PageRangeError::Syntax, "\xEF\xBC\x91"},  // a full-width digit
      {"10-12", 11, PageRangeError::OutOfRange, "10-12"},
      {"12", 11, PageRangeError::OutOfRange, "12"},
      {"2147483648", -1, PageRangeError::OutOfRange, "2147483648"},
      {"99999999999999999999999999", -1, PageRangeError::OutOfRange, "99999999999999999999999999"},
      {"1-99999999999999999999999999", 30, PageRangeError::OutOfRange, "1-99999999999999999999999999"},
      {"5-", 1, PageRangeError::OnlyOnePage, "5-1"},
      {"20-", -1, PageRangeError::PageCountNeeded, "20-"},
      {"-", -1, PageRangeError::PageCountNeeded, "1-"},
      {"1-2000000000", -1, PageRangeError::TooManyPages, "1-2000000000"},
      {"1-6000000,6000000-1", -1, PageRangeError::TooManyPages, "1-6000000,6000000-1"},
  };
  for (const BadCase& c : cases) {
    const PageRangeResult result = ParsePageRanges(c.Typed, c.PageCount);
    EXPECT_EQ(result.Error, c.Error) << c.Typed;
    EXPECT_EQ(result.Normalized, c.Normalized) << c.Typed;
    EXPECT_TRUE(result.PageIndexList.empty()) << c.Typed;
  }
}

TEST(PageRanges, OnlyOpenEndsNeedThePageCount) {
  for (const char* typed : {"20-", "-", "3-,5", "1 - ", "5-,"}) EXPECT_TRUE(NeedsPageCount(typed)) << typed;
  for (const char* typed : {"-5", "1,3-5", "10-12", "", "a", "1-2-3"}) EXPECT_FALSE(NeedsPageCount(typed)) << typed;
  // A one-page document is refused only where its count is asked for.
  EXPECT_EQ(ParsePageRanges("1", 1).Error, PageRangeError::None);
}

TEST(PageRanges, TheLongestAllowedListIsBuilt) {
  const std::string typed = "1-" + std::to_string(kMaxPageIndexCount);
  const PageRangeResult result = ParsePageRanges(typed, -1);
  ASSERT_EQ(result.Error, PageRangeError::None);
  ASSERT_EQ(static_cast<int64_t>(result.PageIndexList.size()), kMaxPageIndexCount);
  EXPECT_EQ(result.PageIndexList.back(), kMaxPageIndexCount - 1);
  EXPECT_EQ(ParsePageRanges(typed + ",1", -1).Error, PageRangeError::TooManyPages);
}

TEST(PageRanges, MessagesQuoteTheNormalizedText) {
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("10 - 12", 11), false), "Bad Page Input\n  \"10-12\"");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("3-0", 5), true), "ページの指定方法に誤りがあります\n  \"3-0\"");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("5-", 1), false), "This File has only 1 Page");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("5-", 1), true), "１ページからなるファイルです");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("1-20000000", -1), false), "Can't Allocate Memories");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("1-20000000", -1), true), "メモリが確保できません");
  EXPECT_EQ(PageRangeErrorText(ParsePageRanges("1-3", 5), false), "");
}

}  // namespace
}  // namespace folvex
