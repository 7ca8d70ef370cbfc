// Byte classes and small helpers shared by every scanner of the engine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace folvex {

using Byte = unsigned char;

// The classes of every byte value, looked up once per byte by the scanners' inner loops.
enum ByteClass : unsigned char {
  kWhitespaceByte = 1,  // NUL, tab, line feed, form feed, carriage return, space
  kTokenEndByte = 2,    // whitespace, ( ) < > [ ] { } %
  kDelimiterByte = 4,   // a token end or /
};

constexpr std::array<unsigned char, 256> MakeByteClasses() {
  std::array<unsigned char, 256> classes{};
  for (int c : {0, 9, 10, 12, 13, 32}) classes[c] |= kWhitespaceByte | kTokenEndByte | kDelimiterByte;
  for (char c : {'(', ')', '<', '>', '[', ']', '{', '}', '%'}) classes[static_cast<Byte>(c)] |= kTokenEndByte | kDelimiterByte;
  classes['/'] |= kDelimiterByte;
  return classes;
}
inline constexpr std::array<unsigned char, 256> kByteClasses = MakeByteClasses();

inline bool IsWhitespace(Byte c) { return (kByteClasses[c] & kWhitespaceByte) != 0; }
inline bool IsEndOfLine(Byte c) { return c == 10 || c == 13; }
// Whitespace or one of ( ) < > [ ] { } %: what ends a name or a number.
inline bool EndsToken(Byte c) { return (kByteClasses[c] & kTokenEndByte) != 0; }
inline bool IsDelimiter(Byte c) { return (kByteClasses[c] & kDelimiterByte) != 0; }
inline bool IsDigit(Byte c) { return c >= '0' && c <= '9'; }
// Ends text with whitespace (a line feed when it has none), so that what follows stands apart.
inline void EndWithWhitespace(std::string& text) {
  if (text.empty() || !IsWhitespace(static_cast<Byte>(text.back()))) text += '\n';
}

// The value of the digit run [first, last), saturating at limit (at most INT64_MAX / 10).
inline std::int64_t DigitRunValue(const Byte* first, const Byte* last, std::int64_t limit) {
  std::int64_t value = 0;
  for (const Byte* p = first; p < last; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) return limit;
  }
  return value;
}
inline int DigitRunValue(const Byte* first, const Byte* last) {
  return static_cast<int>(DigitRunValue(first, last, INT32_MAX));
}

// The largest byte offset a line of a classic cross-reference table can hold (ten digits).
inline constexpr std::int64_t kMaxTableOffset = 9'999'999'999;
// LastErrorCode of a job whose output would place an object beyond kMaxTableOffset.
inline constexpr int kOutputTooLarge = -2010;
// Offsets read from a file saturate here: far beyond any file, yet safe to add to.
inline constexpr std::int64_t kMaxReadOffset = std::int64_t{1} << 59;

// True when the bytes at p (bounded by end) begin with text.
inline bool StartsWith(const Byte* p, const Byte* end, std::string_view text) {
  return p <= end && static_cast<std::size_t>(end - p) >= text.size() &&
         std::memcmp(p, text.data(), text.size()) == 0;
}

// Writes value as width decimal digits padded with zeros on the left, as printf's "%0*u" does for a
// value that fits the width.
inline void PutPaddedDecimal(char* at, int width, std::uint64_t value) {
  for (int digit = width - 1; digit >= 0; --digit, value /= 10) at[digit] = static_cast<char>('0' + value % 10);
}

}  // namespace folvex
