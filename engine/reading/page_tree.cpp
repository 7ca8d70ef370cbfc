#include "engine/reading/page_tree.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

constexpr std::string_view kAttributeKeys[4] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};
constexpr int kAttributeBits[4] = {kInheritResources, kInheritMediaBox, kInheritCropBox, kInheritRotate};

// Reads four numbers of a box array whose "[" has been passed. Each number ends at whitespace;
// a "]" right after the fourth is tolerated.
std::array<float, 4> ReadBoxNumbers(const Byte* p, const Byte* end) {
  std::array<float, 4> box{};
  for (float& value : box) {
    while (p < end && IsWhitespace(*p)) ++p;
    char text[40];
    std::size_t length = 0;
    while (p < end && !IsWhitespace(*p) && *p != ']' && length + 1 < sizeof text) text[length++] = static_cast<char>(*p++);
    text[length] = 0;
    value = std::strtof(text, nullptr);
  }
  return box;
}

// Locates the dictionary of object number at offset: [start, dictEnd) lies inside "<<" ">>".
int OpenNodeDictionary(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number,
                       const Byte*& start, const Byte*& dictEnd) {
  int& error = state.LastErrorCode;
  const Byte* p = LocateObject(begin, end, offset, number, error);
  if (p == nullptr) return error = -102;
  if (!StartsWith(p, end, "<<")) return error = -103;
  start = p + 2;
  dictEnd = FindDictEnd(start, end);
  if (dictEnd == nullptr) return error = -104;
  return 0;
}

// Position of the byte after "[" of a direct array value behind key, or null.
const Byte* DirectArrayAfter(const Byte* key, std::size_t keyLength, const Byte* end) {
  const Byte* p = key + keyLength;
  int ignored = 0;
  if (SkipWhitespace(p, end, ignored) < 0 || *p != '[') return nullptr;
  return p + 1;
}

// The first kid of the /Kids value at p: past its "[", or p itself in a damaged file whose "["
// was lost but whose references run up to the "]". Null for anything else.
const Byte* KidsListStart(const Byte* p, const Byte* end) {
  if (p < end && *p == '[') return p + 1;
  const Byte* q = p;
  int number = 0, generation = 0, ignored = 0;
  bool anyKid = false;
  while (ReadReference(q, end, number, generation, ignored)) anyKid = true;
  ignored = 0;
  if (!anyKid || SkipWhitespace(q, end, ignored) < 0 || *q != ']') return nullptr;
  return p;
}

}  // namespace

int ExamineNode(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number,
                bool collectBoxes, NodeFacts& facts) {
  int& error = state.LastErrorCode;
  error = 0;
  const Byte* start = LocateObject(begin, end, offset, number, error);
  if (start == nullptr) {
    facts = NodeFacts{};
    return error = -102;
  }
  return ExamineDictionary(state, begin, end, start, collectBoxes, facts);
}

int ExamineDictionary(EngineState& state, const Byte* begin, const Byte* end, const Byte* start, bool collectBoxes,
                      NodeFacts& facts) {
  int& error = state.LastErrorCode;
  error = 0;
  facts = NodeFacts{};
  if (!StartsWith(start, end, "<<")) return error = -103;
  start += 2;
  // The keys a node is read for and the dictionary's end, found in one pass; a dictionary that
  // pass cannot close (an unclosed string, say) is measured as every other one is.
  static constexpr std::string_view kNodeKeys[6] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate", "/Type", "/Kids"};
  const Byte* keys[6];
  if (FindKeysAndDictEnd(kNodeKeys, start, end, keys) == nullptr) {
    const Byte* dictEnd = FindDictEnd(start, end);
    if (dictEnd == nullptr) return error = -104;
    FindKeys(kNodeKeys, start, dictEnd, keys);
  }
  // Without /Type the role is plain all the same: a node lists kids, a page has none.
  bool isPagesNode = keys[5] != nullptr;
  if (const Byte* type = keys[4]) {
    const Byte* p = type + 5;
    if (SkipWhitespace(p, end, error) < 0) return error = -106;
    if (!StartsWith(p, end, "/Page")) return error = -107;
    p += 5;
    isPagesNode = *p == 's';
    if (!isPagesNode && !IsDelimiter(*p)) return error = -110;
  }
  error = 0;

  const Byte* const* attributes = keys;
  for (int i = 0; i < 4; ++i) {
    if (attributes[i] != nullptr) facts.Defines |= kAttributeBits[i];
  }
  error = 0;

  const Byte* mediaBox = attributes[kSourceMediaBox];
  const std::size_t mediaBoxKeyLength = kAttributeKeys[kSourceMediaBox].size();
  if (!isPagesNode) {
    if (collectBoxes && mediaBox != nullptr) {
      if (const Byte* array = DirectArrayAfter(mediaBox, mediaBoxKeyLength, end)) {
        facts.BoxIsDirect = true;
        facts.Box = ReadBoxNumbers(array, end);
      }
    }
    return 0;
  }

  if (collectBoxes && mediaBox != nullptr) {
    const Byte* q = mediaBox + mediaBoxKeyLength;
    if (SkipWhitespace(q, end, error) < 0) return error;
    if (*q == '[') {
      facts.BoxIsDirect = true;
      facts.Box = ReadBoxNumbers(q + 1, end);
    }
  }
  const Byte* kids = keys[5];
  if (kids == nullptr) return error = -109;
  error = 0;
  const Byte* q = kids + 5;
  if (SkipWhitespace(q, end, error) < 0) return error = -107;
  const Byte* firstKid = KidsListStart(q, end);
  if (firstKid == nullptr) return error = -109;
  error = 0;
  facts.Kids = firstKid - begin;
  return 0;
}

