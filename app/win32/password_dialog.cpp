// PASSDLG / PASSDLGE: asks for a password in the remove mode (owner password before and during
// Remove Security) or the engine mode (an extract or merge input needs one).
#include "app/commands/password_dialog.h"
#include "app/commands/security_dialog.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {

struct PasswordState {
  PasswordDialogTexts Texts;
  std::string FileName;
  std::string Password;
};

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<PasswordState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG:
      CentreOnDesktop(dialog);
      SetWindowTextW(dialog, Utf8ToWide(state->Texts.Caption).c_str());
      SetControlText(dialog, IDC_PASSWORD_PROMPT, state->Texts.Prompt);
      SetControlText(dialog, IDC_PASSWORD_FILE, state->FileName);
      SetControlText(dialog, IDC_PASSWORD_NOTE1, state->Texts.Note1);
      SetControlText(dialog, IDC_PASSWORD_NOTE2, state->Texts.Note2);
      LimitText(dialog, IDC_PASSWORD_EDIT, static_cast<int>(kMaxPasswordLength));
      SetForegroundWindow(dialog);
      SetFocus(GetDlgItem(dialog, IDC_PASSWORD_EDIT));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        state->Password = CutToCharacters(ControlText(dialog, IDC_PASSWORD_EDIT), kMaxPasswordLength);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

std::optional<std::string> ShowPasswordDialog(HWND owner, bool japanese, const PasswordRequest& request) {
  PasswordState state;
  state.Texts = PasswordDialogTextsOf(request.Mode, japanese);
  state.FileName = request.FileName;
  if (RunDialog(owner, DialogName(L"PASSDLG", japanese), PasswordProc, state) != IDOK) return std::nullopt;
  return state.Password;
}

}  // namespace folvex::win32
