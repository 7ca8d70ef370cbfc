// Scanners over the raw bytes of a file image. Every scanner takes a cursor and an end and never
// reads past the end plus the one zero byte that every image keeps behind it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/core/bytes.h"
#include "engine/core/document.h"

namespace folvex {

// Skips whitespace and comments. Returns the number of bytes passed, or -1 at the end of the
// image (error -154 in whitespace, -155 in a comment). Leaves the error untouched on success.
int SkipWhitespaceAndComments(const Byte*& cursor, const Byte* end, int& lastError);
inline int SkipWhitespace(const Byte*& cursor, const Byte* end, int& lastError) {
  // Most calls stand on a token already.
  if (cursor < end && !IsWhitespace(*cursor) && *cursor != '%') return 0;
  return SkipWhitespaceAndComments(cursor, end, lastError);
}

// Skips whitespace only (not comments). Returns false when the end is reached.
bool SkipPlainWhitespace(const Byte*& cursor, const Byte* end);

// Reads an unsigned decimal integer after optional whitespace and comments. Returns the value
// (saturated at INT32_MAX) or -1 with -9 .. -13 in lastError.
int ReadInteger(const Byte*& cursor, const Byte* end, int& lastError);
// ReadInteger for a byte offset or a length, saturated at kMaxReadOffset instead.
std::int64_t ReadOffset(const Byte*& cursor, const Byte* end, int& lastError);

// Searches backwards from position (the upper bound) down to lower for keyword standing alone and
// not inside a comment. On success position is the start of the match and 1 is returned.
int FindKeywordBackward(const Byte* lower, const Byte*& position, std::string_view keyword, int& lastError);

// Finds the ">>" that closes the dictionary whose "<<" ends just before start. Literal and
// hexadecimal strings and nested dictionaries are skipped. Returns null when there is none.
const Byte* FindDictEnd(const Byte* start, const Byte* end);

// Finds key (a name with its slash) at the outer level of the range. Returns null (-2, -3) when
// absent.
const Byte* FindKey(std::string_view key, const Byte* start, const Byte* end, int& lastError);

// FindKey for several keys in one pass: found[i] becomes what FindKey(keys[i], start, end)
// returns. found must have keys.size() elements.
void FindKeys(std::span<const std::string_view> keys, const Byte* start, const Byte* end, std::span<const Byte*> found);
// FindKeys over the dictionary that starts at start and runs to its closing ">>", found in the
// same pass and returned (null when end comes first; found is then incomplete).
const Byte* FindKeysAndDictEnd(std::span<const std::string_view> keys, const Byte* start, const Byte* end,
                               std::span<const Byte*> found);

// Offset of object number in the table, or a negative code (-95 when the number is absent).
std::int64_t LookupObjectOffset(const XrefTable& table, int number, int& lastError);

// Checks the header "number gen obj" at offset and returns the position behind it and the
// whitespace and comments that follow (normally the "<<"), or null with -96 .. -101.
const Byte* LocateObject(const Byte* begin, const Byte* end, std::int64_t offset, int number, int& lastError);

// Skips a literal string whose "(" is at cursor; the cursor ends behind the closing ")".
// Returns false when the image ends first.
bool SkipLiteralString(const Byte*& cursor, const Byte* end);

// Skips a hexadecimal string whose "<" is at cursor; the cursor ends behind the closing ">".
bool SkipHexString(const Byte*& cursor, const Byte* end);

// Skips an array whose "[" is at cursor, with nested arrays and dictionaries, strings and
// comments; the cursor ends behind the closing "]". Returns false when the image ends first.
bool SkipArray(const Byte*& cursor, const Byte* end);

// Skips one object value (dictionary, array, string, reference, number, name or keyword) at
// cursor. Returns false when the value runs to end.
bool SkipObjectValue(const Byte*& cursor, const Byte* end);

// Reads "number generation R" (the R after optional whitespace and comments). Returns false
// without moving the cursor when the text is not a reference.
bool ReadReference(const Byte*& cursor, const Byte* end, int& number, int& generation, int& lastError);

}  // namespace folvex
