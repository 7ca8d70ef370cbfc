// The outline of an extracted or merged file: how its entries link and count, and the titles of a
// merge's file-name entries. (Which entries it gets and the objects written for them are judged
// through files by the extract and merge command tests.)
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/assembly/outline_objects.h"
#include "engine/assembly/outline_tree.h"

namespace folvex {
namespace {

using namespace std::string_literals;

// The count the PDF rule asks for, worked out from the children lists: an open node counts the
// entries visible below it, a closed one the negative number opening it would show.
int VisibleBelow(const std::vector<std::vector<int>>& children, const std::vector<bool>& closed, int node) {
  int visible = 0;
  for (int child : children[node]) visible += 1 + (closed[child] ? 0 : VisibleBelow(children, closed, child));
  return visible;
}

// The links follow the levels of the entries and every count follows the PDF rule.
void ExpectSoundTree(const OutlineTree& tree, const std::vector<bool>& closed) {
  std::vector<std::vector<int>> children(tree.Nodes.size());
  for (std::size_t k = 1; k < tree.Entries.size(); ++k) {
    const OutlineEntry& entry = tree.Entries[k];
    ASSERT_LE(entry.Level, tree.Entries[k - 1].Level + 1);
    // A placeholder stands only where a level is skipped: the next entry is one level deeper.
    if (entry.Item == kPlaceholderItem) {
      ASSERT_TRUE(k + 1 < tree.Entries.size() && tree.Entries[k + 1].Level == entry.Level + 1) << "entry " << k;
    }
    int parent = static_cast<int>(k) - 1;
    while (tree.Entries[parent].Level != entry.Level - 1) --parent;
    ASSERT_EQ(tree.Nodes[k].Parent, parent);
    children[parent].push_back(static_cast<int>(k));
    const int prev = tree.Nodes[k].Prev;
    ASSERT_EQ(prev >= 0 ? tree.Nodes[prev].Next : tree.Nodes[parent].First, static_cast<int>(k));
    if (tree.Nodes[k].Next < 0) {
      ASSERT_EQ(tree.Nodes[parent].Last, static_cast<int>(k));
    }
  }
  for (std::size_t k = 0; k < tree.Nodes.size(); ++k) {
    const int visible = VisibleBelow(children, closed, static_cast<int>(k));
    EXPECT_EQ(tree.Nodes[k].Count, closed[k] ? -visible : visible) << "entry " << k;
  }
}

// Random level sequences (with gaps, filled by placeholders) and closed items, extracted and
// merged with or without file-name entries, closed when they hold the outline one level down and
// are not to be open. Kept items keep their level, one level down only below file-name entries.
TEST(OutlineTree, RandomTreesFollowThePdfRule) {
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (int round = 0; round < 300; ++round) {
    // Record 0 is the /Outlines dictionary, never an entry, whatever its page index says.
    DocumentSlot slot;
    slot.OutlineItems = {{.PageIndex = 0}};
    int level = 0;
    const int size = 1 + static_cast<int>(next(40));
    for (int i = 0; i < size; ++i) {
      level = 1 + static_cast<int>(next(static_cast<uint32_t>(level + 3)));
      slot.OutlineItems.push_back({.Level = level, .PageIndex = static_cast<int>(next(3)), .Count = next(3) == 0 ? -1 : 1});
    }
    const std::vector<int> pages{2, 0, 1};
    const std::vector<MergeOutlineFile> files{{&slot, 3, 0, "a.pdf"}, {&slot, 2, 3, "b.pdf"}};
    const MergeOutlineOptions options{
        .KeepOutlines = true, .FileToOutline = round % 5 != 0, .Down = round % 3 != 0, .Open = round % 2 == 0};
    for (const bool merge : {false, true}) {
      const OutlineTree tree = merge ? BuildMergeOutline(options, files) : BuildExtractOutline(slot.OutlineItems, pages, false);
      const int shift = merge && options.FileToOutline && options.Down ? 1 : 0;
      std::vector<bool> closed(tree.Entries.size(), false);
      for (std::size_t k = 1; k < tree.Entries.size(); ++k) {
        const int item = tree.Entries[k].Item;
        closed[k] = item == kFileNameItem ? options.Down && !options.Open : item >= 1 && slot.OutlineItems[item].Count < 0;
        if (item >= 1) {
          ASSERT_EQ(tree.Entries[k].Level, slot.OutlineItems[item].Level + shift) << "round " << round << " entry " << k;
        }
      }
      ExpectSoundTree(tree, closed);
    }
  }
}

TEST(OutlineObjects, FileNameTitlesAreEscapedUtf16) {
  std::string longest = "\xFE\xFF", n258 = "\xFE\xFF";
  for (int k = 0; k < 172; ++k) longest += "\0\\("s;
  for (int k = 0; k < 258; ++k) n258 += "\0n"s;
  const struct {
    std::string Path;
    std::optional<std::string> Expected;
  } cases[] = {
      {"x/a.pd", "\xFE\xFF\0a\0.\0p\0d"s},  // four characters or fewer: used whole
      {"x/(draft).pdf", "\xFE\xFF\0\\(\0d\0r\0a\0f\0t\0\\)"s},
      // The extension is four characters, not four bytes.
      {"日本語", "\xFE\xFF\x65\xE5\x67\x2C\x8A\x9E"s},
      // A unit whose low byte is zero, then an ASCII character: every byte is written.
      {"\xC4\x80" "a.pdf", "\xFE\xFF\x01\x00\x00\x61"s},
      // A unit byte that is a backslash is escaped like any other (U+5C0F).
      {"\xE5\xB0\x8F.pdf", "\xFE\xFF\\\\\x0F"s},
      // A character outside the basic plane is one of the four, though it takes two units.
      {"ab\xF0\x9F\x98\x80.pd", "\xFE\xFF\0a\0b"s},
      {"\xED\xA0\x80.pdf", std::nullopt},  // an encoded surrogate
      {std::string(258, 'n') + ".pdf", n258},
      {std::string(259, 'n') + ".pdf", std::nullopt},
      // 2 mark bytes + 172 escaped "(" of 3 bytes + 2 plain units of 2 bytes = 522: still written.
      {std::string(172, '(') + "xx.pdf", longest + "\0x\0x"s},
      {std::string(172, '(') + "xxx.pdf", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path.substr(0, 40));
    EXPECT_EQ(FileNameTitle("dir/" + c.Path), c.Expected);
  }
}

}  // namespace
}  // namespace folvex
