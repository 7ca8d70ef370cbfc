#include "app/commands/security_dialog.h"

#include "app/text/texts.h"

namespace folvex {

std::string CutToCharacters(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (continuation) continue;
    if (characters == limit) return text.substr(0, i);
    ++characters;
  }
  return text;
}

SecurityDialogValues SecurityDialogValuesOf(const AppSession& session) {
  SecurityDialogValues values;
  values.OpenPassword = session.Passwords.OpenPassword;
  values.OwnerPassword = session.Passwords.OwnerPassword;
  values.Print = session.Settings.bPrint;
  values.Modify = session.Settings.bModify;
  values.Copy = session.Settings.bCopy;
  values.AddAnnotations = session.Settings.bAdAnnot;
  values.SaveInFolder = session.Settings.bSecFolder;
  values.OutputFolder = session.Settings.OutputFolder;
  return values;
}

void StoreSecurityDialogValues(AppSession& session, const SecurityDialogValues& values) {
  session.Passwords.OpenPassword = CutToCharacters(values.OpenPassword, kMaxPasswordLength);
  session.Passwords.OwnerPassword = CutToCharacters(values.OwnerPassword, kMaxPasswordLength);
  session.Settings.bPrint = values.Print;
  session.Settings.bModify = values.Modify;
  session.Settings.bCopy = values.Copy;
  session.Settings.bAdAnnot = values.AddAnnotations;
  session.Settings.bSecFolder = values.SaveInFolder;
  session.Settings.OutputFolder = CutToCharacters(values.OutputFolder, kMaxOutputFolderLength);
}

bool AskSecurityInputs(AppSession& session, Desktop& desktop) {
  while (true) {
    SecurityDialogValues values = SecurityDialogValuesOf(session);
    if (!desktop.EditSecurity(values)) return false;
    StoreSecurityDialogValues(session, values);
    const RunPasswords& passwords = session.Passwords;
    if (passwords.OpenPassword.empty() || passwords.OpenPassword != passwords.OwnerPassword) return true;
    MessageRequest question;
    question.Text = std::string(Text(TextId::SamePasswords, session.Japanese));
    question.Icon = MessageIcon::Question;
    question.Buttons = MessageButtons::YesNo;
    // Enter must not take a file whose owner password counts as unset.
    question.DefaultButton = MessageDefaultButton::Second;
    if (desktop.ShowMessage(question) == MessageAnswer::Yes) return true;
  }
}

int PermissionSelectionOf(const AppSettings& settings) {
  return (settings.bPrint ? 1 : 0) + (settings.bModify ? 2 : 0) + (settings.bCopy ? 4 : 0) +
         (settings.bAdAnnot ? 8 : 0);
}

}  // namespace folvex
