// The inputs of Set Security: the security dialog, shown until it is confirmed, and the question
// asked when both passwords are the same.
#pragma once

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

constexpr std::size_t kMaxPasswordLength = 31;
constexpr std::size_t kMaxOutputFolderLength = 258;

// The dialog's values as the session holds them.
SecurityDialogValues SecurityDialogValuesOf(const AppSession& session);

// Keeps what the dialog's OK gave: passwords cut to 31 characters, the folder to 258.
void StoreSecurityDialogValues(AppSession& session, const SecurityDialogValues& values);

// Shows the security dialog until it is confirmed. A user password equal to the owner password
// asks first whether that is meant; No shows the dialog again with the typed values. False when
// the dialog is cancelled (every value stays as it was).
bool AskSecurityInputs(AppSession& session, Desktop& desktop);

// 1 print + 2 modify + 4 copy + 8 add annotations.
int PermissionSelectionOf(const AppSettings& settings);

// text cut to at most limit characters (UTF-8 sequences are kept whole).
std::string CutToCharacters(const std::string& text, std::size_t limit);

}  // namespace folvex
