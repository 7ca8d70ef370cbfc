// The main window's status bar: one part in simple mode, with a size grip.
#pragma once

#include <windows.h>

#include <string>

namespace folvex::win32 {

constexpr int kStatusBarId = 2000;

HWND CreateStatusBar(HWND parent, HINSTANCE instance);
void SetStatusBarText(HWND statusBar, const std::string& text);
// The bar's height in pixels.
int StatusBarHeight(HWND statusBar);

}  // namespace folvex::win32
