#include "app/commands/page_ranges.h"

#include <cstdint>
#include <cstdlib>

#include "app/text/texts.h"

namespace folvex {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Steps that need no page count: spaces, the "1" of a leading '-', one trailing comma.
std::string NormalizeWithoutCount(std::string_view typed) {
  std::string spaced;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const char c = typed[i];
    if (c != ' ') {
      spaced += c;
    } else if (!spaced.empty() && IsDigit(spaced.back()) && i + 1 < typed.size() && IsDigit(typed[i + 1])) {
      spaced += ',';
    }
  }
  std::string out;
  for (char c : spaced) {
    if (c == '-' && (out.empty() || out.back() == ',')) out += '1';
    out += c;
  }
  if (!out.empty() && out.back() == ',') out.pop_back();
  return out;
}

bool IsOpenEnd(const std::string& text, std::size_t i) {
  return text[i] == '-' && (i + 1 == text.size() || text[i + 1] == ',');
}

bool HasOpenEnd(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsOpenEnd(text, i)) return true;
  }
  return false;
}

std::string CloseOpenEnds(const std::string& text, int pageCount) {
  if (pageCount < 0) return text;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (IsOpenEnd(text, i)) out += std::to_string(pageCount);
  }
  return out;
}

// A page number too large for any document; larger values are not told apart.
constexpr int64_t kHugePage = int64_t{1} << 40;

struct Item {
  int64_t First = 0;
  int64_t Last = 0;
};

// A non-empty run of digits at text[pos...]; its value saturated at kHugePage, 0 when there is none.
int64_t ReadNumber(std::string_view text, std::size_t& pos) {
  int64_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    value = value * 10 + (text[pos] - '0');
    if (value > kHugePage) value = kHugePage;
    ++pos;
  }
  return value;
}

// "n" or "a-b" with every number at least 1.
bool ParseItem(std::string_view item, Item& out) {
  std::size_t pos = 0;
  if (item.empty() || !IsDigit(item[0])) return false;
  out.First = out.Last = ReadNumber(item, pos);
  if (pos < item.size()) {
    if (item[pos] != '-') return false;
    ++pos;
    if (pos == item.size() || !IsDigit(item[pos])) return false;
    out.Last = ReadNumber(item, pos);
    if (pos != item.size()) return false;
  }
  return out.First >= 1 && out.Last >= 1;
}

}  // namespace

bool NeedsPageCount(std::string_view typed) { return HasOpenEnd(NormalizeWithoutCount(typed)); }

std::string NormalizePageRanges(std::string_view typed, int pageCount) {
  return CloseOpenEnds(NormalizeWithoutCount(typed), pageCount);
}

PageRangeResult ParsePageRanges(std::string_view typed, int pageCount) {
  PageRangeResult result;
  const std::string open = NormalizeWithoutCount(typed);
  result.Normalized = CloseOpenEnds(open, pageCount);
  if (HasOpenEnd(open)) {
    if (pageCount < 0) {
      result.Error = PageRangeError::PageCountNeeded;
      return result;
    }
    if (pageCount == 1) {
      result.Error = PageRangeError::OnlyOnePage;
      return result;
    }
  }

  std::vector<Item> items;
  const std::string_view text = result.Normalized;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view piece = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    Item item;
    if (!ParseItem(piece, item)) {
      result.Error = PageRangeError::Syntax;
      return result;
    }
    items.push_back(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }

  const int64_t highest = pageCount >= 0 ? pageCount : INT32_MAX;
  int64_t total = 0;
  for (const Item& item : items) {
    if (item.First > highest || item.Last > highest) {
      result.Error = PageRangeError::OutOfRange;
      return result;
    }
    total += std::llabs(item.Last - item.First) + 1;
  }
  if (total > kMaxPageIndexCount) {
    result.Error = PageRangeError::TooManyPages;
    return result;
  }

  result.PageIndexList.reserve(static_cast<std::size_t>(total));
  for (const Item& item : items) {
    const int64_t step = item.First <= item.Last ? 1 : -1;
    for (int64_t page = item.First;; page += step) {
      result.PageIndexList.push_back(static_cast<int32_t>(page - 1));
      if (page == item.Last) break;
    }
  }
  return result;
}

std::string PageRangeErrorText(const PageRangeResult& result, bool japanese) {
  switch (result.Error) {
    case PageRangeError::Syntax:
    case PageRangeError::OutOfRange:
      return std::string(Text(TextId::BadPageInput, japanese)) + '"' + result.Normalized + '"';
    case PageRangeError::OnlyOnePage: return std::string(Text(TextId::OnlyOnePage, japanese));
    case PageRangeError::TooManyPages: return std::string(Text(TextId::CantAllocateMemories, japanese));
    case PageRangeError::None:
    case PageRangeError::PageCountNeeded: break;
  }
  return {};
}

}  // namespace folvex
