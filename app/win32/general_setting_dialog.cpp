// SETDLG / SETDLGE: the five switches of General Setting and the companion splitter's path.
#include "app/text/texts.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "app/splitter/splitter_commands.h"

namespace folvex::win32 {

namespace {

constexpr int kSplitterPathLimit = 259;

struct GeneralState {
  bool Japanese = false;
  GeneralSettingsValues& Values;
  const std::function<bool(const GeneralSettingsValues&)>& Validate;
  std::string PathAtOpening;
};

void ChooseSplitter(HWND dialog, bool japanese) {
  if (auto path = ShowOpenFileDialog(dialog, SplitterFileDialogRequest(japanese))) {
    SetControlText(dialog, IDC_PATH_EDIT, *path);
  }
}

INT_PTR CALLBACK GeneralProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<GeneralState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG: {
      CentreOnDesktop(dialog);
      const GeneralSettingsValues& values = state->Values;
      SetChecked(dialog, IDC_ORG_FILE_DELETE, values.OrgFileDelete);
      SetChecked(dialog, IDC_NEW_FILE_RECORD, values.NewFileRecord);
      SetChecked(dialog, IDC_NEW_FILE_OPEN, values.NewFileOpen);
      SetChecked(dialog, IDC_FILE_BACKUP, values.FileBackUp);
      SetChecked(dialog, IDC_PAGE_DISP, values.PageDisp);
      LimitText(dialog, IDC_PATH_EDIT, kSplitterPathLimit);
      SetControlText(dialog, IDC_PATH_EDIT, values.SplitterPath);
      state->PathAtOpening = values.SplitterPath;
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_REF_BUTTON:
          ChooseSplitter(dialog, state->Japanese);
          return TRUE;
        case IDOK: {
          // The switches are kept at once; the splitter path may keep the dialog open.
          GeneralSettingsValues& values = state->Values;
          values.OrgFileDelete = IsChecked(dialog, IDC_ORG_FILE_DELETE);
          values.NewFileRecord = IsChecked(dialog, IDC_NEW_FILE_RECORD);
          values.NewFileOpen = IsChecked(dialog, IDC_NEW_FILE_OPEN);
          values.FileBackUp = IsChecked(dialog, IDC_FILE_BACKUP);
          values.PageDisp = IsChecked(dialog, IDC_PAGE_DISP);
          values.SplitterPath = ControlText(dialog, IDC_PATH_EDIT);
          if (state->Validate && !state->Validate(values)) return TRUE;
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          state->Values.SplitterPath = state->PathAtOpening;
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool ShowGeneralSettingDialog(HWND owner, bool japanese, GeneralSettingsValues& values,
                              const std::function<bool(const GeneralSettingsValues&)>& validate) {
  GeneralState state{japanese, values, validate, {}};
  return RunDialog(owner, DialogName(L"SETDLG", japanese), GeneralProc, state) == IDOK;
}

}  // namespace folvex::win32
