#include "engine/security/crypt_filter_entries.h"

#include <algorithm>
#include <string>
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

// Where a stream names its own /Crypt filter: the /Filter entry and the name in it, and the
// /DecodeParms entry with the parameters that belong to /Crypt (a dictionary, or null).
struct CryptFilter {
  ByteRange Filter;
  ByteRange Name;  // the /Crypt element, or the whole value when it is the only filter
  bool Only = false;
  ByteRange Parms;
  ByteRange OwnParms;  // the whole value when /Crypt is the only filter, else the array's first element
};

// False when the stream dictionary [start, end) has no /Crypt filter: one comes first, before the
// filters that decode the data.
bool FindCryptFilter(const Byte* start, const Byte* end, CryptFilter& found) {
  const Byte* filterValue = nullptr;
  found.Filter = Entry("/Filter", start, end, filterValue);
  if (found.Filter.From == nullptr) return false;
  const std::vector<ByteRange> filters = *filterValue == '[' ? Elements(filterValue, found.Filter.To)
                                                             : std::vector<ByteRange>{{filterValue, found.Filter.To}};
  if (filters.empty() || !IsCryptName(filters[0].From, found.Filter.To)) return false;
  found.Name = filters[0];
  found.Only = filters.size() == 1;
  const Byte* parmsValue = nullptr;
  found.Parms = Entry("/DecodeParms", start, end, parmsValue);
  if (found.Parms.From == nullptr) return true;
  if (found.Only) {
    found.OwnParms = {parmsValue, found.Parms.To};
  } else if (*parmsValue == '[') {
    if (const std::vector<ByteRange> each = Elements(parmsValue, found.Parms.To); !each.empty()) found.OwnParms = each[0];
  }
  return true;
}

}  // namespace

std::vector<ByteRange> CryptFilterEntries(const Byte* start, const Byte* end) {
  CryptFilter crypt;
  if (!FindCryptFilter(start, end, crypt)) return {};
  std::vector<ByteRange> cuts;
  if (crypt.Only) {
    cuts.push_back(crypt.Filter);
    if (crypt.Parms.From != nullptr) cuts.push_back(crypt.Parms);
  } else {
    cuts.push_back(crypt.Name);
    if (crypt.OwnParms.From != nullptr) cuts.push_back(crypt.OwnParms);
  }
  std::sort(cuts.begin(), cuts.end(), [](const ByteRange& a, const ByteRange& b) { return a.From < b.From; });
  return cuts;
}

std::string CryptFilterName(const Byte* start, const Byte* end) {
  CryptFilter crypt;
  if (!FindCryptFilter(start, end, crypt)) return {};
  const Byte* parms = crypt.OwnParms.From;
  if (parms == nullptr || !StartsWith(parms, crypt.OwnParms.To, "<<")) return "Identity";
  const Byte* parmsEnd = FindDictEnd(parms + 2, crypt.OwnParms.To);
  if (parmsEnd == nullptr) return "Identity";
  const Byte* value = nullptr;
  const ByteRange name = Entry("/Name", parms + 2, parmsEnd, value);
  if (name.From == nullptr || *value != '/') return "Identity";
  const Byte* nameEnd = value + 1;
  while (nameEnd < name.To && !IsDelimiter(*nameEnd) && !IsWhitespace(*nameEnd)) ++nameEnd;
  return std::string(value + 1, nameEnd);
}

}  // namespace folvex
