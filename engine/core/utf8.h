// Reading UTF-8 text one character at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace folvex {

struct Utf8Character {
  char32_t Code = 0;
  std::size_t Length = 0;  // bytes; 0 when the text does not start with a well-formed character
};

// The character at the start of text when it is well-formed UTF-8: no overlong form, no surrogate,
// nothing above U+10FFFF.
Utf8Character FirstUtf8Character(std::string_view text);

}  // namespace folvex
