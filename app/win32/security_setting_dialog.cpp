// IDD_SETSEC / IDD_SETSECE: passwords, permissions and the save folder of Set Security.
#include "app/commands/security_dialog.h"
#include "app/text/texts.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"

namespace folvex::win32 {

namespace {

struct SecurityState {
  bool Japanese = false;
  SecurityDialogValues Values;
};

void EnableFolderChoice(HWND dialog) {
  const bool inFolder = IsChecked(dialog, IDC_SAVE_IN_FOLDER);
  EnableControl(dialog, IDC_FOLDER_EDIT, inFolder);
  EnableControl(dialog, IDC_REF_BUTTON, inFolder);
}

void Fill(HWND dialog, const SecurityDialogValues& values) {
  LimitText(dialog, IDC_USER_PASSWORD, static_cast<int>(kMaxPasswordLength));
  LimitText(dialog, IDC_OWNER_PASSWORD, static_cast<int>(kMaxPasswordLength));
  LimitText(dialog, IDC_FOLDER_EDIT, static_cast<int>(kMaxOutputFolderLength));
  SetControlText(dialog, IDC_USER_PASSWORD, values.OpenPassword);
  SetControlText(dialog, IDC_OWNER_PASSWORD, values.OwnerPassword);
  SetChecked(dialog, IDC_ALLOW_PRINT, values.Print);
  SetChecked(dialog, IDC_ALLOW_MODIFY, values.Modify);
  SetChecked(dialog, IDC_ALLOW_COPY, values.Copy);
  SetChecked(dialog, IDC_ALLOW_ANNOTATE, values.AddAnnotations);
  CheckRadioButton(dialog, IDC_SAVE_BESIDE, IDC_SAVE_IN_FOLDER,
                   values.SaveInFolder ? IDC_SAVE_IN_FOLDER : IDC_SAVE_BESIDE);
  SetControlText(dialog, IDC_FOLDER_EDIT, values.OutputFolder);
  EnableFolderChoice(dialog);
}

void Store(HWND dialog, SecurityDialogValues& values) {
  values.OpenPassword = CutToCharacters(ControlText(dialog, IDC_USER_PASSWORD), kMaxPasswordLength);
  values.OwnerPassword = CutToCharacters(ControlText(dialog, IDC_OWNER_PASSWORD), kMaxPasswordLength);
  values.Print = IsChecked(dialog, IDC_ALLOW_PRINT);
  values.Modify = IsChecked(dialog, IDC_ALLOW_MODIFY);
  values.Copy = IsChecked(dialog, IDC_ALLOW_COPY);
  values.AddAnnotations = IsChecked(dialog, IDC_ALLOW_ANNOTATE);
  values.SaveInFolder = IsChecked(dialog, IDC_SAVE_IN_FOLDER);
  values.OutputFolder = CutToCharacters(ControlText(dialog, IDC_FOLDER_EDIT), kMaxOutputFolderLength);
}

INT_PTR CALLBACK SecurityProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<SecurityState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG:
      CentreOnDesktop(dialog);
      Fill(dialog, state->Values);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SAVE_BESIDE:
        case IDC_SAVE_IN_FOLDER:
          EnableFolderChoice(dialog);
          return TRUE;
        case IDC_REF_BUTTON: {
          const std::string title(Text(TextId::SecuritySelectFolder, state->Japanese));
          if (auto folder = ShowFolderBrowser(dialog, title, ControlText(dialog, IDC_FOLDER_EDIT))) {
            SetControlText(dialog, IDC_FOLDER_EDIT, CutToCharacters(*folder, kMaxOutputFolderLength));
          }
          return TRUE;
        }
        case IDOK:
          Store(dialog, state->Values);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool ShowSecurityDialog(HWND owner, bool japanese, SecurityDialogValues& values) {
  SecurityState state{japanese, values};
  if (RunDialog(owner, DialogName(L"IDD_SETSEC", japanese), SecurityProc, state) != IDOK) return false;
  values = state.Values;
  return true;
}

}  // namespace folvex::win32
