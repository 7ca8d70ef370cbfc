// The screen bands of a drag-reorder: where the pointer shows the "no" cursor and how far the list
// scrolls for it.
#pragma once

namespace folvex {

// Screen y coordinates taken when the drag starts.
struct DragZones {
  int WindowTop = 0;
  int WindowBottom = 0;   // the main window's rectangle, bottom exclusive
  int ToolbarBottom = 0;
  int FirstRowTop = 0;    // top of the first visible row
  int ListBottom = 0;     // bottom of the list window
};

// Rows to scroll for the pointer at y (negative: up): two below the window, one below the list,
// none over the rows, two above the toolbar's bottom edge, one over the column headers.
int DragScrollRows(const DragZones& zones, int pointerY);

// Inside the window's vertical extent the drag cursor shows, outside it the "no" cursor.
bool DragPointerInside(const DragZones& zones, int pointerY);

}  // namespace folvex
