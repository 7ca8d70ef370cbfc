#include "app/model/drag_zones.h"

namespace folvex {

int DragScrollRows(const DragZones& zones, int pointerY) {
  if (pointerY >= zones.WindowBottom) return 2;
  if (pointerY >= zones.ListBottom) return 1;
  if (pointerY >= zones.FirstRowTop) return 0;
  if (pointerY < zones.ToolbarBottom) return -2;
  return -1;
}

bool DragPointerInside(const DragZones& zones, int pointerY) {
  return pointerY >= zones.WindowTop && pointerY < zones.WindowBottom;
}

}  // namespace folvex
