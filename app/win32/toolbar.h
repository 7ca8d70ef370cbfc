// The main window's toolbar: nine buttons from bitmap 2030 in groups, and a tooltip window with
// one tool over each button.
#pragma once

#include <windows.h>

#include "app/model/desktop.h"

namespace folvex::win32 {

constexpr int kToolbarId = 2020;
constexpr int kToolbarBitmapId = 2030;
constexpr int kToolbarHeight = 28;

struct MainToolbar {
  HWND Bar = nullptr;
  HWND Tips = nullptr;
  HBITMAP Images = nullptr;
};

// The toolbar with every button shown and the fixed tooltips; UpdateToolbar sets the rest.
MainToolbar CreateMainToolbar(HWND parent, HINSTANCE instance, bool japanese);
void DestroyMainToolbar(MainToolbar& toolbar);

// The Undo and Redo tooltips and whether the split buttons show.
void UpdateToolbar(const MainToolbar& toolbar, const ToolbarState& state);

}  // namespace folvex::win32
