#include "app/commands/language_choice.h"
#include "engine/core/path_text.h"

namespace folvex {

LanguageChoice ChooseLanguage(int userLanguageId, std::string_view commandLine) {
  constexpr int kJapaneseLanguageId = 1041;
  LanguageChoice choice;
  choice.Japanese = userLanguageId == kJapaneseLanguageId;
  if (commandLine.size() < 3 || commandLine[0] != '/') return choice;
  const char first = AsciiLower(commandLine[1]);
  const char second = AsciiLower(commandLine[2]);
  if (first == 'u' && second == 's') {
    choice.Japanese = false;
    choice.Forced = true;
  } else if (first == 'j' && second == 'p') {
    choice.Japanese = true;
    choice.Forced = true;
  }
  return choice;
}

}  // namespace folvex
