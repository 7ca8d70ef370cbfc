#include "engine/assembly/outline_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/engine/assembly/outline_fixtures.h"

namespace folvex {
namespace {

using testing::ItemFields;
using testing::MakeOutlineSlot;

// (item, page, level) of each entry after the root.
struct EntryView {
  int Item, Page, Level;
  bool operator==(const EntryView&) const = default;
};
std::vector<EntryView> Viewed(const std::vector<OutlineEntry>& entries) {
  std::vector<EntryView> viewed;
  for (std::size_t k = 1; k < entries.size(); ++k) viewed.push_back({entries[k].Item, entries[k].Page, entries[k].Level});
  return viewed;
}

// The count the PDF rule asks for, worked out from the children lists: an open node counts the
// entries visible below it, a closed one the negative number opening it would show.
int VisibleBelow(const std::vector<std::vector<int>>& children, const std::vector<bool>& closed, int node) {
  int visible = 0;
  for (int child : children[node]) visible += 1 + (closed[child] ? 0 : VisibleBelow(children, closed, child));
  return visible;
}

void ExpectPdfCounts(const OutlineTree& tree, const std::vector<bool>& closed) {
  std::vector<std::vector<int>> children(tree.Nodes.size());
  for (std::size_t k = 1; k < tree.Nodes.size(); ++k) children[tree.Nodes[k].Parent].push_back(static_cast<int>(k));
  for (std::size_t k = 0; k < tree.Nodes.size(); ++k) {
    const int visible = VisibleBelow(children, closed, static_cast<int>(k));
    EXPECT_EQ(tree.Nodes[k].Count, closed[k] ? -visible : visible) << "entry " << k;
  }
}

TEST(OutlineEntriesTest, ExtractRegroupsItemsByOutputPage) {
  const DocumentSlot slot = MakeOutlineSlot({{.Page = 2}, {.Page = 0}, {.Level = 2, .Page = 2}, {.Page = -1}, {.Page = 5}});
  struct Case {
    std::vector<int> Pages;
    std::vector<EntryView> Expected;
  };
  const std::vector<Case> cases = {
      {{0, 1, 2}, {{2, 0, 1}, {1, 2, 1}, {3, 2, 2}}},
      // Output order, not input order; a page written twice brings its items twice.
      {{2, 0, 2}, {{1, 0, 1}, {3, 0, 2}, {2, 1, 1}, {1, 2, 1}, {3, 2, 2}}},
      {{1, 3}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Viewed(ExtractOutlineEntries(slot.OutlineItems, c.Pages)), c.Expected);
  }
  EXPECT_EQ(ExtractOutlineEntries({}, std::vector<int>{0}).size(), 1u);
}

TEST(OutlineEntriesTest, ExtractConditionNeedsKeptOutlinesAndAWrittenPage) {
  const DocumentSlot slot = MakeOutlineSlot({{.Page = 3}, {.Page = -1}});
  JobSettings keep;
  keep.KeepOutlines = 1;
  const std::vector<int> withPage{0, 3}, withoutPage{0, 1, 2};
  EXPECT_TRUE(ExtractHasOutlineEntries(keep, slot.OutlineItems, withPage));
  EXPECT_FALSE(ExtractHasOutlineEntries(keep, slot.OutlineItems, withoutPage));
  EXPECT_FALSE(ExtractHasOutlineEntries(JobSettings{}, slot.OutlineItems, withPage));
  // Record 0 is the /Outlines dictionary, never an entry, whatever its page index says.
  DocumentSlot rootOnly = MakeOutlineSlot({});
  rootOnly.OutlineItems[0].PageIndex = 0;
  EXPECT_FALSE(ExtractHasOutlineEntries(keep, rootOnly.OutlineItems, withPage));
}

TEST(OutlineTreeTest, SkippedLevelsGetPlaceholders) {
  const DocumentSlot slot = MakeOutlineSlot({{.Level = 3, .Page = 0}, {.Level = 1, .Page = 0}, {.Level = 3, .Page = 0}});
  const std::vector<int> pages{0};
  const OutlineTree tree = BuildExtractOutline(slot.OutlineItems, pages, false);
  const std::vector<EntryView> expected = {{kPlaceholderItem, -1, 1}, {kPlaceholderItem, -1, 2}, {1, 0, 3},
                                           {2, 0, 1}, {kPlaceholderItem, -1, 2}, {3, 0, 3}};
  EXPECT_EQ(Viewed(tree.Entries), expected);
  const std::vector<int> parents{-1, 0, 1, 2, 0, 4, 5};
  for (std::size_t k = 0; k < parents.size(); ++k) EXPECT_EQ(tree.Nodes[k].Parent, parents[k]) << k;
  EXPECT_EQ(tree.Nodes[0].First, 1);
  EXPECT_EQ(tree.Nodes[0].Last, 4);
  EXPECT_EQ(tree.Nodes[1].Next, 4);
  EXPECT_EQ(tree.Nodes[4].Prev, 1);
  EXPECT_EQ(tree.Nodes[0].Count, 6);
}

TEST(OutlineTreeTest, ClosedItemsHideTheirDescendantsFromTheCounts) {
  const DocumentSlot slot = MakeOutlineSlot({
      {.Level = 1, .Count = -2},  // 1 A, closed
      {.Level = 2, .Count = 1},   // 2 A1
      {.Level = 3},               // 3 A1a
      {.Level = 2},               // 4 A2
      {.Level = 1, .Count = 2},   // 5 B
      {.Level = 2, .Count = -1},  // 6 B1, closed
      {.Level = 3},               // 7 B1a
      {.Level = 2},               // 8 B2
  });
  const std::vector<int> pages{0};
  const OutlineTree tree = BuildExtractOutline(slot.OutlineItems, pages, false);
  ASSERT_EQ(tree.Nodes.size(), 9u);
  const std::vector<int> counts{4, -3, 1, 0, 0, 2, -1, 0, 0};
  for (std::size_t k = 0; k < counts.size(); ++k) EXPECT_EQ(tree.Nodes[k].Count, counts[k]) << k;
  ExpectPdfCounts(tree, {false, true, false, false, false, false, true, false, false});
}

// Random level sequences (with gaps) and closed flags: the links follow the levels and every
// count follows the PDF rule.
TEST(OutlineTreeTest, RandomTreesFollowThePdfRule) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<ItemFields> items;
    int level = 0;
    const int size = 1 + static_cast<int>(next(40));
    for (int i = 0; i < size; ++i) {
      level = 1 + static_cast<int>(next(static_cast<uint32_t>(level + 3)));
      items.push_back({.Level = level, .Page = static_cast<int>(next(3)), .Count = next(3) == 0 ? -1 : 1});
    }
    const DocumentSlot slot = MakeOutlineSlot(items);
    const std::vector<int> pages{2, 0, 1};
    const OutlineTree tree = BuildExtractOutline(slot.OutlineItems, pages, false);
    std::vector<bool> closed(tree.Entries.size(), false);
    for (std::size_t k = 1; k < tree.Entries.size(); ++k) {
      const OutlineEntry& entry = tree.Entries[k];
      ASSERT_LE(entry.Level, tree.Entries[k - 1].Level + 1);
      closed[k] = entry.Item >= 1 && slot.OutlineItems[entry.Item].Count < 0;
      int parent = static_cast<int>(k) - 1;
      while (tree.Entries[parent].Level != entry.Level - 1) --parent;
      ASSERT_EQ(tree.Nodes[k].Parent, parent);
      const int prev = tree.Nodes[k].Prev;
      if (prev >= 0) {
        ASSERT_EQ(tree.Nodes[prev].Next, static_cast<int>(k));
      } else {
        ASSERT_EQ(tree.Nodes[parent].First, static_cast<int>(k));
      }
      if (tree.Nodes[k].Next < 0) {
        ASSERT_EQ(tree.Nodes[parent].Last, static_cast<int>(k));
      }
    }
    ExpectPdfCounts(tree, closed);
  }
}

