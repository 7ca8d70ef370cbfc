#include "engine/reading/scanners.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>

namespace folvex {

int SkipWhitespaceAndComments(const Byte*& cursor, const Byte* end, int& lastError) {
  int passed = 0;
  for (;;) {
    while (cursor < end && IsWhitespace(*cursor)) {
      ++cursor;
      ++passed;
    }
    if (cursor >= end) {
      lastError = -154;
      return -1;
    }
    if (*cursor != '%') return passed;
    while (cursor < end && !IsEndOfLine(*cursor)) {
      ++cursor;
      ++passed;
    }
    if (cursor >= end) {
      lastError = -155;
      return -1;
    }
  }
}

bool SkipPlainWhitespace(const Byte*& cursor, const Byte* end) {
  while (cursor < end && IsWhitespace(*cursor)) ++cursor;
  return cursor < end;
}

// ReadInteger with the value saturating at limit.
static std::int64_t ReadDigits(const Byte*& cursor, const Byte* end, int& lastError, std::int64_t limit) {
  lastError = 0;
  if (cursor >= end) {
    lastError = -9;
    return -1;
  }
  int ignored = 0;
  if (SkipWhitespace(cursor, end, ignored) < 0) {
    lastError = -10;
    return -1;
  }
  if (!IsDigit(*cursor)) {
    lastError = -11;
    return -1;
  }
  const Byte* digits = cursor;
  while (digits < end && IsDigit(*digits)) ++digits;
  if (digits >= end) {
    if (end - cursor > 20) {
      lastError = -12;
      return -1;
    }
    const std::int64_t value = DigitRunValue(cursor, end, limit);
    cursor = end;
    return value;
  }
  if (!IsDelimiter(*digits)) {
    lastError = -13;
    return -1;
  }
  const std::int64_t value = DigitRunValue(cursor, digits, limit);
  cursor = digits;
  return value;
}

int ReadInteger(const Byte*& cursor, const Byte* end, int& lastError) {
  return static_cast<int>(ReadDigits(cursor, end, lastError, INT32_MAX));
}

std::int64_t ReadOffset(const Byte*& cursor, const Byte* end, int& lastError) {
  return ReadDigits(cursor, end, lastError, kMaxReadOffset);
}

int FindKeywordBackward(const Byte* lower, const Byte*& position, std::string_view keyword, int& lastError) {
  lastError = 0;
  const std::size_t length = keyword.size();
  if (length == 0) {
    lastError = -13;
    return 0;
  }
  const Byte* upper = position;
  for (;;) {
    if (upper - lower < static_cast<std::ptrdiff_t>(length)) {
      lastError = -14;
      return 0;
    }
    const Byte* match = nullptr;
    for (const Byte* candidate = upper - length;; --candidate) {
      if (std::memcmp(candidate, keyword.data(), length) == 0) {
        bool before = candidate == lower || IsWhitespace(candidate[-1]);
        const Byte* after = candidate + length;
        bool behind = after == upper || IsWhitespace(*after) || *after == '%';
        if (before && behind) {
          match = candidate;
          break;
        }
      }
      if (candidate == lower) break;
    }
    if (match == nullptr) {
      lastError = -14;
      return 0;
    }
    const Byte* comment = nullptr;
    for (const Byte* p = match; p > lower;) {
      --p;
      if (IsEndOfLine(*p)) break;
      if (*p == '%') comment = p;
    }
    if (comment == nullptr) {
      position = match;
      return 1;
    }
    upper = comment;
  }
}

bool SkipLiteralString(const Byte*& cursor, const Byte* end) {
  int nesting = 1;
  ++cursor;
  while (cursor < end) {
    Byte c = *cursor++;
    if (c == '\\') {
      if (cursor >= end) return false;
      ++cursor;
    } else if (c == '(') {
      ++nesting;
    } else if (c == ')') {
      if (--nesting == 0) return true;
    }
  }
  return false;
}

bool SkipHexString(const Byte*& cursor, const Byte* end) {
  ++cursor;
  while (cursor < end && *cursor != '>') ++cursor;
  if (cursor >= end) return false;
  ++cursor;
  return true;
}

// A "(" ends a token too, so that a literal string glued to a name is skipped as a string.
// True when a hexadecimal string starts at cursor: "<" followed by hex digits and whitespace up to ">".
static bool AtHexString(const Byte* cursor, const Byte* end) {
  for (const Byte* p = cursor + 1; p < end; ++p) {
    if (*p == '>') return true;
    if (!IsWhitespace(*p) && !std::isxdigit(*p)) return false;
  }
  return false;
}

// One pass of the dictionary-end search; skipLeading chooses whether each step starts by skipping
// whitespace and comments.
static const Byte* ScanForDictEnd(const Byte* start, const Byte* end, bool skipLeading) {
  int depth = 0;
  const Byte* p = start;
  int ignored = 0;
  for (;;) {
    if (skipLeading && SkipWhitespace(p, end, ignored) < 0) return nullptr;
    if (p >= end) return nullptr;
    const bool pair = end - p >= 2 && p[1] == p[0];
    if (pair && *p == '>') {
      if (depth == 0) return p;
      --depth;
      p += 2;
      continue;
    }
    if (pair && *p == '<') {
      ++depth;
      p += 2;
      continue;
    }
    if (*p == '(') {
      if (!SkipLiteralString(p, end)) return nullptr;
      continue;
    }
    if (*p == '<' && AtHexString(p, end)) {
      // A hexadecimal string is one token, so a ">>" glued to its closing ">" is still found.
      SkipHexString(p, end);
      continue;
    }
    ++p;
    while (p < end && !EndsToken(*p)) ++p;
    for (;;) {
      while (p < end && (IsWhitespace(*p) || *p == ')' || *p == '[' || *p == ']' || *p == '{' || *p == '}')) ++p;
      if (p < end && *p == '%') {
        while (p < end && !IsEndOfLine(*p)) ++p;
        continue;
      }
      break;
    }
  }
}

const Byte* FindDictEnd(const Byte* start, const Byte* end) {
  if (const Byte* found = ScanForDictEnd(start, end, true)) return found;
  return ScanForDictEnd(start, end, false);
}

static bool EndsKey(Byte c) {
  return IsWhitespace(c) || c == '(' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' ||
         c == '%' || c == '/';
}

const Byte* FindKey(std::string_view key, const Byte* start, const Byte* end, int& lastError) {
  lastError = 0;
  const std::ptrdiff_t keyLength = static_cast<std::ptrdiff_t>(key.size());
  if (key.empty() || end - start < keyLength) {
    lastError = -2;
    return nullptr;
  }
  const Byte* limit = end - keyLength;
  const Byte* p = start;
  int depth = 0;
  for (;;) {
    for (;;) {
      if (p > limit) {
        lastError = -2;
        return nullptr;
      }
      Byte c = *p;
      if (IsWhitespace(c) || c == '[' || c == ']' || c == '{' || c == '}') {
        ++p;
      } else if ((c == '<' || c == '>') && p[1] == c) {
        depth += c == '<' ? 1 : -1;
        p += 2;
      } else if (c == '<' && AtHexString(p, end)) {
        // A hexadecimal string is one token, so a key glued to its closing ">" is still seen.
        SkipHexString(p, end);
      } else if (c == '<' || c == '>') {
        ++p;
      } else if (c == '%') {
        while (p < end && !IsEndOfLine(*p)) ++p;
      } else if (c == '(') {
        if (!SkipLiteralString(p, end)) {
          lastError = -2;
          return nullptr;
        }
      } else {
        break;
      }
    }
    if (depth == 0 && *p == static_cast<Byte>(key[0]) && std::memcmp(p, key.data(), key.size()) == 0 &&
        EndsKey(p[keyLength])) {
      return p;
    }
    ++p;
    while (p < end && !IsDelimiter(*p)) ++p;
    if (p > limit) {
      lastError = -3;
      return nullptr;
    }
  }
}

// The keys at the outer level of [start, end); with toDictEnd, the scan goes on to the ">>" that
// closes the dictionary and returns it (null when end comes first), else it stops once every key
// is found.
static const Byte* ScanKeys(std::span<const std::string_view> keys, const Byte* start, const Byte* end,
                            std::span<const Byte*> found, bool toDictEnd) {
  std::size_t shortest = SIZE_MAX;
  std::size_t missing = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    found[i] = nullptr;
    if (keys[i].empty()) continue;
    shortest = std::min(shortest, keys[i].size());
    ++missing;
  }
  // The tokens are those FindKey passes over; a key is looked for only where it still fits, and
  // the dictionary's end only where ">>" fits.
  const std::size_t needed = toDictEnd ? 2 : shortest;
  if ((missing == 0 && !toDictEnd) || end - start < static_cast<std::ptrdiff_t>(needed)) return nullptr;
  const Byte* limit = end - needed;
  const Byte* p = start;
  int depth = 0;
  for (;;) {
    for (;;) {
      if (p > limit) return nullptr;
      Byte c = *p;
      if (IsWhitespace(c) || c == '[' || c == ']' || c == '{' || c == '}') {
        ++p;
      } else if ((c == '<' || c == '>') && p[1] == c) {
        if (c == '>' && depth == 0 && toDictEnd) return p;
        depth += c == '<' ? 1 : -1;
        p += 2;
      } else if (c == '<' && AtHexString(p, end)) {
        SkipHexString(p, end);
      } else if (c == '<' || c == '>') {
        ++p;
      } else if (c == '%') {
        while (p < end && !IsEndOfLine(*p)) ++p;
      } else if (c == '(') {
        if (!SkipLiteralString(p, end)) return nullptr;
      } else {
        break;
      }
    }
    if (depth == 0 && missing != 0) {
      for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view key = keys[i];
        if (found[i] != nullptr || key.empty() || end - p < static_cast<std::ptrdiff_t>(key.size())) continue;
        // Every key starts with "/": the byte after it tells most of them apart before memcmp.
        if (*p == static_cast<Byte>(key[0]) && (key.size() < 2 || p[1] == static_cast<Byte>(key[1])) &&
            std::memcmp(p, key.data(), key.size()) == 0 && EndsKey(p[key.size()])) {
          found[i] = p;
          if (--missing == 0 && !toDictEnd) return nullptr;
          break;
        }
      }
    }
    ++p;
    while (p < end && !IsDelimiter(*p)) ++p;
    if (p > limit) return nullptr;
  }
}

