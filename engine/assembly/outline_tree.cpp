#include "engine/assembly/outline_tree.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace folvex {
namespace {

// Item indices (>= 1, input order) grouped by the page index they point at.
std::unordered_map<int, std::vector<int>> ItemsByPage(std::span<const OutlineItem> items) {
  std::unordered_map<int, std::vector<int>> byPage;
  for (std::size_t j = 1; j < items.size(); ++j) byPage[items[j].PageIndex].push_back(static_cast<int>(j));
  return byPage;
}

// The reader gives items level 1 and deeper; anything shallower is taken as the top level so that
// every entry has a parent.
int ItemLevel(const OutlineItem& item) { return std::max(1, item.Level); }

std::span<const OutlineItem> ItemsOf(const MergeOutlineFile& file) {
  if (file.Slot == nullptr) return {};
  return file.Slot->OutlineItems;
}

bool ItemIsClosed(std::span<const OutlineItem> items, int item) {
  return item >= 1 && static_cast<std::size_t>(item) < items.size() && items[item].Count < 0;
}

}  // namespace

MergeOutlineOptions MakeMergeOutlineOptions(const JobSettings& job, const OutputSettings& settings) {
  MergeOutlineOptions options;
  options.KeepOutlines = job.KeepOutlines != 0;
  options.OutlinesToTop = job.OutlinesToTop != 0;
  options.FileToOutline = settings.FileToOutline != 0;
  options.Down = settings.ODown != 0;
  options.Open = settings.OOpen != 0;
  options.Bold = settings.OBold != 0;
  options.Italic = settings.OItalic != 0;
  options.Colour = settings.OColor;
  return options;
}

bool ExtractHasOutlineEntries(const JobSettings& job, std::span<const OutlineItem> items,
                              std::span<const int> pageIndexList) {
  if (job.KeepOutlines == 0) return false;
  const std::unordered_set<int> written(pageIndexList.begin(), pageIndexList.end());
  for (std::size_t j = 1; j < items.size(); ++j) {
    if (written.contains(items[j].PageIndex)) return true;
  }
  return false;
}

bool MergeHasOutlineEntries(const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files) {
  if (options.FileToOutline) return true;
  if (!options.KeepOutlines) return false;
  for (const MergeOutlineFile& file : files) {
    std::span<const OutlineItem> items = ItemsOf(file);
    const std::unordered_set<int> written(file.PageIndexList.begin(), file.PageIndexList.end());
    for (std::size_t j = 1; j < items.size(); ++j) {
      // An unresolved destination (-1) gives no entry, so it does not count.
      const int page = items[j].PageIndex;
      if (file.PageIndexList.empty() ? page >= 0 && page < file.PageCount : written.contains(page)) return true;
    }
  }
  return false;
}

std::vector<OutlineEntry> ExtractOutlineEntries(std::span<const OutlineItem> items,
                                                std::span<const int> pageIndexList) {
  std::vector<OutlineEntry> entries(1);
  const auto byPage = ItemsByPage(items);
  for (std::size_t k = 0; k < pageIndexList.size(); ++k) {
    auto found = byPage.find(pageIndexList[k]);
    if (found == byPage.end()) continue;
    for (int j : found->second) entries.push_back({0, j, static_cast<int>(k), ItemLevel(items[j])});
  }
  return entries;
}

std::vector<OutlineEntry> MergeOutlineEntries(const MergeOutlineOptions& options,
                                              std::span<const MergeOutlineFile> files) {
  std::vector<OutlineEntry> entries(1);
  const int levelShift = options.FileToOutline && options.Down ? 1 : 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const MergeOutlineFile& file = files[i];
    const int document = static_cast<int>(i);
    if (options.FileToOutline) entries.push_back({document, kFileNameItem, file.FirstPage, 1});
    if (!options.KeepOutlines) continue;
    std::span<const OutlineItem> items = ItemsOf(file);
    const auto byPage = ItemsByPage(items);
    for (int p = 0; p < file.PageCount; ++p) {
      auto found = byPage.find(InputPageAt(file, p));
      if (found == byPage.end()) continue;
      for (int j : found->second) {
        entries.push_back({document, j, file.FirstPage + p, ItemLevel(items[j]) + levelShift});
      }
    }
  }
  return entries;
}