// Two inputs of 2 and 3 pages; the first has an item on each page, the second a nested pair on
// its last page and one on a page it does not have.
struct MergeInputs {
  DocumentSlot First = MakeOutlineSlot({{.Level = 1, .Page = 1}, {.Level = 1, .Page = 0, .Count = 1}, {.Level = 2, .Page = 0}});
  DocumentSlot Second = MakeOutlineSlot({{.Level = 1, .Page = 2, .Count = -1}, {.Level = 2, .Page = 2}, {.Page = 3}});
  std::vector<MergeOutlineFile> Files{{&First, 2, 0, "a/one.pdf"}, {&Second, 3, 2, "two.pdf"}};
};

TEST(MergeOutlineTest, EntrySequencePerOptions) {
  MergeInputs inputs;
  const int file = kFileNameItem;
  struct Case {
    MergeOutlineOptions Options;
    std::vector<EntryView> Expected;
    std::vector<int> Documents;
  };
  const std::vector<Case> cases = {
      {{.KeepOutlines = true}, {{2, 0, 1}, {3, 0, 2}, {1, 1, 1}, {1, 4, 1}, {2, 4, 2}}, {0, 0, 0, 1, 1}},
      // File names only: one top-level entry per input at its first page; items are ignored.
      {{.FileToOutline = true}, {{file, 0, 1}, {file, 2, 1}}, {0, 1}},
      {{.KeepOutlines = true, .FileToOutline = true},
       {{file, 0, 1}, {2, 0, 1}, {3, 0, 2}, {1, 1, 1}, {file, 2, 1}, {1, 4, 1}, {2, 4, 2}},
       {0, 0, 0, 0, 1, 1, 1}},
      {{.KeepOutlines = true, .FileToOutline = true, .Down = true},
       {{file, 0, 1}, {2, 0, 2}, {3, 0, 3}, {1, 1, 2}, {file, 2, 1}, {1, 4, 2}, {2, 4, 3}},
       {0, 0, 0, 0, 1, 1, 1}},
      // Down alone does not move the items.
      {{.KeepOutlines = true, .Down = true}, {{2, 0, 1}, {3, 0, 2}, {1, 1, 1}, {1, 4, 1}, {2, 4, 2}}, {0, 0, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    const std::vector<OutlineEntry> entries = MergeOutlineEntries(c.Options, inputs.Files);
    EXPECT_EQ(Viewed(entries), c.Expected);
    std::vector<int> documents;
    for (std::size_t k = 1; k < entries.size(); ++k) documents.push_back(entries[k].Document);
    EXPECT_EQ(documents, c.Documents);
  }
}

TEST(MergeOutlineTest, ClosedFileEntriesCountOnlyWhatIsVisible) {
  MergeInputs inputs;
  struct Case {
    bool Open;
    std::vector<int> Counts;  // per entry, root first
  };
  // Entries: root, file 1, 1.2, 1.3, 1.1, file 2, 2.1 (closed), 2.2.
  const std::vector<Case> cases = {
      {false, {2, -3, 1, 0, 0, -1, -1, 0}},
      {true, {6, 3, 1, 0, 0, 1, -1, 0}},
  };
  for (const Case& c : cases) {
    const MergeOutlineOptions options{.KeepOutlines = true, .FileToOutline = true, .Down = true, .Open = c.Open};
    const OutlineTree tree = BuildMergeOutline(options, inputs.Files);
    ASSERT_EQ(tree.Nodes.size(), c.Counts.size());
    std::vector<bool> closed(tree.Nodes.size(), false);
    for (std::size_t k = 0; k < c.Counts.size(); ++k) {
      EXPECT_EQ(tree.Nodes[k].Count, c.Counts[k]) << k;
      closed[k] = tree.Entries[k].Item == kFileNameItem ? !c.Open : (k == 6);
    }
    EXPECT_EQ(tree.Nodes[1].Parent, 0);
    EXPECT_EQ(tree.Nodes[2].Parent, 1);
    EXPECT_EQ(tree.Nodes[5].Parent, 0);
    EXPECT_EQ(tree.Nodes[1].Next, 5);
    ExpectPdfCounts(tree, closed);
  }
}

TEST(MergeOutlineTest, ConditionForPageModes) {
  MergeInputs inputs;
  DocumentSlot unresolved = MakeOutlineSlot({{.Page = -1}, {.Page = 2}});
  const std::vector<MergeOutlineFile> farItems{{&unresolved, 2, 0, "x.pdf"}, {&unresolved, 2, 2, "y.pdf"}};
  EXPECT_TRUE(MergeHasOutlineEntries({.KeepOutlines = true}, inputs.Files));
  EXPECT_TRUE(MergeHasOutlineEntries({.FileToOutline = true}, farItems));
  EXPECT_FALSE(MergeHasOutlineEntries({.KeepOutlines = true}, farItems));
  EXPECT_FALSE(MergeHasOutlineEntries({}, inputs.Files));
}

}  // namespace
}  // namespace folvex