void FindKeys(std::span<const std::string_view> keys, const Byte* start, const Byte* end, std::span<const Byte*> found) {
  ScanKeys(keys, start, end, found, false);
}

const Byte* FindKeysAndDictEnd(std::span<const std::string_view> keys, const Byte* start, const Byte* end,
                               std::span<const Byte*> found) {
  return ScanKeys(keys, start, end, found, true);
}

std::int64_t LookupObjectOffset(const XrefTable& table, int number, int& lastError) {
  lastError = 0;
  std::size_t low = 0, high = table.size();
  while (low < high) {
    std::size_t middle = low + (high - low) / 2;
    if (table[middle].Number < number) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low < table.size() && table[low].Number == number) return table[low].Offset;
  lastError = -95;
  return -95;
}

const Byte* LocateObject(const Byte* begin, const Byte* end, std::int64_t offset, int number, int& lastError) {
  lastError = 0;
  if (offset < 0 || offset > end - begin) {
    lastError = -96;
    return nullptr;
  }
  const Byte* p = begin + offset;
  if (ReadInteger(p, end, lastError) != number || number < 0) {
    lastError = -97;
    return nullptr;
  }
  if (ReadInteger(p, end, lastError) < 0) {
    lastError = -98;
    return nullptr;
  }
  if (!SkipPlainWhitespace(p, end)) {
    lastError = -99;
    return nullptr;
  }
  if (!StartsWith(p, end, "obj")) {
    lastError = -100;
    return nullptr;
  }
  p += 3;
  if (SkipWhitespace(p, end, lastError) < 0) {
    lastError = -101;
    return nullptr;
  }
  return p;
}

