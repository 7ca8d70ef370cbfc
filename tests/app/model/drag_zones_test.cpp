#include "app/model/drag_zones.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

// A window from y 100 to 600 (exclusive), toolbar bottom 158, first row at 178, list bottom 560.
TEST(DragZones, ScrollAndCursorByBand) {
  const DragZones zones{100, 600, 158, 178, 560};
  struct Case {
    int Y;
    int Rows;
    bool Inside;
  };
  const Case cases[] = {
      {40, -2, false},  // above the window
      {100, -2, true},  {157, -2, true},  // over the title, menu and toolbar
      {158, -1, true},  {177, -1, true},  // over the column headers
      {178, 0, true},   {400, 0, true},   {559, 0, true},  // over the rows
      {560, 1, true},   {599, 1, true},   // below the list: the status bar
      {600, 2, false},  {900, 2, false},  // below the window
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DragScrollRows(zones, c.Y), c.Rows) << c.Y;
    EXPECT_EQ(DragPointerInside(zones, c.Y), c.Inside) << c.Y;
  }
}

}  // namespace
}  // namespace folvex
