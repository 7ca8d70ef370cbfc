#include "engine/security/crypt_filter_entries.h"

#include <algorithm>
#include <string_view>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// The entry of key, from the key to the end of its value; value is where the value starts.
// Empty when the key is absent or its value cannot be read.
ByteRange Entry(std::string_view key, const Byte* start, const Byte* end, const Byte*& value) {
  int error = 0;
  const Byte* found = FindKey(key, start, end, error);
  if (found == nullptr) return {};
  value = found + key.size();
  if (SkipWhitespace(value, end, error) < 0) return {};
  const Byte* valueEnd = value;
  if (!SkipObjectValue(valueEnd, end)) return {};
  return {found, valueEnd};
}

// The elements of the array whose "[" is at p; each runs to the start of the next, so that
// leaving one out takes its separator with it.
std::vector<ByteRange> Elements(const Byte* p, const Byte* end) {
  std::vector<ByteRange> elements;
  int error = 0;
  for (++p;;) {
    if (SkipWhitespace(p, end, error) < 0 || *p == ']') break;
    const Byte* next = p;
    if (!SkipObjectValue(next, end)) break;
    elements.push_back({p, next});
    p = next;
  }
  for (std::size_t i = 0; i + 1 < elements.size(); ++i) elements[i].To = elements[i + 1].From;
  return elements;
}

bool IsCryptName(const Byte* p, const Byte* end) {
  constexpr std::string_view kCrypt = "/Crypt";
  return StartsWith(p, end, kCrypt) && (p + kCrypt.size() >= end || IsDelimiter(p[kCrypt.size()]));
}

}  // namespace

std::vector<ByteRange> CryptFilterEntries(const Byte* start, const Byte* end) {
  const Byte* filterValue = nullptr;
  const ByteRange filter = Entry("/Filter", start, end, filterValue);
  if (filter.From == nullptr) return {};
  const Byte* parmsValue = nullptr;
  const ByteRange parms = Entry("/DecodeParms", start, end, parmsValue);

  std::vector<ByteRange> cuts;
  const std::vector<ByteRange> filters =
      *filterValue == '[' ? Elements(filterValue, filter.To) : std::vector<ByteRange>{{filterValue, filter.To}};
  // A /Crypt filter comes first, before the filters that decode the data.
  if (filters.empty() || !IsCryptName(filters[0].From, filter.To)) return {};
  if (filters.size() == 1) {
    cuts.push_back(filter);
    if (parms.From != nullptr) cuts.push_back(parms);
  } else {
    cuts.push_back(filters[0]);
    if (parms.From != nullptr && *parmsValue == '[') {
      if (const std::vector<ByteRange> each = Elements(parmsValue, parms.To); !each.empty()) cuts.push_back(each[0]);
    }
  }
  std::sort(cuts.begin(), cuts.end(), [](const ByteRange& a, const ByteRange& b) { return a.From < b.From; });
  return cuts;
}

}  // namespace folvex
