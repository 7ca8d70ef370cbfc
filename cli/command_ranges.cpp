#include "cli/command_ranges.h"

#include <cctype>

namespace folvex::cli {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsFromEnd(char c) { return c == 'z' || c == 'r'; }

}  // namespace

bool RangesNeedPageCount(std::string_view typed) {
  return typed.find_first_of("zr") != std::string_view::npos || NeedsPageCount(typed);
}

std::optional<std::string> ResolvePagesFromEnd(std::string_view typed, int pageCount) {
  std::string resolved;
  std::size_t i = 0;
  while (i < typed.size()) {
    if (!IsFromEnd(typed[i])) {
      resolved += typed[i++];
      continue;
    }
    if (!resolved.empty() && IsDigit(resolved.back())) return std::nullopt;
    long long fromEnd = 1;
    std::size_t end = i + 1;
    if (typed[i] == 'r') {
      while (end < typed.size() && IsDigit(typed[end]) && end - i <= 10) ++end;
      if (end == i + 1 || end - i > 10) return std::nullopt;
      fromEnd = std::stoll(std::string(typed.substr(i + 1, end - i - 1)));
    }
    if (end < typed.size() && (IsDigit(typed[end]) || IsFromEnd(typed[end]))) return std::nullopt;
    const long long page = pageCount + 1LL - fromEnd;
    if (fromEnd < 1 || page < 1) return std::nullopt;
    resolved += std::to_string(page);
    i = end;
  }
  return resolved;
}

PageRangeResult ParseCommandRanges(std::string_view typed, int pageCount) {
  PageRangeResult result;
  const bool fromEnd = typed.find_first_of("zr") != std::string_view::npos;
  if (fromEnd && pageCount < 0) {
    result.Error = PageRangeError::PageCountNeeded;
    return result;
  }
  const std::optional<std::string> resolved = fromEnd ? ResolvePagesFromEnd(typed, pageCount) : std::string(typed);
  if (resolved) {
    result = ParsePageRanges(*resolved, pageCount);
  } else {
    result.Error = PageRangeError::Syntax;
  }
  if (fromEnd && result.Error != PageRangeError::None) result.Normalized = std::string(typed);
  return result;
}

}  // namespace folvex::cli