void FillOutlineGaps(std::vector<OutlineEntry>& entries) {
  if (entries.empty()) return;
  std::vector<OutlineEntry> filled;
  filled.reserve(entries.size());
  filled.push_back(entries[0]);
  int previousLevel = entries[0].Level;
  for (std::size_t k = 1; k < entries.size(); ++k) {
    const OutlineEntry& entry = entries[k];
    for (int level = previousLevel + 1; level < entry.Level; ++level) {
      filled.push_back({entry.Document, kPlaceholderItem, -1, level});
    }
    filled.push_back(entry);
    previousLevel = entry.Level;
  }
  entries = std::move(filled);
}

std::vector<OutlineNode> LinkOutlineTree(const std::vector<OutlineEntry>& entries, const std::vector<bool>& closed) {
  std::vector<OutlineNode> nodes(entries.size());
  // The latest entry seen at each level: the parent of an entry is the latest one level above it.
  std::vector<int> latestAtLevel{0};
  for (std::size_t k = 1; k < entries.size(); ++k) {
    const int index = static_cast<int>(k);
    const int level = std::clamp(entries[k].Level, 1, static_cast<int>(latestAtLevel.size()));
    const int parent = latestAtLevel[level - 1];
    latestAtLevel.resize(level + 1);
    latestAtLevel[level] = index;

    OutlineNode& node = nodes[k];
    OutlineNode& up = nodes[parent];
    node.Parent = parent;
    if (up.Last >= 0) {
      nodes[up.Last].Next = index;
      node.Prev = up.Last;
    } else {
      up.First = index;
    }
    up.Last = index;
    ++up.Count;
  }
  for (std::size_t k = 1; k < entries.size() && k < closed.size(); ++k) {
    if (closed[k]) nodes[k].Count = -nodes[k].Count;
  }
  // An open node shows its open descendants; a closed one stops them and holds their number as
  // a negative count instead.
  for (std::size_t k = 1; k < nodes.size(); ++k) {
    const int shown = nodes[k].Count;
    if (shown <= 0) continue;
    for (int a = nodes[k].Parent; a >= 0; a = nodes[a].Parent) {
      if (nodes[a].Count < 0) {
        nodes[a].Count -= shown;
        break;
      }
      nodes[a].Count += shown;
    }
  }
  return nodes;
}

std::vector<OutlineNode> LinkOutlinesAtTop(std::size_t entryCount) {
  std::vector<OutlineNode> nodes(entryCount);
  if (entryCount < 2) return nodes;
  const int last = static_cast<int>(entryCount) - 1;
  nodes[0].Count = last;
  nodes[0].First = 1;
  nodes[0].Last = last;
  for (int k = 1; k <= last; ++k) {
    nodes[k].Parent = 0;
    if (k > 1) nodes[k].Prev = k - 1;
    if (k < last) nodes[k].Next = k + 1;
  }
  return nodes;
}

OutlineTree BuildExtractOutline(std::span<const OutlineItem> items, std::span<const int> pageIndexList,
                                bool outlinesToTop) {
  OutlineTree tree;
  tree.Entries = ExtractOutlineEntries(items, pageIndexList);
  if (outlinesToTop) {
    tree.Nodes = LinkOutlinesAtTop(tree.Entries.size());
    return tree;
  }
  FillOutlineGaps(tree.Entries);
  std::vector<bool> closed(tree.Entries.size(), false);
  for (std::size_t k = 1; k < tree.Entries.size(); ++k) closed[k] = ItemIsClosed(items, tree.Entries[k].Item);
  tree.Nodes = LinkOutlineTree(tree.Entries, closed);
  return tree;
}

OutlineTree BuildMergeOutline(const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files) {
  OutlineTree tree;
  tree.Entries = MergeOutlineEntries(options, files);
  if (options.OutlinesToTop) {
    tree.Nodes = LinkOutlinesAtTop(tree.Entries.size());
    return tree;
  }
  FillOutlineGaps(tree.Entries);
  const bool fileEntriesClosed = options.Down && !options.Open;
  std::vector<bool> closed(tree.Entries.size(), false);
  for (std::size_t k = 1; k < tree.Entries.size(); ++k) {
    const OutlineEntry& entry = tree.Entries[k];
    if (entry.Item == kFileNameItem) {
      closed[k] = fileEntriesClosed;
    } else if (static_cast<std::size_t>(entry.Document) < files.size()) {
      closed[k] = ItemIsClosed(ItemsOf(files[entry.Document]), entry.Item);
    }
  }
  tree.Nodes = LinkOutlineTree(tree.Entries, closed);
  return tree;
}

}  // namespace folvex
