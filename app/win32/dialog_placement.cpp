#include "app/win32/dialogs.h"

namespace folvex::win32 {

void CentreOnDesktop(HWND window) {
  RECT desktop{};
  RECT own{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  const int left = ((desktop.right - desktop.left) - width) / 2;
  const int top = ((desktop.bottom - desktop.top) - height) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace folvex::win32
