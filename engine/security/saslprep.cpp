#include "engine/security/saslprep.h"

#include <vector>

namespace folvex {

namespace {

#include "engine/security/saslprep_tables.inc"

struct Range {
  char32_t First;
  char32_t Last;
};

bool InRanges(char32_t c, std::initializer_list<Range> ranges) {
  for (const Range& r : ranges) {
    if (c >= r.First && c <= r.Last) return true;
  }
  return false;
}

bool MapsToNothing(char32_t c) {
  return InRanges(c, {{0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x1806, 0x1806}, {0x180B, 0x180D}, {0x200B, 0x200D},
                      {0x2060, 0x2060}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}});
}

bool IsNonAsciiSpace(char32_t c) {
  return InRanges(c, {{0x00A0, 0x00A0}, {0x1680, 0x1680}, {0x2000, 0x200B}, {0x202F, 0x202F}, {0x205F, 0x205F},
                      {0x3000, 0x3000}});
}

bool IsProhibited(char32_t c) {
  if ((c & 0xFFFE) == 0xFFFE) return true;  // the non-characters at the end of every plane
  return InRanges(c, {{0x0000, 0x001F}, {0x007F, 0x009F}, {0x0340, 0x0341}, {0x06DD, 0x06DD}, {0x070F, 0x070F},
                      {0x180E, 0x180E}, {0x200C, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x2063}, {0x206A, 0x206F},
                      {0x2FF0, 0x2FFB}, {0xD800, 0xF8FF}, {0xFDD0, 0xFDEF}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFD},
                      {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF}});
}

bool IsRightToLeft(char32_t c) { return InRanges(c, {{0x05BE, 0x07FF}, {0xFB1D, 0xFDFF}, {0xFE70, 0xFEFC}}); }

bool IsLeftToRight(char32_t c) {
  return InRanges(c, {{'A', 'Z'}, {'a', 'z'}, {0x00C0, 0x00D6}, {0x00D8, 0x00F6}, {0x00F8, 0x02B8}, {0x0370, 0x0482},
                      {0x048A, 0x0589}, {0x0900, 0x1FFF}, {0x3040, 0x9FFF}, {0xAC00, 0xD7A3}});
}

bool DecodeUtf8(std::string_view text, std::vector<char32_t>& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t code = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF) return false;
    out.push_back(code);
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The compatibility form of c appended to out.
void AppendCompatible(std::vector<char32_t>& out, char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) {
    out.push_back(c - 0xFF01 + 0x21);
    return;
  }
  for (const CompatibilityMapping& m : kCompatibility) {
    if (m.From != c) continue;
    for (char32_t to : m.To) {
      if (to != 0) out.push_back(to);
    }
    return;
  }
  out.push_back(c);
}

// A composed letter in place of a base letter followed by its combining mark.
void Compose(std::vector<char32_t>& text) {
  std::vector<char32_t> composed;
  for (char32_t c : text) {
    bool merged = false;
    if (!composed.empty()) {
      for (const Composition& pair : kCompositions) {
        if (pair.Base == composed.back() && pair.Mark == c) {
          composed.back() = pair.Composed;
          merged = true;
          break;
        }
      }
    }
    if (!merged) composed.push_back(c);
  }
  text = std::move(composed);
}

}  // namespace

bool SaslPrep(std::string_view utf8, std::string& out) {
  std::vector<char32_t> input;
  if (!DecodeUtf8(utf8, input)) return false;
  std::vector<char32_t> mapped;
  for (char32_t c : input) {
    if (MapsToNothing(c)) continue;
    if (IsNonAsciiSpace(c)) {
      mapped.push_back(U' ');
      continue;
    }
    AppendCompatible(mapped, c);
  }
  Compose(mapped);

  bool rightToLeft = false, leftToRight = false;
  for (char32_t c : mapped) {
    if (IsProhibited(c)) return false;
    rightToLeft = rightToLeft || IsRightToLeft(c);
    leftToRight = leftToRight || IsLeftToRight(c);
  }
  if (rightToLeft && (leftToRight || !IsRightToLeft(mapped.front()) || !IsRightToLeft(mapped.back()))) return false;

  out.clear();
  for (char32_t c : mapped) AppendUtf8(out, c);
  return true;
}

}  // namespace folvex