bool SkipArray(const Byte*& cursor, const Byte* end) {
  int depth = 0;
  while (cursor < end) {
    const Byte c = *cursor;
    if (c == '(') {
      if (!SkipLiteralString(cursor, end)) return false;
    } else if (c == '<' && cursor + 1 < end && cursor[1] == '<') {
      cursor += 2;
    } else if (c == '<') {
      if (!SkipHexString(cursor, end)) return false;
    } else if (c == '%') {
      while (cursor < end && !IsEndOfLine(*cursor)) ++cursor;
    } else {
      ++cursor;
      if (c == '[') ++depth;
      if (c == ']' && --depth == 0) return true;
    }
  }
  return false;
}

bool SkipObjectValue(const Byte*& cursor, const Byte* end) {
  if (cursor >= end) return false;
  const Byte c = *cursor;
  if (StartsWith(cursor, end, "<<")) {
    const Byte* close = FindDictEnd(cursor + 2, end);
    if (close == nullptr) return false;
    cursor = close + 2;
    return true;
  }
  if (c == '<') return SkipHexString(cursor, end);
  if (c == '(') return SkipLiteralString(cursor, end);
  if (c == '[') return SkipArray(cursor, end);
  int number = 0, generation = 0, ignored = 0;
  const Byte* q = cursor;
  // A reference is one value; an "R" glued to what follows is not a reference.
  if (IsDigit(c) && ReadReference(q, end, number, generation, ignored) && (q >= end || IsDelimiter(*q))) {
    cursor = q;
    return true;
  }
  // Any other token: a number, a name or a keyword, up to the next delimiter.
  ++cursor;
  while (cursor < end && !IsDelimiter(*cursor)) ++cursor;
  return true;
}

bool ReadReference(const Byte*& cursor, const Byte* end, int& number, int& generation, int& lastError) {
  const Byte* p = cursor;
  int n = ReadInteger(p, end, lastError);
  if (n < 0) return false;
  int g = ReadInteger(p, end, lastError);
  if (g < 0) return false;
  if (SkipWhitespace(p, end, lastError) < 0 || *p != 'R') {
    if (lastError == 0) lastError = -11;
    return false;
  }
  number = n;
  generation = g;
  cursor = p + 1;
  return true;
}

}  // namespace folvex
