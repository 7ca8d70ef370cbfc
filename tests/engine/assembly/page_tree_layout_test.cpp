#include "engine/assembly/page_tree_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace folvex {
namespace {

// Checks every structural promise of the tree for each page count up to 3000.
TEST(PageTreeLayoutTest, EveryCountGivesAConsistentBalancedTree) {
  for (int pages = 1; pages <= 3000; ++pages) {
    SCOPED_TRACE(pages);
    PageTreeLayout layout;
    ASSERT_EQ(LayOutPageTree(pages, layout), 0);
    ASSERT_EQ(layout.PageNumbers[0], FirstPageNumber(pages));
    const int last = layout.LastNumber;
    ASSERT_EQ(static_cast<int>(layout.Nodes.size()), last + 1);

    // Every number from 3 to the last is either a /Pages node or a page, exactly once.
    std::vector<int> uses(last + 1, 0);
    for (int number : layout.PageNumbers) ++uses[number];
    for (int number = kPageTreeRootNumber; number <= last; ++number) {
      if (!layout.Nodes[number].Kids.empty() || number == kPageTreeRootNumber) ++uses[number];
    }
    for (int number = kPageTreeRootNumber; number <= last; ++number) ASSERT_EQ(uses[number], 1) << number;
    // Pages are numbered in output order.
    for (int i = 1; i < pages; ++i) ASSERT_LT(layout.PageNumbers[i - 1], layout.PageNumbers[i]);

    // Kid lists agree with parents, stay within ten, and counts add up from the pages.
    std::vector<int> counted(last + 1, 0);
    for (int i = 0; i < pages; ++i) {
      int parent = layout.ParentNumbers[i];
      const std::vector<int>& kids = layout.Nodes[parent].Kids;
      ASSERT_NE(std::find(kids.begin(), kids.end(), layout.PageNumbers[i]), kids.end());
      int depth = 0;
      for (int n = parent; n != 0; n = layout.Nodes[n].Parent, ++depth) ++counted[n];
      ASSERT_LE(depth, 4);
    }
    for (int number = kPageTreeRootNumber; number <= last; ++number) {
      const PageTreeNode& node = layout.Nodes[number];
      ASSERT_LE(node.Kids.size(), 10u);
      ASSERT_EQ(node.PageCount, counted[number]) << number;
      for (int kid : node.Kids) {
        if (!layout.Nodes[kid].Kids.empty()) {
          ASSERT_EQ(layout.Nodes[kid].Parent, number);
        }
      }
    }
  }
  PageTreeLayout layout;
  EXPECT_EQ(LayOutPageTree(0, layout), kPageTreePageOutsideTable);
}

}  // namespace
}  // namespace folvex
