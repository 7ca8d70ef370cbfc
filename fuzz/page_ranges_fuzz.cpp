// Arbitrary range texts, with an unknown page count or one from the first byte: any result other
// than a list of pages inside the document and within the length limit is a fault.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/commands/page_ranges.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace folvex;
  if (size < 1) return 0;
  const int pageCount = data[0] == 0xFF ? -1 : data[0];
  const std::string_view typed(reinterpret_cast<const char*>(data + 1), size - 1);
  const PageRangeResult result = ParsePageRanges(typed, pageCount);
  if ((result.Error == PageRangeError::PageCountNeeded) != (pageCount < 0 && NeedsPageCount(typed))) __builtin_trap();
  if (result.Normalized != NormalizePageRanges(typed, pageCount)) __builtin_trap();
  if (result.Error != PageRangeError::None) {
    if (!result.PageIndexList.empty()) __builtin_trap();
    return 0;
  }
  if (result.PageIndexList.empty() || static_cast<int64_t>(result.PageIndexList.size()) > kMaxPageIndexCount) {
    __builtin_trap();
  }
  for (int32_t index : result.PageIndexList) {
    if (index < 0 || (pageCount >= 0 && index >= pageCount)) __builtin_trap();
  }
  return 0;
}
