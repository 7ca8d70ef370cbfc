#include "app/commands/language_choice.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(LanguageChoice, UserLanguageAndTheFirstOption) {
  struct Case {
    int Language;
    const char* CommandLine;
    bool Japanese;
    bool Forced;
  };
  const Case cases[] = {
      {1041, "", true, false},
      {1033, "", false, false},
      {2052, "file.pdf", false, false},
      {1041, "/US", false, true},
      {1041, "/us", false, true},
      {1041, "/uS extra", false, true},
      {1033, "/jp", true, true},
      {1033, "/JP", true, true},
      {1033, "/jpx", true, true},  // only the first three characters count
      {1041, "/u", true, false},   // too short
      {1033, "/xx", false, false},
      {1033, " /jp", false, false},  // the option must come first
      {1041, "-us", true, false},
  };
  for (const Case& c : cases) {
    const LanguageChoice choice = ChooseLanguage(c.Language, c.CommandLine);
    EXPECT_EQ(choice.Japanese, c.Japanese) << c.Language << " '" << c.CommandLine << "'";
    EXPECT_EQ(choice.Forced, c.Forced) << c.Language << " '" << c.CommandLine << "'";
  }
}

}  // namespace
}  // namespace folvex
