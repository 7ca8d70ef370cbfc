#include "app/win32/status_bar.h"

#include <commctrl.h>

#include "app/win32/wide_text.h"

namespace folvex::win32 {

HWND CreateStatusBar(HWND parent, HINSTANCE instance) {
  HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)), instance, nullptr);
  SendMessageW(bar, SB_SIMPLE, TRUE, 0);
  return bar;
}

void SetStatusBarText(HWND statusBar, const std::string& text) {
  const std::wstring wide = Widen(text);
  SendMessageW(statusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide.c_str()));
}

int StatusBarHeight(HWND statusBar) {
  RECT rect{};
  GetWindowRect(statusBar, &rect);
  return rect.bottom - rect.top;
}

}  // namespace folvex::win32
