// The menu bar's enabled items, the split items of the Operation menu and the list's context menu.
#pragma once

#include <windows.h>

#include "app/session/menu_state.h"

namespace folvex::win32 {

// Enables or greys every command of the menu bar by its rule.
void ApplyMenuState(HMENU bar, const CommandContext& context);

// Appends (a separator, 1350, 1360) to or removes them from the Operation menu.
void SetSplitItems(HMENU bar, bool present, bool japanese);

// Shows the context menu ("CPPOPUP" / "CPPOPUPE") at the cursor with its items enabled by the row
// counts; returns the chosen command id or 0.
int TrackContextMenu(HWND owner, HINSTANCE instance, bool japanese, const ListCounts& counts);

}  // namespace folvex::win32
