#include "engine/security/saslprep.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(SaslPrep, MappingsAndNormalisation) {
  const struct {
    const char* Name;
    std::string Input;
    std::string Expected;
  } cases[] = {
      {"ascii", "Secret 123!", "Secret 123!"},
      {"empty", "", ""},
      {"soft hyphen mapped to nothing", "I\u00ADX", "IX"},
      {"zero width joiner mapped to nothing", "a\u200Db", "ab"},
      {"no-break space", "a\u00A0b", "a b"},
      {"ideographic space", "a\u3000b", "a b"},
      {"fullwidth letters", "\uFF21\uFF42\uFF43", "Abc"},
      {"halfwidth katakana", "\uFF76", "\u30AB"},
      {"ligature", "\uFB01le", "file"},
      {"superscript two", "x\u00B2", "x2"},
      {"roman numeral four", "\u2163", "IV"},
      {"precomposed stays", "caf\u00E9", "caf\u00E9"},
      {"combining acute composed", "cafe\u0301", "caf\u00E9"},
      {"combining diaeresis composed", "U\u0308ber", "\u00DCber"},
      {"japanese", "\u3071\u3059\u308F\u30FC\u3069", "\u3071\u3059\u308F\u30FC\u3069"},
      {"hebrew alone", "\u05D0\u05D1", "\u05D0\u05D1"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(SaslPrep(c.Input, out)) << c.Name;
    EXPECT_EQ(out, c.Expected) << c.Name;
  }
}

TEST(SaslPrep, ProhibitedAndMalformedInputs) {
  const struct {
    const char* Name;
    std::string Input;
  } cases[] = {
      {"control character", std::string("a\x01" "b")},
      {"delete", "a\x7F"},
      {"private use", "a\uE000"},
      {"non-character", "a\uFFFF"},
      {"direction mark", "a\u200Eb"},
      {"right-to-left next to latin", "\u05D0a\u05D1"},
      {"right-to-left not at the end", "\u05D01"},
      {"truncated utf-8", "a\xC3"},
      {"overlong utf-8", "\xC0\xAF"},
      {"stray continuation byte", "\x80"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_FALSE(SaslPrep(c.Input, out)) << c.Name;
  }
}

}  // namespace
}  // namespace folvex
