// The outline tree of an extracted or merged file: which entries it holds, in which order, and
// how they link. The input outlines are regrouped by output page; the text of each entry is
// written by outline_objects.h.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/core/document.h"
#include "engine/core/job_settings.h"

namespace folvex {

// Item values of an OutlineEntry besides an index (>= 1) into its document's OutlineItems.
constexpr int kOutlineRootItem = 0;
constexpr int kPlaceholderItem = -1;  // inserted where the input skips a level
constexpr int kFileNameItem = -2;     // merge: the entry naming an input file

struct OutlineEntry {
  int Document = 0;  // index of the input (merge); 0 for extract
  int Item = kOutlineRootItem;
  int Page = -1;     // output page position (index into the per-page object numbers); -1 none
  int Level = 0;     // root 0, top level 1
};

// Links are entry indices, -1 for none.
struct OutlineNode {
  int Count = 0;
  int Parent = -1, Prev = -1, Next = -1, First = -1, Last = -1;
};

// One input of a merge, as the outline needs it.
struct MergeOutlineFile {
  const DocumentSlot* Slot = nullptr;  // image, outline items and page boxes of the input
  int PageCount = 0;                   // pages of this input in the output
  int FirstPage = 0;                   // output position of its first page
  std::string_view Path = {};          // the input's path, UTF-8
  // The input's pages in output order (0-based), when only some are written; empty: all
  // PageCount pages in their order.
  std::span<const int> PageIndexList = {};
};

// The input page at output position k of file (k < file.PageCount).
inline int InputPageAt(const MergeOutlineFile& file, int k) {
  return file.PageIndexList.empty() ? k : file.PageIndexList[static_cast<std::size_t>(k)];
}

// The merge settings the outline depends on, taken from JobSettings and OutputSettings.
struct MergeOutlineOptions {
  bool KeepOutlines = false;
  bool OutlinesToTop = false;
  bool FileToOutline = false;
  bool Down = false;   // ODown: the input's outline hangs below its file-name entry
  bool Open = true;    // OOpen: file-name entries are open
  bool Bold = false;
  bool Italic = false;
  uint32_t Colour = 0; // OColor, red in the low byte; 0 for none
};
MergeOutlineOptions MakeMergeOutlineOptions(const JobSettings& job, const OutputSettings& settings);

// Page mode 2 and 6 ask whether the output gets outline entries.
bool ExtractHasOutlineEntries(const JobSettings& job, std::span<const OutlineItem> items,
                              std::span<const int> pageIndexList);
bool MergeHasOutlineEntries(const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files);

// The entry sequence: the root, then per output position k the items (index >= 1, input order)
// whose page is pageIndexList[k].
std::vector<OutlineEntry> ExtractOutlineEntries(std::span<const OutlineItem> items,
                                                std::span<const int> pageIndexList);

// The entry sequence of a merge: the root, then per input its file-name entry (FileToOutline) and
// its items regrouped by page (KeepOutlines), one level down under FileToOutline with Down.
std::vector<OutlineEntry> MergeOutlineEntries(const MergeOutlineOptions& options,
                                              std::span<const MergeOutlineFile> files);

// Inserts a placeholder entry for every level an entry skips below the entry before it.
void FillOutlineGaps(std::vector<OutlineEntry>& entries);

// Links gap-free entries: parent, siblings, first and last child; counts start as the number of
// children, closed[k] negates entry k's count, and then each open count is added to its ancestors
// up to and including the nearest closed one.
std::vector<OutlineNode> LinkOutlineTree(const std::vector<OutlineEntry>& entries, const std::vector<bool>& closed);

// All entries as children of the root, in sequence order.
std::vector<OutlineNode> LinkOutlinesAtTop(std::size_t entryCount);

struct OutlineTree {
  std::vector<OutlineEntry> Entries;  // entry 0 is the root
  std::vector<OutlineNode> Nodes;     // one per entry
};

// The whole tree of an extract or merge; Entries holds only the root when there is nothing to write.
OutlineTree BuildExtractOutline(std::span<const OutlineItem> items, std::span<const int> pageIndexList,
                                bool outlinesToTop);
OutlineTree BuildMergeOutline(const MergeOutlineOptions& options, std::span<const MergeOutlineFile> files);

}  // namespace folvex
