#include "app/win32/drag_reorder.h"

#include <commctrl.h>

#include "app/win32/list_view.h"

namespace folvex::win32 {

namespace {

// The drag the thread's mouse hook serves (one main window, one drag at a time).
DragReorder* gHookedDrag = nullptr;

void FollowPointer(DragReorder& drag, POINT point) {
  if (point.x < drag.MainRect.left || point.x >= drag.MainRect.right) return;
  SetCursor(DragPointerInside(drag.Zones, point.y) ? drag.DragCursor : LoadCursorW(nullptr, IDC_NO));
  const int rows = DragScrollRows(drag.Zones, point.y);
  if (rows != 0) SendMessageW(drag.List, LVM_SCROLL, 0, rows * drag.RowHeight);
}

LRESULT CALLBACK DragMouseHook(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && gHookedDrag != nullptr && gHookedDrag->Active) {
    const POINT point = reinterpret_cast<const MOUSEHOOKSTRUCT*>(data)->pt;
    if (message == WM_MOUSEMOVE) {
      FollowPointer(*gHookedDrag, point);
    } else if (message == WM_LBUTTONUP) {
      const RECT& main = gHookedDrag->MainRect;
      const bool inside = point.x >= main.left && point.x < main.right && point.y >= main.top && point.y < main.bottom;
      PostMessageW(gHookedDrag->Main, kDragReleasedMessage, inside ? 1 : 0, MAKELPARAM(point.x, point.y));
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

}  // namespace

void BeginDrag(DragReorder& drag, HWND main, HWND list, HWND toolbar, HINSTANCE instance) {
  EndDrag(drag);
  drag.Main = main;
  drag.List = list;
  drag.DragCursor = LoadCursorW(instance, L"A_ACUR");
  if (drag.DragCursor == nullptr) drag.DragCursor = LoadCursorW(nullptr, IDC_ARROW);
  GetWindowRect(main, &drag.MainRect);
  RECT bar{};
  GetWindowRect(toolbar, &bar);
  const ListGeometry rows = RowGeometry(list, nullptr);
  drag.Zones = {drag.MainRect.top, drag.MainRect.bottom, bar.bottom, rows.FirstRowTop, rows.ListBottom};
  drag.RowHeight = rows.RowHeight;
  drag.Active = true;
  gHookedDrag = &drag;
  drag.Hook = SetWindowsHookExW(WH_MOUSE, DragMouseHook, nullptr, GetCurrentThreadId());
  SetCapture(main);
  SetCursor(drag.DragCursor);
}

void EndDrag(DragReorder& drag) {
  if (!drag.Active) return;
  drag.Active = false;  // first: releasing the capture comes back here through WM_CAPTURECHANGED
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  ReleaseCapture();
  if (drag.Hook != nullptr) UnhookWindowsHookEx(drag.Hook);
  drag.Hook = nullptr;
  if (gHookedDrag == &drag) gHookedDrag = nullptr;
}

}  // namespace folvex::win32
