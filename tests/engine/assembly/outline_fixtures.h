// Hand-made input outlines for the outline tests: a document slot whose image holds the title,
// view and colour bytes the outline records point at.
#pragma once

#include <string>
#include <vector>

#include "engine/core/document.h"

namespace folvex::testing {

struct ItemFields {
  int Level = 1;
  int Page = 0;         // page index, -1 unresolved
  int Count = 0;        // the input's /Count, negative when closed
  std::string Title = {};   // with its delimiters; empty for none
  std::string View = {};    // empty for none
  std::string Colour = {};  // bytes inside /C [ ]; empty for none
  int Flags = 0;
};

// The slot of an input with the given items (record 0, the /Outlines dictionary, is added).
inline DocumentSlot MakeOutlineSlot(const std::vector<ItemFields>& items, std::vector<PageBox> boxes = {}) {
  std::string bytes = "%PDF-1.4\n";
  auto place = [&bytes](const std::string& text, int32_t& position, int32_t& length) {
    if (text.empty()) return;
    position = static_cast<int32_t>(bytes.size());
    length = static_cast<int32_t>(text.size());
    bytes += text + "\n";
  };
  DocumentSlot slot;
  slot.OutlineItems.push_back(OutlineItem{});
  for (const ItemFields& given : items) {
    OutlineItem item;
    item.Level = given.Level;
    item.PageIndex = given.Page;
    item.Count = given.Count;
    item.Flags = given.Flags;
    place(given.Title, item.TitlePosition, item.TitleLength);
    place(given.View, item.ViewPosition, item.ViewLength);
    place(given.Colour, item.ColourPosition, item.ColourLength);
    slot.OutlineItems.push_back(item);
  }
  slot.Image = MakeFileImage(std::vector<Byte>(bytes.begin(), bytes.end()));
  slot.PageBoxes = std::move(boxes);
  return slot;
}

}  // namespace folvex::testing
