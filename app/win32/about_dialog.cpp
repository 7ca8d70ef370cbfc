// ABOUTDLG / ABOUTDLGE: the program's name and version beside its large icon.
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "folvex_version.h"

namespace folvex::win32 {

namespace {

constexpr int kIconLeft = 220;
constexpr int kIconTop = 5;
constexpr int kIconSize = 48;

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreOnDesktop(dialog);
      SetControlText(dialog, IDC_ABOUT_VERSION, "Folvex Ver " FOLVEX_VERSION);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      auto icon = static_cast<HICON>(
          LoadImageW(ResourceModule(), L"FOLVEXLICON", IMAGE_ICON, kIconSize, kIconSize, LR_DEFAULTCOLOR));
      if (icon != nullptr) {
        DrawIconEx(dc, kIconLeft, kIconTop, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
      }
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void ShowAboutDialog(HWND owner, bool japanese) {
  DialogBoxParamW(ResourceModule(), DialogName(L"ABOUTDLG", japanese).c_str(), owner, AboutProc, 0);
}

}  // namespace folvex::win32
