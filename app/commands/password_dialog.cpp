#include "app/commands/password_dialog.h"

#include "app/model/file_list.h"
#include "app/text/texts.h"

namespace folvex {

PasswordDialogTexts PasswordDialogTextsOf(PasswordDialogMode mode, bool japanese) {
  PasswordDialogTexts texts;
  if (mode == PasswordDialogMode::Remove) {
    texts.Caption = Text(TextId::PasswordRemoveCaption, japanese);
    texts.Prompt = Text(TextId::PasswordRemovePrompt, japanese);
    texts.Note1 = Text(TextId::PasswordRemoveNote1, japanese);
    texts.Note2 = Text(TextId::PasswordRemoveNote2, japanese);
  } else {
    texts.Caption = Text(TextId::PasswordEngineCaption, japanese);
    texts.Prompt = Text(TextId::PasswordEnginePrompt, japanese);
  }
  return texts;
}

std::string PasswordDialogFileName(PasswordDialogMode mode, const std::string& path) {
  std::string name = FileNameOf(path);
  if (mode == PasswordDialogMode::Remove && name.size() >= 6) name = name.substr(0, name.size() - 6) + ".pdf";
  return name;
}

}  // namespace folvex
