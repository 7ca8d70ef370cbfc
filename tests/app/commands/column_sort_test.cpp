#include <gtest/gtest.h>

#include "app/session/command_ids.h"
#include "app/commands/command_table.h"

namespace folvex {
namespace {

TEST(ColumnSort, HeaderClicksWithAndWithoutShift) {
  struct Case {
    int Column;
    bool Shift;
    int Command;
  };
  const Case cases[] = {
      {0, false, kCmdArrayFileAll},    {1, false, kCmdArrayPathAll},    {2, false, kCmdArrayDateAll},
      {3, false, kCmdArrayPageAll},    {0, true, kCmdArrayFileSelect},  {1, true, kCmdArrayPathSelect},
      {2, true, kCmdArrayDateSelect},  {3, true, kCmdArrayPageSelect},  {4, false, 0},
      {-1, true, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ColumnSortCommand(c.Column, c.Shift), c.Command) << c.Column << c.Shift;
}

}  // namespace
}  // namespace folvex
