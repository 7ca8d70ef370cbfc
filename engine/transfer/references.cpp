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

// What stands behind a first digit run: "g R" (a reference, At behind the "R") or "g obj" (the
// header of the next object, At on "obj").
struct AfterFirstRun {
  enum Kind { Other, Reference, ObjectHeader } What = Other;
  const Byte* At = nullptr;
};

// The first digit run ends at firstEnd (before whitespace or a comment).
AfterFirstRun MatchAfterFirstRun(const Byte* firstEnd, const Byte* end) {
  const Byte* p = firstEnd;
  if (!SkipBlanks(p, end) || !IsDigit(*p)) return {};
  p = SkipDigits(p, end);
  if (p >= end || !(IsWhitespace(*p) || *p == '%')) return {};
  if (!SkipBlanks(p, end)) return {};
  if (*p == 'R' && (p + 1 == end || EndsReference(p[1]))) return {AfterFirstRun::Reference, p + 1};
  if (StartsWith(p, end, "obj") && (p + 3 == end || IsDelimiter(p[3]))) return {AfterFirstRun::ObjectHeader, p};
  return {};
}

// The run of digits at p followed by whitespace or a comment, matched as above.
AfterFirstRun MatchNumberRun(const Byte* p, const Byte* firstEnd, const Byte* end) {
  if (p == firstEnd || firstEnd >= end || !(IsWhitespace(*firstEnd) || *firstEnd == '%')) return {};
  return MatchAfterFirstRun(firstEnd, end);
}

// The cursor stands on "stream": moves it behind the stream's "endstream".
bool SkipStream(const Byte*& cursor, const Byte* end, const StreamContext& stream) {
  StreamExtent extent;
  const Byte* dictEnd = nullptr;
  if (stream.Dictionary != nullptr && StartsWith(stream.Dictionary, end, "<<")) {
    dictEnd = FindDictEnd(stream.Dictionary + 2, end);
  }
  if (dictEnd == nullptr || dictEnd > cursor) {
    // No dictionary of its own: the data still ends at "endstream". Nothing is reported, since no
    // dictionary of the object could take the stream's true length.
    static const Byte kNoDictionary[] = "<<>>";
    if (!FindStreamExtent(kNoDictionary, kNoDictionary + 2, cursor, end, nullptr, nullptr, extent)) return false;
    cursor = extent.After;
    return true;
  }
  if (!FindStreamExtent(stream.Dictionary, dictEnd, cursor, end, stream.Image, stream.Xref, extent)) return false;
  cursor = extent.After;
  if (stream.Found != nullptr) *stream.Found = extent;
  return true;
}

// Passes separators, comments and literal strings. False (error set) when the text ends first or
// a string does not close.
bool SkipToToken(const Byte*& p, const Byte* end, int& error) {
  for (;;) {
    while (p < end && (IsWhitespace(*p) || *p == '<' || *p == '>' || *p == ')' || *p == '[' || *p == ']' ||
                       *p == '{' || *p == '}')) {
      ++p;
    }
    if (p >= end) {
      error = -151;
      return false;
    }
    if (*p == '%') {
      while (p < end && !IsEndOfLine(*p)) ++p;
    } else if (*p == '(') {
      if (!SkipLiteralString(p, end)) {
        error = -7;
        return false;
      }
    } else {
      return true;
    }
  }
}

// A name at p: the value of /Parent is reported as a reference with Parent set.
ReferenceScan ScanName(const Byte* p, const Byte*& cursor, const Byte* end, FoundReference& found) {
  const Byte* nameEnd = p + 1;
  while (nameEnd < end && !IsDelimiter(*nameEnd)) ++nameEnd;
  cursor = nameEnd;
  if (nameEnd - p != 7 || std::memcmp(p, "/Parent", 7) != 0) return ReferenceScan::Nothing;
  const Byte* value = nameEnd;
  if (!SkipBlanks(value, end) || !IsDigit(*value)) return ReferenceScan::Nothing;
  const Byte* firstEnd = SkipDigits(value, end);
  const AfterFirstRun after = MatchNumberRun(value, firstEnd, end);
  if (after.What != AfterFirstRun::Reference) return ReferenceScan::Nothing;
  found = {value, DigitRunValue(value, firstEnd), true};
  cursor = after.At;
  return ReferenceScan::Reference;
}

// A number at p: a reference, the header of the next object (this object lost its "endobj"), or
// a number alone.
ReferenceScan ScanNumber(const Byte* p, const Byte*& cursor, const Byte* end, FoundReference& found, int& error) {
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
  const AfterFirstRun after = MatchAfterFirstRun(firstEnd, end);
  switch (after.What) {
    case AfterFirstRun::Reference:
      found = {p, DigitRunValue(p, firstEnd), false};
      cursor = after.At;
      return ReferenceScan::Reference;
    case AfterFirstRun::ObjectHeader:
      cursor = p;
      return ReferenceScan::ObjectEnd;
    case AfterFirstRun::Other:
      break;
  }
  cursor = firstEnd;
  return ReferenceScan::Nothing;
}

}  // namespace

ReferenceScan FindNextReference(const Byte*& cursor, const Byte* end, const StreamContext& stream,
                                FoundReference& found, int& error) {
  const Byte* p = cursor;
  if (!SkipToToken(p, end, error)) return ReferenceScan::Failed;
  if (*p == '/') return ScanName(p, cursor, end, found);
  if (IsDigit(*p)) return ScanNumber(p, cursor, end, found, error);
  if (*p == 's' && StartsWith(p, end, "stream") && (p + 6 >= end || IsWhitespace(p[6]))) {
    cursor = p;
    if (SkipStream(cursor, end, stream)) return ReferenceScan::Nothing;
    error = -155;
    return ReferenceScan::Failed;
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
