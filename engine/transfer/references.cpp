#include "engine/transfer/references.h"

#include <cstring>
#include <string_view>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

bool EndsReference(Byte c) { return IsDelimiter(c); }

// Skips whitespace and comments; false when end is reached.
bool SkipBlanks(const Byte*& p, const Byte* end) {
  for (;;) {
    while (p < end && IsWhitespace(*p)) ++p;
    if (p >= end) return false;
    if (*p != '%') return true;
    while (p < end && !IsEndOfLine(*p)) ++p;
  }
}

const Byte* SkipDigits(const Byte* p, const Byte* end) {
  while (p < end && IsDigit(*p)) ++p;
  return p;
}

long DecimalValue(const Byte* first, const Byte* last) {
  long value = 0;
  for (const Byte* p = first; p < last && value < 0x7FFFFFFF; ++p) value = value * 10 + (*p - '0');
  return value > 0x7FFFFFFF ? 0x7FFFFFFF : value;
}

// After a first digit run at p (followed by whitespace or a comment): the second run and the "R"
// of a reference, or the "obj" of an object header. Returns the position after the "R" (kind 1)
// or of the first run (kind 2, header), or null.
const Byte* MatchAfterFirstRun(const Byte* firstEnd, const Byte* end, int& kind) {
  const Byte* p = firstEnd;
  if (!SkipBlanks(p, end) || !IsDigit(*p)) return nullptr;
  p = SkipDigits(p, end);
  if (p >= end || !(IsWhitespace(*p) || *p == '%')) return nullptr;
  if (!SkipBlanks(p, end)) return nullptr;
  if (*p == 'R' && p + 1 <= end && (p + 1 == end || EndsReference(p[1]))) {
    kind = 1;
    return p + 1;
  }
  if (StartsWith(p, end, "obj") && (p + 3 == end || IsDelimiter(p[3]))) {
    kind = 2;
    return p;
  }
  return nullptr;
}

bool IsEndstream(const Byte* p, const Byte* end) {
  if (!StartsWith(p, end, "endstream")) return false;
  const Byte next = p + 9 < end ? p[9] : 0;
  return IsWhitespace(next) || next == '(' || next == '<' || next == '[' || next == '{' || next == '%' ||
         next == '/' || next == '>';
}

// The cursor stands on "stream": moves it after the stream's "endstream".
bool SkipStream(const Byte*& cursor, const Byte* end, const StreamContext& stream) {
  const Byte* data = cursor + 6;
  while (data < end && (*data == ' ' || *data == '\t')) ++data;
  if (data < end && *data == '\r') ++data;
  if (data < end && *data == '\n') ++data;
  if (data == cursor + 6) return false;

  // The data ends where /Length says when "endstream" follows there; otherwise at the first
  // "endstream" after the data start.
  const long length = stream.Dictionary == nullptr ? -1 : FindStreamLength(stream, end);
  if (length >= 0 && length <= end - data) {
    const Byte* p = data + length;
    while (p < end && IsWhitespace(*p)) ++p;
    if (IsEndstream(p, end)) {
      cursor = p + 9;
      return true;
    }
  }
  for (const Byte* p = data; end - p >= 9;) {
    const void* hit = std::memchr(p, 'e', static_cast<std::size_t>(end - p - 8));
    if (hit == nullptr) break;
    p = static_cast<const Byte*>(hit);
    if (IsEndstream(p, end)) {
      cursor = p + 9;
      return true;
    }
    ++p;
  }
  return false;
}

}  // namespace

long FindStreamLength(const StreamContext& stream, const Byte* end) {
  if (stream.Dictionary == nullptr || !StartsWith(stream.Dictionary, end, "<<")) return -1;
  const Byte* close = FindDictEnd(stream.Dictionary + 2, end);
  if (close == nullptr) return -1;
  int error = 0;
  const Byte* key = FindKey("/Length", stream.Dictionary + 2, close, error);
  if (key == nullptr) return -1;
  const Byte* p = key + 7;
  int number = 0, generation = 0;
  if (!ReadReference(p, close, number, generation, error)) {
    p = key + 7;
    const int value = ReadInteger(p, close, error);
    return value < 0 ? -1 : value;
  }
  if (stream.Xref == nullptr || stream.Image == nullptr) return -1;
  const int offset = LookupObjectOffset(*stream.Xref, number, error);
  const Byte* body =
      offset <= 0 ? nullptr : LocateObject(stream.Image->Begin(), stream.Image->End(), offset, number, error);
  if (body == nullptr) return -1;
  const int length = ReadInteger(body, stream.Image->End(), error);
  return length < 0 ? -1 : length;
}

