// Byte classes and small helpers shared by every scanner of the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace folvex {

using Byte = unsigned char;

inline bool IsWhitespace(Byte c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }
inline bool IsEndOfLine(Byte c) { return c == 10 || c == 13; }
inline bool IsDelimiter(Byte c) {
  return IsWhitespace(c) || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' ||
         c == '{' || c == '}' || c == '%' || c == '/';
}
inline bool IsDigit(Byte c) { return c >= '0' && c <= '9'; }

// True when the bytes at p (bounded by end) begin with text.
inline bool StartsWith(const Byte* p, const Byte* end, std::string_view text) {
  return p <= end && static_cast<std::size_t>(end - p) >= text.size() &&
         std::memcmp(p, text.data(), text.size()) == 0;
}

}  // namespace folvex
