// Moving the selected rows with the mouse: a thread mouse hook follows the pointer while the main
// window holds the capture, shows the drag or the "no" cursor, scrolls the list near its edges and
// posts the release point to the main window.
#pragma once

#include <windows.h>

#include "app/model/drag_zones.h"

namespace folvex::win32 {

// Posted to the main window on button release: wParam 1 inside its rectangle (lParam the screen
// point, MAKELPARAM), 0 outside (the drag is cancelled).
constexpr UINT kDragReleasedMessage = WM_APP + 1;

struct DragReorder {
  bool Active = false;
  HHOOK Hook = nullptr;
  HWND Main = nullptr;
  HWND List = nullptr;
  HCURSOR DragCursor = nullptr;
  RECT MainRect{};  // screen coordinates, as at the start
  DragZones Zones;
  int RowHeight = 1;
};

// Starts a drag from the list's begin-drag notice.
void BeginDrag(DragReorder& drag, HWND main, HWND list, HWND toolbar, HINSTANCE instance);

// Ends the drag, if any: the arrow cursor back, the capture released, the hook removed.
void EndDrag(DragReorder& drag);

}  // namespace folvex::win32
