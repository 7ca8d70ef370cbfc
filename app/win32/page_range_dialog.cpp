// EXTDLG / EXTDLGE: one edit field for the page ranges of Extract (and the splitter's page input).
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"

namespace folvex::win32 {

namespace {

constexpr int kPageRangeLimit = 259;

INT_PTR CALLBACK PageRangeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* text = StateOf<std::string>(dialog, message, lParam);
  if (text == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG:
      CentreOnDesktop(dialog);
      LimitText(dialog, IDC_PAGE_RANGE_EDIT, kPageRangeLimit);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        *text = ControlText(dialog, IDC_PAGE_RANGE_EDIT);
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

std::optional<std::string> ShowPageRangeDialog(HWND owner, bool japanese) {
  std::string text;
  if (RunDialog(owner, DialogName(L"EXTDLG", japanese), PageRangeProc, text) != IDOK) return std::nullopt;
  return text;
}

}  // namespace folvex::win32
