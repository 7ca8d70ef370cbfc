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

// The cursor stands on "stream": moves it behind the stream's "endstream".
bool SkipStream(const Byte*& cursor, const Byte* end, const StreamContext& stream) {
  StreamExtent extent;
  const Byte* dictEnd = nullptr;
  if (stream.Dictionary != nullptr && StartsWith(stream.Dictionary, end, "<<")) {
    dictEnd = FindDictEnd(stream.Dictionary + 2, end);
  }
  if (dictEnd == nullptr || dictEnd > cursor) {
    // No dictionary of its own: the data still ends at "endstream".
    static const Byte kNoDictionary[] = "<<>>";
    if (!FindStreamExtent(kNoDictionary, kNoDictionary + 2, cursor, end, nullptr, nullptr, extent)) return false;
  } else if (!FindStreamExtent(stream.Dictionary, dictEnd, cursor, end, stream.Image, stream.Xref, extent)) {
    return false;
  }
  cursor = extent.After;
  if (stream.Found != nullptr) *stream.Found = extent;
  return true;
}

}  // namespace

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
