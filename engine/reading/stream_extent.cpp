#include "engine/reading/stream_extent.h"

#include <cstring>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

bool IsEndstream(const Byte* p, const Byte* end) {
  if (!StartsWith(p, end, "endstream")) return false;
  return p + 9 >= end || EndsToken(p[9]) || p[9] == '/';
}

// Behind a value that is no plain token: a string, a dictionary, an array or a name.
const Byte* ValueEnd(const Byte* p, const Byte* end) {
  const Byte* q = p;
  if (*p == '(' && SkipLiteralString(q, end)) return q;
  if (StartsWith(p, end, "<<")) {
    const Byte* close = FindDictEnd(p + 2, end);
    return close == nullptr ? end : close + 2;
  }
  if (*p == '<' && SkipHexString(q, end)) return q;
  if (*p == '[') {
    int depth = 0;
    for (; q < end; ++q) {
      if (*q == '[') ++depth;
      if (*q == ']' && --depth == 0) return q + 1;
    }
    return end;
  }
  if (*p == '/') {
    ++q;
    while (q < end && !IsDelimiter(*q)) ++q;
    return q;
  }
  return p;
}

// The declared /Length: a direct integer, or the integer object a reference names.
void ReadDeclaredLength(const Byte* dictionary, const Byte* dictEnd, const FileImage* image, const XrefTable* table,
                        StreamExtent& extent) {
  int error = 0;
  const Byte* key = FindKey("/Length", dictionary + 2, dictEnd, error);
  if (key == nullptr) return;
  const Byte* p = key + 7;
  if (SkipWhitespace(p, dictEnd, error) < 0) return;
  extent.LengthValue = p;
  int number = 0, generation = 0;
  if (ReadReference(p, dictEnd, number, generation, error)) {
    extent.LengthValueEnd = p;
    extent.LengthObject = number;
    if (image == nullptr || table == nullptr) return;
    const std::int64_t offset = LookupObjectOffset(*table, number, error);
    const Byte* body = offset <= 0 ? nullptr : LocateObject(image->Begin(), image->End(), offset, number, error);
    if (body == nullptr) return;
    const std::int64_t value = ReadOffset(body, image->End(), error);
    if (value >= 0) extent.Declared = value;
    return;
  }
  // A direct value counts only as a whole token of digits (no sign, no fraction).
  p = extent.LengthValue;
  long long value = 0;
  bool digits = p < dictEnd && IsDigit(*p);
  for (; p < dictEnd && !IsDelimiter(*p); ++p) {
    digits = digits && IsDigit(*p) && value < (1LL << 40);
    if (digits) value = value * 10 + (*p - '0');
  }
  if (p == extent.LengthValue) p = ValueEnd(p, dictEnd);
  extent.LengthValueEnd = p;
  if (digits) extent.Declared = value;
}

}  // namespace

const Byte* StreamDataStart(const Byte* keyword, const Byte* end) {
  const Byte* p = keyword + 6;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p < end && *p == '\r') ++p;
  if (p < end && *p == '\n') ++p;
  return p == keyword + 6 ? nullptr : p;
}

bool FindStreamExtent(const Byte* dictionary, const Byte* dictEnd, const Byte* keyword, const Byte* end,
                      const FileImage* image, const XrefTable* table, StreamExtent& extent) {
  extent = StreamExtent{};
  extent.DictionaryEnd = dictEnd;
  extent.Keyword = keyword;
  extent.Data = StreamDataStart(keyword, end);
  if (extent.Data == nullptr) return false;
  ReadDeclaredLength(dictionary, dictEnd, image, table, extent);
  if (extent.Declared >= 0 && extent.Declared <= end - extent.Data) {
    const Byte* p = extent.Data + extent.Declared;
    while (p < end && IsWhitespace(*p)) ++p;
    // "endstream", a damaged keyword of the same start, or "endobj" where "endstream" belongs:
    // searching for the next "endstream" would run into the objects behind.
    if (StartsWith(p, end, "end")) {
      extent.DataEnd = extent.Data + extent.Declared;
      extent.After = p;
      if (!StartsWith(p, end, "endobj")) {
        extent.After += 3;
        while (extent.After < end && !IsDelimiter(*extent.After)) ++extent.After;
      }
      return true;
    }
  }
  for (const Byte* p = extent.Data; end - p >= 9;) {
    const void* hit = std::memchr(p, 'e', static_cast<std::size_t>(end - p - 8));
    if (hit == nullptr) break;
    p = static_cast<const Byte*>(hit);
    if (IsEndstream(p, end)) {
      const Byte* dataEnd = p;
      if (dataEnd > extent.Data && dataEnd[-1] == '\n') --dataEnd;
      if (dataEnd > extent.Data && dataEnd[-1] == '\r') --dataEnd;
      extent.DataEnd = dataEnd;
      extent.After = p + 9;
      return true;
    }
    ++p;
  }
  return false;
}

}  // namespace folvex
