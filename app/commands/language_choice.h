// The interface language, chosen once at start from the user's default language and the first
// command-line option.
#pragma once

#include <string_view>

namespace folvex {

struct LanguageChoice {
  bool Japanese = false;
  bool Forced = false;  // "/jp" or "/us" was given (the splitter is told so)
};

// Japanese when userLanguageId is 1041; a command line of at least three characters that starts
// with "/us" or "/jp" (letters in either case) overrides it. Only the first three characters count.
LanguageChoice ChooseLanguage(int userLanguageId, std::string_view commandLine);

}  // namespace folvex