namespace {

void AddNodeBox(PageBoxCollector& boxes, int node, const std::array<float, 4>& box) {
  if (!boxes.TableIndex.emplace(node, boxes.Table->size()).second) return;
  boxes.Table->push_back({node, box});
}

// A /Pages node entered: its attributes become the inherited ones, with the node as their source.
void EnterPagesNode(const NodeFacts& facts, int number, InheritState& inherit) {
  for (int i = 0; i < 4; ++i) {
    if ((facts.Defines & kAttributeBits[i]) == 0) continue;
    inherit.InheritFlags |= kAttributeBits[i];
    inherit.Sources[i] = number;
  }
}

// A page met under inherit: writes its page-box record and returns its need.
int PageNeed(const NodeFacts& facts, const InheritState& inherit, PageBoxCollector* boxes) {
  if (boxes != nullptr) {
    PageBox record;
    record.Box = {-1.0f, -1.0f, -1.0f, -1.0f};
    if ((facts.Defines & kInheritMediaBox) != 0) {
      if (facts.BoxIsDirect) record.Box = facts.Box;
    } else {
      auto found = boxes->TableIndex.find(inherit.Sources[kSourceMediaBox]);
      if (found != boxes->TableIndex.end()) record.Box = (*boxes->Table)[found->second].Box;
    }
    // The records grow with the pages found, so a /Count smaller than the tree is harmless.
    if (boxes->Cursor >= boxes->Boxes->size()) boxes->Boxes->resize(boxes->Cursor + 1);
    (*boxes->Boxes)[boxes->Cursor++] = record;
  }
  return inherit.InheritFlags & ~facts.Defines;
}

}  // namespace

std::int64_t PageNodeInfo(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number,
                 InheritState& inherit, int& pageNeed, PageBoxCollector* boxes) {
  NodeFacts facts;
  if (int code = ExamineNode(state, begin, end, offset, number, boxes != nullptr, facts); code < 0) return code;
  if (facts.Kids > 0) {
    EnterPagesNode(facts, number, inherit);
    if (boxes != nullptr && facts.BoxIsDirect) AddNodeBox(*boxes, number, facts.Box);
    return facts.Kids;
  }
  pageNeed = PageNeed(facts, inherit, boxes);
  return 0;
}

std::int64_t FindKidsArray(EngineState& state, const Byte* begin, const Byte* end, std::int64_t offset, int number) {
  int& error = state.LastErrorCode;
  error = 0;
  const Byte *start = nullptr, *dictEnd = nullptr;
  if (int code = OpenNodeDictionary(state, begin, end, offset, number, start, dictEnd); code < 0) return code;
  const Byte* kids = FindKey("/Kids", start, dictEnd, error);
  if (kids == nullptr) {
    error = 0;
    return 0;
  }
  const Byte* p = kids + 5;
  if (SkipWhitespace(p, end, error) < 0) return error = -107;
  const Byte* firstKid = KidsListStart(p, end);
  if (firstKid == nullptr) return error = -109;
  return firstKid - begin;
}

