#include "app/jobs/progress_bar.h"

namespace folvex {

int ClampPercent(long long percent) {
  if (percent < 0) return 0;
  if (percent > 100) return 100;
  return static_cast<int>(percent);
}

std::vector<BarRect> ProgressBlocks(int percent) {
  std::vector<BarRect> blocks;
  const int count = ClampPercent(percent);
  blocks.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) blocks.push_back({21 + 3 * i, 52, 23 + 3 * i, 78});
  return blocks;
}

}  // namespace folvex