ReferenceScan FindNextReference(const Byte*& cursor, const Byte* end, const StreamContext& stream,
                                const Byte*& start, int& number, bool& parent, int& error) {
  const Byte* p = cursor;
  // Separators, comments and strings.
  for (;;) {
    while (p < end && (IsWhitespace(*p) || *p == '<' || *p == '>' || *p == ')' || *p == '[' || *p == ']' ||
                       *p == '{' || *p == '}')) {
      ++p;
    }
    if (p >= end) {
      error = -151;
      return ReferenceScan::Failed;
    }
    if (*p == '%') {
      while (p < end && !IsEndOfLine(*p)) ++p;
      continue;
    }
    if (*p == '(') {
      if (!SkipLiteralString(p, end)) {
        error = -7;
        return ReferenceScan::Failed;
      }
      continue;
    }
    break;
  }
  start = p;
  parent = false;

  if (*p == '/') {
    const Byte* nameEnd = p + 1;
    while (nameEnd < end && !IsDelimiter(*nameEnd)) ++nameEnd;
    cursor = nameEnd;
    if (nameEnd - p == 7 && std::memcmp(p, "/Parent", 7) == 0) {
      const Byte* value = nameEnd;
      if (SkipBlanks(value, end) && IsDigit(*value)) {
        const Byte* firstEnd = SkipDigits(value, end);
        int kind = 0;
        const Byte* after = firstEnd < end && (IsWhitespace(*firstEnd) || *firstEnd == '%')
                                ? MatchAfterFirstRun(firstEnd, end, kind)
                                : nullptr;
        if (after != nullptr && kind == 1) {
          start = value;
          number = static_cast<int>(DecimalValue(value, firstEnd));
          parent = true;
          cursor = after;
          return ReferenceScan::Reference;
        }
      }
    }
    return ReferenceScan::Nothing;
  }

  if (IsDigit(*p)) {
    const Byte* firstEnd = SkipDigits(p, end);
    if (firstEnd >= end) {
      error = -152;
      return ReferenceScan::Failed;
    }
    if (!(IsWhitespace(*firstEnd) || *firstEnd == '%')) {
      while (firstEnd < end && !IsDelimiter(*firstEnd)) ++firstEnd;
      cursor = firstEnd;
      return ReferenceScan::Nothing;
    }
    int kind = 0;
    const Byte* after = MatchAfterFirstRun(firstEnd, end, kind);
    if (after != nullptr && kind == 1) {
      number = static_cast<int>(DecimalValue(p, firstEnd));
      cursor = after;
      return ReferenceScan::Reference;
    }
    if (after != nullptr && kind == 2) {
      // The header of the next object: this object lost its "endobj".
      cursor = p;
      return ReferenceScan::ObjectEnd;
    }
    cursor = firstEnd;
    return ReferenceScan::Nothing;
  }

  if (*p == 's' && StartsWith(p, end, "stream") && (p + 6 >= end || IsWhitespace(p[6]))) {
    cursor = p;
    if (!SkipStream(cursor, end, stream)) {
      error = -155;
      return ReferenceScan::Failed;
    }
    return ReferenceScan::Nothing;
  }

  if (*p == 'e' && StartsWith(p, end, "endobj") && (p + 6 >= end || IsDelimiter(p[6]))) {
    cursor = p;
    return ReferenceScan::ObjectEnd;
  }

  ++p;
  while (p < end && !IsDelimiter(*p)) ++p;
  cursor = p;
  return ReferenceScan::Nothing;
}

}  // namespace folvex