namespace {

// The "<<" of a dictionary that stands as the next kid at p, or null.
const Byte* DirectKidAt(const Byte* p, const Byte* end) {
  int ignored = 0;
  if (SkipWhitespace(p, end, ignored) < 0 || !StartsWith(p, end, "<<")) return nullptr;
  return p;
}

struct WalkFrame {
  std::int64_t ResumeOffset = 0;
  InheritState Saved;
  int Node = 0;  // the /Pages node whose /Kids are walked at this level
};

// Finds the root /Pages node from the catalog and checks it. Returns 0 or a negative code;
// rootNumber, rootStart and rootEnd describe the node's dictionary.
int OpenRootNode(EngineState& state, const DocumentSlot& slot, const Byte* catalogStart, const Byte* catalogEnd,
                 int& rootNumber, const Byte*& rootStart, const Byte*& rootEnd) {
  int& error = state.LastErrorCode;
  const Byte* begin = slot.Image.Begin();
  const Byte* end = slot.Image.End();
  const Byte* key = FindKey("/Pages", catalogStart, catalogEnd, error);
  if (key == nullptr) return error = -119;
  const Byte* p = key + 6;
  rootNumber = ReadInteger(p, end, error);
  if (rootNumber < 0) return error = -120;
  if (ReadInteger(p, end, error) < 0) return error = -121;
  if (SkipWhitespace(p, end, error) < 0) return error = -122;
  if (*p != 'R') return error = -123;
  std::int64_t offset = LookupObjectOffset(slot.Xref, rootNumber, error);
  if (offset < 0) return error = -124;
  p = LocateObject(begin, end, offset, rootNumber, error);
  if (p == nullptr) return error = -125;
  if (!StartsWith(p, end, "<<")) return error = -126;
  rootStart = p + 2;
  rootEnd = FindDictEnd(rootStart, end);
  if (rootEnd == nullptr) return error = -127;
  // A root without /Type is taken for what the catalog says it is when it lists kids.
  const Byte* type = FindKey("/Type", rootStart, rootEnd, error);
  if (type == nullptr) {
    error = 0;
    if (FindKey("/Kids", rootStart, rootEnd, error) == nullptr) return error = -128;
    error = 0;
    return 0;
  }
  p = type + 5;
  if (SkipWhitespace(p, end, error) < 0) return error = -129;
  if (!StartsWith(p, end, "/Pages") || !IsDelimiter(p[6])) return error = -130;
  error = 0;
  return 0;
}

// Position of the first byte inside the root's /Kids array, direct or referenced.
const Byte* OpenRootKids(EngineState& state, const DocumentSlot& slot, const Byte* rootStart, const Byte* rootEnd) {
  int& error = state.LastErrorCode;
  const Byte* begin = slot.Image.Begin();
  const Byte* end = slot.Image.End();
  const Byte* kids = FindKey("/Kids", rootStart, rootEnd, error);
  if (kids == nullptr) {
    error = -132;
    return nullptr;
  }
  const Byte* p = kids + 5;
  if (SkipWhitespace(p, end, error) < 0) {
    error = -133;
    return nullptr;
  }
  if (const Byte* firstKid = KidsListStart(p, end)) return firstKid;
  int number = 0, generation = 0;
  if (!ReadReference(p, end, number, generation, error)) {
    error = -134;
    return nullptr;
  }
  std::int64_t offset = LookupObjectOffset(slot.Xref, number, error);
  p = offset < 0 ? nullptr : LocateObject(begin, end, offset, number, error);
  if (p == nullptr || *p != '[') {
    error = -134;
    return nullptr;
  }
  return p + 1;
}

}  // namespace

