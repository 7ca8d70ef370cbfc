// The page tree walk: pages in reading order with the attributes they inherit.
#pragma once

#include <array>
#include <unordered_map>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// Which inheritable attributes the path from the root defines, and the nearest node for each.
struct InheritState {
  int InheritFlags = 0;
  std::array<int, 4> Sources{};
};

// Page boxes collected during one walk (only while outlines are kept or file-name entries made).
struct PageBoxCollector {
  std::vector<PagesBoxEntry>* Table = nullptr;  // /Pages nodes with a direct /MediaBox
  std::unordered_map<int, std::size_t> TableIndex;  // node number -> its Table entry
  std::vector<PageBox>* Boxes = nullptr;        // one record per page in walk order
  std::size_t Cursor = 0;                       // next page record
};

// What a page-tree node holds itself, whatever the path that leads to it.
struct NodeFacts {
  std::int64_t Kids = 0;    // 0 for a /Page leaf, else the offset of the byte after its /Kids "["
  int Defines = 0;          // InheritFlags bits of the attributes the node holds
  bool BoxIsDirect = false; // /MediaBox is a direct array (read only while collecting page boxes)
  std::array<float, 4> Box{};
};

// Reads the facts of the node at offset. Returns 0 or a negative code (also in LastErrorCode).
int ExamineNode(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number,
                bool collectBoxes, NodeFacts& facts);

// ExamineNode for a dictionary whose "<<" is at start (a page standing directly in /Kids).
int ExamineDictionary(EngineState& state, const Byte* begin, const Byte* end, const Byte* start, bool collectBoxes,
                      NodeFacts& facts);

// Examines the node at offset: 0 for a /Page leaf (its need goes to pageNeed), a positive offset
// (of the byte after its /Kids "[") for a /Pages node, or a negative code.
std::int64_t PageNodeInfo(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number,
                 InheritState& inherit, int& pageNeed, PageBoxCollector* boxes);

// Offset of the byte after "[" of a node's direct /Kids array, 0 when the node has no /Kids, or a
// negative code.
std::int64_t FindKidsArray(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number);

// Walks the tree from the catalog dictionary [catalogStart, catalogEnd) into slot.PageList (and
// slot.PageBoxes when collecting). Sets state.PageCount; returns it, or -1 with the code set.
int WalkPageTree(EngineState& state, DocumentSlot& slot, const Byte* catalogStart, const Byte* catalogEnd);

}  // namespace folvex
