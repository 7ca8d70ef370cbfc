// The progress dialog's bar in client pixels: a frame and one narrow block per percent.
#pragma once

#include <vector>

namespace folvex {

struct BarRect {
  int Left, Top, Right, Bottom;
  bool operator==(const BarRect&) const = default;
};

constexpr BarRect kProgressFrame{20, 50, 321, 80};

// The filled blocks for percent (clamped to 0..100): block i spans 21+3i to 23+3i, so that 100
// blocks fill the frame.
std::vector<BarRect> ProgressBlocks(int percent);

// The percentage a progress message carries, clamped to 0..100.
int ClampPercent(long long percent);

}  // namespace folvex