int WalkPageTree(EngineState& state, DocumentSlot& slot, const Byte* catalogStart, const Byte* catalogEnd) {
  int& error = state.LastErrorCode;
  const Byte* begin = slot.Image.Begin();
  const Byte* end = slot.Image.End();
  slot.PageList.clear();
  slot.PageBoxes.clear();
  state.PagesBoxTable.clear();
  auto fail = [&](int code) {
    if (code != 0) error = code;
    slot.PageList.clear();
    slot.PageBoxes.clear();
    return -1;
  };

  int rootNumber = 0;
  const Byte *rootStart = nullptr, *rootEnd = nullptr;
  if (OpenRootNode(state, slot, catalogStart, catalogEnd, rootNumber, rootStart, rootEnd) < 0) return -1;

  bool hasCount = false;
  if (const Byte* key = FindKey("/Count", rootStart, rootEnd, error)) {
    const Byte* p = key + 6;
    int count = ReadInteger(p, end, error);
    if (count < 0) {
      error = -131;
      return -1;
    }
    state.PageCount = count;
    hasCount = true;
  }
  error = 0;

  PageBoxCollector collector{&state.PagesBoxTable, {}, &slot.PageBoxes, 0};
  PageBoxCollector* boxes = (state.Job.KeepOutlines != 0 || state.Settings.FileToOutline != 0) ? &collector : nullptr;

  InheritState inherit;
  inherit.Sources.fill(rootNumber);
  for (int i = 0; i < 4; ++i) {
    const Byte* key = FindKey(kAttributeKeys[i], rootStart, rootEnd, error);
    if (key == nullptr) continue;
    inherit.InheritFlags |= kAttributeBits[i];
    if (i == kSourceMediaBox && boxes != nullptr) {
      if (const Byte* array = DirectArrayAfter(key, kAttributeKeys[i].size(), end)) {
        AddNodeBox(collector, rootNumber, ReadBoxNumbers(array, end));
      }
    }
  }
  error = 0;

  const Byte* p = OpenRootKids(state, slot, rootStart, rootEnd);
  if (p == nullptr) return -1;

  // Each node is examined once; a node met again (a page listed twice, a shared subtree) is
  // taken from here, found through its cross-reference index. What depends on the path to it is
  // worked out again every time.
  std::vector<NodeFacts> known;
  std::vector<int> knownAt(slot.Xref.size(), -1);
  if (hasCount) {
    const auto pages = std::min<std::size_t>(static_cast<std::size_t>(state.PageCount), slot.Xref.size());
    slot.PageList.reserve(pages);
    known.reserve(std::min(pages + pages / 8 + 16, slot.Xref.size()));
  }
  std::vector<WalkFrame> stack;
  std::unordered_set<int> onPath{rootNumber};
  // Every kid reference costs one visit. A tree without shared subtrees needs no more visits
  // than it has references; this allows each reference to be walked several times over.
  auto visitsLeft = static_cast<std::int64_t>(slot.Image.Size() / 2) + 4096;
  for (;;) {
    if (state.Cancelled()) return fail(0);
    // A page may stand in the /Kids array itself instead of being referenced there.
    if (const Byte* dict = DirectKidAt(p, end)) {
      if (--visitsLeft < 0) return fail(-144);
      NodeFacts facts;
      ++state.PageNodeScans;
      if (ExamineDictionary(state, begin, end, dict, boxes != nullptr, facts) < 0 || facts.Kids != 0) return fail(-144);
      PageEntry page{0, 0, PageNeed(facts, inherit, boxes), {}, dict - begin};
      if (page.Need != 0) page.Sources = inherit.Sources;
      slot.PageList.push_back(page);
      const Byte* close = FindDictEnd(dict + 2, end);
      if (close == nullptr) return fail(-144);
      p = close + 2;
      continue;
    }
    int number = ReadInteger(p, end, error);
    if (number < 0) {
      error = 0;
      if (stack.empty()) break;
      if (SkipWhitespace(p, end, error) < 0) return fail(-135);
      if (*p != ']') return fail(-136);
      p = begin + stack.back().ResumeOffset;
      inherit = stack.back().Saved;
      onPath.erase(stack.back().Node);
      stack.pop_back();
      continue;
    }
    int generation = ReadInteger(p, end, error);
    if (generation < 0) return fail(-140);
    if (SkipWhitespace(p, end, error) < 0) return fail(-141);
    if (*p != 'R') return fail(-142);
    ++p;
    if (--visitsLeft < 0) return fail(-144);
    const auto listed = std::lower_bound(slot.Xref.begin(), slot.Xref.end(), number,
                                         [](const XrefEntry& entry, int n) { return entry.Number < n; });
    if (listed == slot.Xref.end() || listed->Number != number || listed->Offset < 0) return fail(-143);
    const auto index = static_cast<std::size_t>(listed - slot.Xref.begin());
    if (knownAt[index] < 0) {
      error = 0;
      const std::int64_t offset = listed->Offset;
      NodeFacts facts;
      ++state.PageNodeScans;
      int examined = ExamineNode(state, begin, end, offset, number, boxes != nullptr, facts);
      if (state.PageNodeScanHook) state.PageNodeScanHook();
      if (examined < 0) return fail(-144);
      if (boxes != nullptr && facts.Kids > 0 && facts.BoxIsDirect) AddNodeBox(collector, number, facts.Box);
      knownAt[index] = static_cast<int>(known.size());
      known.push_back(facts);
    }
    const NodeFacts& facts = known[static_cast<std::size_t>(knownAt[index])];
    if (facts.Kids == 0) {
      int need = PageNeed(facts, inherit, boxes);
      PageEntry page{number, generation, need, {}};
      if (need != 0) page.Sources = inherit.Sources;
      slot.PageList.push_back(page);
      continue;
    }
    // A /Kids entry that leads back to a node on the current path is skipped.
    if (!onPath.insert(number).second) continue;
    stack.push_back({p - begin, inherit, number});
    EnterPagesNode(facts, number, inherit);
    p = begin + facts.Kids;
  }
  if (slot.PageList.empty()) return fail(-149);
  const int pagesFound = static_cast<int>(slot.PageList.size());
  // A /Count larger than the tree gives way to the pages found; a smaller one stands.
  if (!hasCount || state.PageCount > pagesFound) state.PageCount = pagesFound;
  if (boxes != nullptr) slot.PageBoxes.resize(slot.PageList.size() + 1);
  return state.PageCount;
}

}  // namespace folvex
