#include "app/jobs/progress_bar.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(ProgressBar, BlocksFollowThePercentageAndStayInsideTheFrame) {
  struct Case {
    int Percent;
    std::size_t Blocks;
  };
  for (const Case& c : {Case{-5, 0}, Case{0, 0}, Case{1, 1}, Case{37, 37}, Case{100, 100}, Case{250, 100}}) {
    const auto blocks = ProgressBlocks(c.Percent);
    ASSERT_EQ(blocks.size(), c.Blocks) << c.Percent;
    for (const BarRect& block : blocks) {
      EXPECT_GT(block.Left, kProgressFrame.Left);
      EXPECT_LT(block.Right, kProgressFrame.Right);
      EXPECT_GT(block.Top, kProgressFrame.Top);
      EXPECT_LT(block.Bottom, kProgressFrame.Bottom);
    }
  }
  const auto full = ProgressBlocks(100);
  EXPECT_EQ(full.front(), (BarRect{21, 52, 23, 78}));
  EXPECT_EQ(full[1], (BarRect{24, 52, 26, 78}));
  EXPECT_EQ(full.back(), (BarRect{318, 52, 320, 78}));
}

TEST(ProgressBar, MessagePercentagesAreClamped) {
  EXPECT_EQ(ClampPercent(-1), 0);
  EXPECT_EQ(ClampPercent(55), 55);
  EXPECT_EQ(ClampPercent(101), 100);
  EXPECT_EQ(ClampPercent(1LL << 40), 100);
}

}  // namespace
}  // namespace folvex
