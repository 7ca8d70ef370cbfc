#include "engine/assembly/page_tree_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace folvex {
namespace {

constexpr std::size_t kMaxKids = 10;

// floor(log10(pageCount)) for pageCount >= 1.
int DecimalDigitsBelow(int64_t pageCount) {
  int d = 0;
  for (int64_t p = 10; p <= pageCount; p *= 10) ++d;
  return d;
}

int64_t PowerOfTen(int exponent) {
  int64_t p = 1;
  for (int k = 0; k < exponent; ++k) p *= 10;
  return p;
}

}  // namespace

int FirstPageNumber(int pageCount) {
  if (pageCount <= 1) return 4;
  int d = DecimalDigitsBelow(pageCount);
  bool powerOfTen = PowerOfTen(d) == pageCount;
  return powerOfTen ? 3 + d : 4 + d;
}

int LayOutPageTree(int pageCount, PageTreeLayout& layout) {
  layout = PageTreeLayout{};
  if (pageCount < 1) return kPageTreePageOutsideTable;

  // Pages fill the deepest level first: the first pagesAtDepthD pages sit at depth d, the rest
  // one level higher; the exact powers of ten (10, 100, ...) sit one level higher throughout.
  const int d = DecimalDigitsBelow(pageCount);
  const int64_t p = PowerOfTen(d);
  const int64_t q = (pageCount - p) / 9;
  const int64_t r = pageCount - 9 * q - p;
  const int64_t pagesAtDepthD = 10 * q + r + 1;
  const bool deepLevelUsed = q != 0 || r != 0 || pageCount == 1;
  // The table has R + 2 records, R being d + 2 ones (11, 111, ...), so the last usable number is R + 1.
  const int64_t lastUsable = (PowerOfTen(d + 2) - 1) / 9 + 1;

  layout.PageNumbers.assign(pageCount, 0);
  layout.ParentNumbers.assign(pageCount, 0);
  // Every page and every /Pages node is a record: about pageCount * 10 / 9 of them.
  layout.Nodes.reserve(static_cast<std::size_t>(
      std::min<int64_t>(lastUsable + 1, kPageTreeRootNumber + 1 + pageCount + pageCount / 9 + d + 2)));
  layout.Nodes.resize(kPageTreeRootNumber + 1);
  layout.Nodes[kPageTreeRootNumber].Parent = 0;
  int current = kPageTreeRootNumber;
  int depth = 0;
  int next = kPageTreeRootNumber + 1;

  for (int i = 0; i < pageCount; ++i) {
    const int target = (i < pagesAtDepthD && deepLevelUsed) ? d : d - 1;
    for (;;) {
      PageTreeNode& node = layout.Nodes[current];
      const bool isRoot = current == kPageTreeRootNumber;
      if (depth > target || node.Kids.size() >= kMaxKids) {
        if (isRoot) return depth == target ? kPageTreeRootFullAtTarget : kPageTreeRootFullBelowTarget;
        current = node.Parent;
        --depth;
        continue;
      }
      if (depth == target) {
        if (next > lastUsable) return kPageTreePageOutsideTable;
        const int page = next++;
        layout.Nodes.emplace_back();
        layout.Nodes[current].Kids.push_back(page);
        for (int n = current; n != 0; n = layout.Nodes[n].Parent) ++layout.Nodes[n].PageCount;
        layout.PageNumbers[i] = page;
        layout.ParentNumbers[i] = current;
        layout.LastNumber = page;
        break;
      }
      if (next > lastUsable) return kPageTreeNodeOutsideTable;
      const int child = next++;
      layout.Nodes.emplace_back();
      layout.Nodes[child].Parent = current;
      layout.Nodes[current].Kids.push_back(child);
      layout.LastNumber = child;
      current = child;
      ++depth;
    }
  }
  return 0;
}

void AppendPagesObjects(TransferOutput& output, const PageTreeLayout& layout) {
  std::string& out = output.Text;
  for (int number = kPageTreeRootNumber; number <= layout.LastNumber; ++number) {
    const PageTreeNode& node = layout.Nodes[number];
    if (node.Kids.empty()) continue;
    output.RecordOffset(number, output.Position());
    out += std::to_string(number) + " 0 obj\n<<\n/Type /Pages\n/Kids [ ";
    for (int kid : node.Kids) out += std::to_string(kid) + " 0 R ";
    out += "]\n/Count " + std::to_string(node.PageCount) + "\n";
    if (number != kPageTreeRootNumber) out += "/Parent " + std::to_string(node.Parent) + " 0 R\n";
    out += ">>\nendobj\n";
  }
}

}  // namespace folvex
