// EDITDLG / EDITDLGE: a path typed or chosen with "Ref." (which starts in InputFolder).
#include "app/jobs/job_preparation.h"
#include "app/model/file_list.h"
#include "app/text/texts.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {

constexpr int kPathLimit = 259;

struct EditState {
  bool Japanese = false;
  std::string Path;
  std::string& InputFolder;
};

bool IsFolder(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void SetCurrentFolder(const std::string& folder) {
  if (!folder.empty()) SetCurrentDirectoryW(Utf8ToWide(folder).c_str());
}

void BrowseForPdf(HWND dialog, EditState& state) {
  const std::string typed = ControlText(dialog, IDC_PATH_EDIT);
  std::string start = state.InputFolder;
  if (const std::string typedFolder = FolderOf(typed); typed.find_first_of("\\/") != std::string::npos &&
                                                       IsFolder(typedFolder)) {
    start = typedFolder;
  }
  SetCurrentFolder(state.InputFolder);
  SetCurrentFolder(start);

  FileDialogRequest request;
  if (state.Japanese) request.Title = Text(TextId::EditRefTitle, true);
  request.FilterName = "pdf(*.pdf)";
  request.FilterPattern = "*.pdf";
  request.DefaultExtension = "pdf";
  request.InitialFolder = start;
  request.InitialName = FileNameOf(typed);
  request.MustExist = true;
  if (auto chosen = ShowOpenFileDialog(dialog, request)) {
    SetControlText(dialog, IDC_PATH_EDIT, *chosen);
    state.InputFolder = FolderOf(*chosen);
  }
  SetCurrentFolder(state.InputFolder);
}

INT_PTR CALLBACK EditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<EditState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG:
      CentreOnDesktop(dialog);
      LimitText(dialog, IDC_PATH_EDIT, kPathLimit);
      SetControlText(dialog, IDC_PATH_EDIT, state->Path);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_REF_BUTTON:
          BrowseForPdf(dialog, *state);
          return TRUE;
        case IDOK:
          state->Path = ControlText(dialog, IDC_PATH_EDIT);
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

std::optional<std::string> ShowEditFileNameDialog(HWND owner, bool japanese, const std::string& path,
                                                  std::string& inputFolder) {
  EditState state{japanese, path, inputFolder};
  if (RunDialog(owner, DialogName(L"EDITDLG", japanese), EditProc, state) != IDOK) return std::nullopt;
  return state.Path;
}

}  // namespace folvex::win32
