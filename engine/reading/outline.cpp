#include "engine/reading/outline.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/reading/page_tree.h"
#include "engine/reading/scanners.h"

// Failure codes of the outline analysis:
//   -151 .. -154   an outline node that cannot be looked up (-151) or located (-152), is not a
//                  dictionary (-153) or has no end (-154); -151 also for a /Names key that is not a string
//   -155 .. -157   a /First value that is not a reference (number, generation, R)
//   -158 .. -160   the same for /Next
//   -161 .. -164   the catalog's /Outlines value: number below 1 or unreadable (-161), nothing behind
//                  the key (-162), no generation (-163), no R (-164)
//   -1583          the /Kids of the /Dests name tree root is not a direct array
//   -1620          a /Names value that is neither null, a reference, an array nor a dictionary
//   -1621, -1622   the catalog's /Names, or its /Dests, is neither a dictionary nor a reference to one
//   -1623          a name-tree /Kids entry that is neither a reference nor the closing "]"
//   -1624          a name-tree node that is not in the cross-reference table, or a leaf that cannot be read
//   -1625          a leaf's /Names that is not an array (direct or referenced) or has no closing "]"
//   -1626          the catalog's /Dests is neither a dictionary nor a reference to one
//   -1627          a /Dests entry that is not a name followed by an array, a dictionary or a reference
// A named destination whose value cannot be read as a destination leaves its items unresolved.
// Negative codes of FindKidsArray are passed on unchanged.

namespace folvex {

namespace {

constexpr int kCancelled = -1;

// The inside of a dictionary: [Start, End) lies between "<<" and ">>".
struct DictRange {
  const Byte* Start = nullptr;
  const Byte* End = nullptr;
};

// A /Names entry of the /Dests name tree: the name bytes between the string delimiters. The value
// stands behind the closing delimiter and is read when an item needs it.
struct NameRecord {
  std::int64_t Position = 0;
  int Length = 0;
};

// An explicit destination: the page object it names and the view part behind the page reference.
struct Destination {
  int PageNumber = -1;
  std::int64_t ViewPosition = 0;
  int ViewLength = 0;
};

// An entry of the catalog's /Dests dictionary.
struct DestsRecord {
  std::int64_t NamePosition = 0;
  int NameLength = 0;
  Destination Target;
};

// What an item's destination value resolved to, kept for the items that share the value.
struct ResolvedTarget {
  int Code = 0;
  int PageIndex = -1;
  std::int64_t ViewPosition = 0;
  int ViewLength = 0;
};

// The /D value of a /GoTo action object.
struct ActionTarget {
  bool IsGoTo = false;
  const Byte* Value = nullptr;
  const Byte* Limit = nullptr;
};

struct OutlineScan {
  EngineState& State;
  DocumentSlot& Slot;
  const Byte* Begin = nullptr;
  const Byte* End = nullptr;

  bool NeedNameTree = false;
  bool NeedDests = false;

  std::vector<NameRecord> NameTree{};
  std::unordered_map<std::string_view, int> NameTreeIndex{};  // name bytes -> first record
  std::vector<DestsRecord> Dests{};
  std::unordered_map<std::string_view, int> DestsIndex{};     // name bytes -> first record
  std::unordered_map<int, int> PageIndex{};                   // page object number -> PageList index
  std::unordered_map<int, ActionTarget> Actions{};            // /A object number -> its /D value
  std::map<std::pair<std::int64_t, std::int64_t>, ResolvedTarget> Resolved{};  // value and limit offsets -> target

  std::int64_t OffsetOf(const Byte* p) const { return p - Begin; }
  std::string_view Text(const Byte* p, std::ptrdiff_t length) const {
    return {reinterpret_cast<const char*>(p), static_cast<std::size_t>(length)};
  }
};

bool IsHexStringStart(const Byte* p) { return p[0] == '<' && p[1] != '<'; }

// Position behind "number generation obj" of an object, or null.
const Byte* ObjectBody(const OutlineScan& scan, int number) {
  int ignored = 0;
  std::int64_t offset = LookupObjectOffset(scan.Slot.Xref, number, ignored);
  if (offset < 0) return nullptr;
  return LocateObject(scan.Begin, scan.End, offset, number, ignored);
}

// The value at p, or the body of the object when p holds a reference. limit bounds the value and
// becomes the image end for an object body. Null when the value or the object cannot be reached.
const Byte* FollowReference(const OutlineScan& scan, const Byte* p, const Byte*& limit) {
  int ignored = 0;
  if (SkipWhitespace(p, limit, ignored) < 0) return nullptr;
  if (!IsDigit(*p)) return p;
  int number = 0, generation = 0;
  if (!ReadReference(p, limit, number, generation, ignored)) return p;
  const Byte* body = ObjectBody(scan, number);
  if (body != nullptr) limit = scan.End;
  return body;
}

// A dictionary written at p, directly or as a reference to a dictionary object.
bool DictionaryValue(const OutlineScan& scan, const Byte* p, const Byte* limit, DictRange& dict,
                     int* number = nullptr) {
  int ignored = 0;
  if (SkipWhitespace(p, limit, ignored) < 0) return false;
  if (!StartsWith(p, limit, "<<")) {
    int generation = 0, objectNumber = 0;
    if (!ReadReference(p, limit, objectNumber, generation, ignored)) return false;
    p = ObjectBody(scan, objectNumber);
    if (p == nullptr || !StartsWith(p, scan.End, "<<")) return false;
    limit = scan.End;
    if (number != nullptr) *number = objectNumber;
  }
  dict.Start = p + 2;
  dict.End = FindDictEnd(dict.Start, limit);
  return dict.End != nullptr;
}

// Reads an explicit destination whose "[" is at p: a page reference, then the view part up to the
// closing "]". After success p stands behind the "]".
bool ReadDestinationArray(const OutlineScan& scan, const Byte*& p, const Byte* limit, Destination& target) {
  const Byte* q = p + 1;
  int ignored = 0, generation = 0;
  if (!ReadReference(q, limit, target.PageNumber, generation, ignored)) {
    target.PageNumber = -1;
    return false;
  }
  if (SkipWhitespace(q, limit, ignored) < 0) return false;
  const Byte* close = std::find(q, limit, Byte{']'});
  if (close == limit) return false;
  target.ViewPosition = scan.OffsetOf(q);
  target.ViewLength = static_cast<int>(close - q);
  p = close + 1;
  return true;
}

enum class DestinationRead { Found, NotDestination, NoPageReference };

// A destination at p given as an array or as a dictionary whose /D holds the array (directly or
// through one reference).
DestinationRead ReadDestinationAt(const OutlineScan& scan, const Byte* p, const Byte* limit, Destination& target) {
  if (StartsWith(p, limit, "<<")) {
    const Byte* dictEnd = FindDictEnd(p + 2, limit);
    if (dictEnd == nullptr) return DestinationRead::NotDestination;
    int ignored = 0;
    const Byte* key = FindKey("/D", p + 2, dictEnd, ignored);
    if (key == nullptr) return DestinationRead::NotDestination;
    limit = dictEnd;
    p = FollowReference(scan, key + 2, limit);
    if (p == nullptr) return DestinationRead::NotDestination;
  }
  if (p >= limit || *p != '[') return DestinationRead::NotDestination;
  if (!ReadDestinationArray(scan, p, limit, target)) {
    return target.PageNumber < 0 ? DestinationRead::NoPageReference : DestinationRead::NotDestination;
  }
  return DestinationRead::Found;
}

// ---- Outline nodes ----

int OpenNode(const OutlineScan& scan, int number, DictRange& node) {
  int ignored = 0;
  std::int64_t offset = LookupObjectOffset(scan.Slot.Xref, number, ignored);
  if (offset < 0) return -151;
  const Byte* p = LocateObject(scan.Begin, scan.End, offset, number, ignored);
  if (p == nullptr) return -152;
  if (!StartsWith(p, scan.End, "<<")) return -153;
  node.Start = p + 2;
  node.End = FindDictEnd(node.Start, scan.End);
  return node.End == nullptr ? -154 : 0;
}

// Reads the reference behind key (/First or /Next): 1 with its object number, 0 when the node has
// no such link (or it is null), or a negative code counted down from firstCode.
int ReadLink(const DictRange& node, std::string_view key, int firstCode, int& number) {
  int error = 0;
  const Byte* found = FindKey(key, node.Start, node.End, error);
  if (found == nullptr) return 0;
  const Byte* p = found + key.size();
  if (SkipWhitespace(p, node.End, error) >= 0 && StartsWith(p, node.End, "null")) return 0;
  int value = ReadInteger(p, node.End, error);
  if (value < 0) return firstCode;
  if (ReadInteger(p, node.End, error) < 0) return firstCode - 1;
  if (SkipWhitespace(p, node.End, error) < 0 || *p != 'R') return firstCode - 2;
  number = value;
  return 1;
}

int OpenOutlinesRoot(const OutlineScan& scan, const Byte* p, const Byte* catalogEnd, DictRange& root,
                     int& rootNumber) {
  int error = 0;
  if (SkipWhitespace(p, catalogEnd, error) < 0) return -162;
  if (StartsWith(p, catalogEnd, "<<")) {
    root.Start = p + 2;
    root.End = FindDictEnd(root.Start, catalogEnd);
    return root.End == nullptr ? -154 : 0;
  }
  int number = ReadInteger(p, catalogEnd, error);
  if (number < 1) return -161;
  if (ReadInteger(p, catalogEnd, error) < 0) return -163;
  if (SkipWhitespace(p, catalogEnd, error) < 0 || *p != 'R') return -164;
  rootNumber = number;
  return OpenNode(scan, number, root);
}

// Whether the action dictionary written at p (directly or by reference) is a /GoTo action with
// a /D; value is then the /D value followed through one reference (null when that fails).
bool GoToDestination(const OutlineScan& scan, const Byte* p, const Byte* itemEnd, const Byte*& value,
                     const Byte*& limit) {
  int ignored = 0;
  DictRange a;
  if (!DictionaryValue(scan, p, itemEnd, a) || FindKey("/GoTo", a.Start, a.End, ignored) == nullptr) return false;
  const Byte* d = FindKey("/D", a.Start, a.End, ignored);
  if (d == nullptr) return false;
  limit = a.End;
  value = FollowReference(scan, d + 2, limit);
  return true;
}

// The same for an /A value; an action object shared by many items is read once.
bool ActionDestination(OutlineScan& scan, const Byte* p, const Byte* itemEnd, const Byte*& value,
                       const Byte*& limit) {
  const Byte* q = p;
  int ignored = 0, number = 0, generation = 0;
  if (SkipWhitespace(q, itemEnd, ignored) < 0 || !ReadReference(q, itemEnd, number, generation, ignored)) {
    return GoToDestination(scan, p, itemEnd, value, limit);
  }
  auto found = scan.Actions.find(number);
  if (found == scan.Actions.end()) {
    ++scan.State.DestinationScans;
    ActionTarget target;
    target.IsGoTo = GoToDestination(scan, p, itemEnd, target.Value, target.Limit);
    found = scan.Actions.emplace(number, target).first;
  }
  if (!found->second.IsGoTo) return false;
  value = found->second.Value;
  limit = found->second.Limit;
  return true;
}

// The destination value of an item: the /D of its /A dictionary when that is a /GoTo action, else
// its /Dest, each followed through one reference. Null when the item has none.
const Byte* ItemDestination(OutlineScan& scan, const DictRange& item, const Byte*& limit) {
  int ignored = 0;
  if (const Byte* action = FindKey("/A", item.Start, item.End, ignored)) {
    const Byte* value = nullptr;
    if (ActionDestination(scan, action + 2, item.End, value, limit)) return value;
  }
  if (const Byte* dest = FindKey("/Dest", item.Start, item.End, ignored)) {
    limit = item.End;
    return FollowReference(scan, dest + 5, limit);
  }
  return nullptr;
}

void NoteDestinationForm(OutlineScan& scan, const DictRange& item) {
  const Byte* limit = nullptr;
  const Byte* value = ItemDestination(scan, item, limit);
  if (value == nullptr) return;
  if (*value == '(' || IsHexStringStart(value)) scan.NeedNameTree = true;
  if (*value == '/') scan.NeedDests = true;
}

int PageIndexOf(const OutlineScan& scan, int pageNumber) {
  auto found = scan.PageIndex.find(pageNumber);
  return found == scan.PageIndex.end() ? -1 : found->second;
}

void SetTarget(const OutlineScan& scan, const Destination& target, OutlineItem& record) {
  record.PageIndex = PageIndexOf(scan, target.PageNumber);
  record.ViewPosition = target.ViewPosition;
  record.ViewLength = target.ViewLength;
}

// Resolves the value behind name-tree record index for record. A value that is no destination
// leaves the record unresolved, as any other destination that cannot be resolved.
int ResolveNamedValue(const OutlineScan& scan, int index, OutlineItem& record) {
  const NameRecord& name = scan.NameTree[index];
  const Byte* p = scan.Begin + name.Position + name.Length + 1;
  int ignored = 0;
  if (SkipWhitespace(p, scan.End, ignored) < 0 || StartsWith(p, scan.End, "null")) return 0;
  const Byte* limit = scan.End;
  p = FollowReference(scan, p, limit);
  Destination target;
  if (p != nullptr && ReadDestinationAt(scan, p, limit, target) == DestinationRead::Found) SetTarget(scan, target, record);
  return 0;
}

// Resolves the destination value [value, limit) into record. Returns 0 or a negative code.
int ResolveValue(const OutlineScan& scan, const Byte* value, const Byte* limit, OutlineItem& record) {
  if (*value == '[') {
    Destination target;
    if (ReadDestinationArray(scan, value, limit, target)) SetTarget(scan, target, record);
    return 0;
  }
  if (*value == '(' || IsHexStringStart(value)) {
    const Byte* close = value;
    bool closed = *value == '(' ? SkipLiteralString(close, limit) : SkipHexString(close, limit);
    if (!closed) return 0;
    auto found = scan.NameTreeIndex.find(scan.Text(value + 1, close - value - 2));
    return found == scan.NameTreeIndex.end() ? 0 : ResolveNamedValue(scan, found->second, record);
  }
  if (*value == '/') {
    const Byte* nameEnd = value + 1;
    while (nameEnd < limit && !IsDelimiter(*nameEnd)) ++nameEnd;
    auto found = scan.DestsIndex.find(scan.Text(value + 1, nameEnd - value - 1));
    if (found != scan.DestsIndex.end()) SetTarget(scan, scan.Dests[found->second].Target, record);
  }
  return 0;
}

// Resolves an item's destination into record. Items that share a destination value share its
// resolution. Returns 0 or a negative code.
int ResolveDestination(OutlineScan& scan, const DictRange& item, OutlineItem& record) {
  const Byte* limit = nullptr;
  const Byte* value = ItemDestination(scan, item, limit);
  if (value == nullptr || value >= limit) return 0;
  const std::pair key{scan.OffsetOf(value), scan.OffsetOf(limit)};
  auto found = scan.Resolved.find(key);
  if (found == scan.Resolved.end()) {
    ++scan.State.DestinationScans;
    OutlineItem target;
    ResolvedTarget resolved;
    resolved.Code = ResolveValue(scan, value, limit, target);
    resolved.PageIndex = target.PageIndex;
    resolved.ViewPosition = target.ViewPosition;
    resolved.ViewLength = target.ViewLength;
    found = scan.Resolved.emplace(key, resolved).first;
  }
  const ResolvedTarget& resolved = found->second;
  if (resolved.Code < 0) return resolved.Code;
  record.PageIndex = resolved.PageIndex;
  record.ViewPosition = resolved.ViewPosition;
  record.ViewLength = resolved.ViewLength;
  return 0;
}

void ReadCount(const DictRange& node, OutlineItem& record) {
  int error = 0;
  const Byte* key = FindKey("/Count", node.Start, node.End, error);
  if (key == nullptr) return;
  const Byte* p = key + 6;
  if (SkipWhitespace(p, node.End, error) < 0) return;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int value = ReadInteger(p, node.End, error);
  if (value >= 0) record.Count = negative ? -value : value;
}

void ReadTitle(const OutlineScan& scan, const DictRange& item, OutlineItem& record) {
  int error = 0;
  const Byte* key = FindKey("/Title", item.Start, item.End, error);
  if (key == nullptr) return;
  const Byte* limit = item.End;
  const Byte* p = FollowReference(scan, key + 6, limit);
  if (p == nullptr || p >= limit) return;
  const Byte* close = p;
  if (*p == '(') {
    if (!SkipLiteralString(close, limit)) return;
  } else if (IsHexStringStart(p)) {
    if (!SkipHexString(close, limit)) return;
  } else {
    return;
  }
  record.TitlePosition = scan.OffsetOf(p);
  record.TitleLength = static_cast<int>(close - p);
}

void ReadColour(const OutlineScan& scan, const DictRange& item, OutlineItem& record) {
  int error = 0;
  const Byte* key = FindKey("/C", item.Start, item.End, error);
  if (key == nullptr) return;
  const Byte* p = key + 2;
  if (SkipWhitespace(p, item.End, error) < 0 || *p != '[') return;
  const Byte* inside = p + 1;
  const Byte* close = std::find(inside, item.End, Byte{']'});
  if (close == item.End) return;
  record.ColourPosition = scan.OffsetOf(inside);
  record.ColourLength = static_cast<int>(close - inside);
}

void ReadFlags(const OutlineScan& scan, const DictRange& item, OutlineItem& record) {
  int error = 0;
  const Byte* key = FindKey("/F", item.Start, item.End, error);
  if (key == nullptr) return;
  const Byte* limit = item.End;
  const Byte* p = FollowReference(scan, key + 2, limit);
  if (p == nullptr) return;
  int value = ReadInteger(p, limit, error);
  if (value >= 1) record.Flags = value;
}

// Walks the outline depth first over /First and /Next from root. The first pass (build false) only
// notes which destination forms occur; the second appends the records. A link to a node already
// met ends that branch, so a looping outline terminates. Returns 0, kCancelled or a negative code.
int WalkOutline(OutlineScan& scan, const DictRange& root, int rootNumber, bool build) {
  struct Parent {
    DictRange Node;
    int Record = -1;
  };
  std::vector<OutlineItem>& items = scan.Slot.OutlineItems;
  std::unordered_set<int> visited;
  if (rootNumber > 0) visited.insert(rootNumber);
  std::vector<Parent> parents;
  DictRange node = root;
  for (;;) {
    const int level = static_cast<int>(parents.size());
    int record = -1;
    if (build) {
      if (scan.State.Cancelled()) return kCancelled;
      OutlineItem item;
      item.Level = level;
      ReadCount(node, item);
      if (level >= 1) {
        ReadTitle(scan, node, item);
        ReadColour(scan, node, item);
        ReadFlags(scan, node, item);
        if (int code = ResolveDestination(scan, node, item); code < 0) return code;
        ++items[parents.back().Record].Children;
      }
      record = static_cast<int>(items.size());
      items.push_back(item);
    } else if (level >= 1) {
      NoteDestinationForm(scan, node);
    }

    int number = 0;
    int link = ReadLink(node, "/First", -155, number);
    if (link < 0) return link;
    if (link == 1 && visited.insert(number).second) {
      DictRange child;
      if (int code = OpenNode(scan, number, child); code < 0) return code;
      parents.push_back({node, record});
      node = child;
      continue;
    }
    for (;;) {
      if (parents.empty()) return 0;
      link = ReadLink(node, "/Next", -158, number);
      if (link < 0) return link;
      if (link == 1 && visited.insert(number).second) {
        DictRange sibling;
        if (int code = OpenNode(scan, number, sibling); code < 0) return code;
        node = sibling;
        break;
      }
      node = parents.back().Node;
      parents.pop_back();
    }
  }
}

// ---- Named destinations ----

// Reads the /Names array of a name-tree leaf into name records.
int ReadNamesArray(OutlineScan& scan, const DictRange& leaf) {
  int error = 0;
  const Byte* key = FindKey("/Names", leaf.Start, leaf.End, error);
  if (key == nullptr) return 0;
  const Byte* limit = leaf.End;
  const Byte* p = FollowReference(scan, key + 6, limit);
  if (p == nullptr || p >= limit || *p != '[') return -1625;
  ++p;
  for (;;) {
    if (SkipWhitespace(p, limit, error) < 0) return -1625;
    if (*p == ']') return 0;
    const Byte* name = p;
    if (*p == '(') {
      if (!SkipLiteralString(p, limit)) return -151;
    } else if (IsHexStringStart(p)) {
      if (!SkipHexString(p, limit)) return -151;
    } else {
      return -151;
    }
    const NameRecord record{scan.OffsetOf(name + 1), static_cast<int>(p - name) - 2};
    if (SkipWhitespace(p, limit, error) < 0) return -1620;
    int number = 0, generation = 0;
    if (StartsWith(p, limit, "null")) {
      p += 4;
    } else if (IsDigit(*p)) {
      if (!ReadReference(p, limit, number, generation, error)) return -1620;
    } else if (StartsWith(p, limit, "<<")) {
      const Byte* close = FindDictEnd(p + 2, limit);
      if (close == nullptr) return -1620;
      p = close + 2;
    } else if (*p == '[') {
      if (!SkipArray(p, limit)) return -1620;
    } else {
      return -1620;
    }
    scan.NameTreeIndex.emplace(scan.Text(name + 1, record.Length), static_cast<int>(scan.NameTree.size()));
    scan.NameTree.push_back(record);
  }
}

// Walks the name tree depth first from the byte after the root's /Kids "[". Kids met before are
// skipped, so a /Kids cycle terminates.
int WalkNameTreeKids(OutlineScan& scan, const Byte* p, int rootNumber) {
  EngineState& state = scan.State;
  const int percent = 2 * state.ProgressFileIndex / std::max(1, state.ProgressFileCount) + 6;
  std::vector<const Byte*> resume;
  std::unordered_set<int> visited;
  if (rootNumber > 0) visited.insert(rootNumber);
  bool longLabel = true;
  for (;;) {
    int error = 0, number = 0, generation = 0;
    if (!ReadReference(p, scan.End, number, generation, error)) {
      if (SkipWhitespace(p, scan.End, error) < 0 || *p != ']') return -1623;
      if (resume.empty()) return 0;
      p = resume.back();
      resume.pop_back();
      continue;
    }
    if (!visited.insert(number).second) continue;
    if (longLabel) {
      state.ReportProgress("Analyzing Outline", "しおり構造解析中", percent);
    } else {
      state.ReportProgress("Analyzing", "しおり構造", percent);
    }
    longLabel = !longLabel;
    std::int64_t offset = LookupObjectOffset(scan.Slot.Xref, number, error);
    if (offset < 0) return -1624;
    const std::int64_t kids = FindKidsArray(state, scan.Begin, scan.End, offset, number);
    if (kids < 0) return static_cast<int>(kids);
    if (kids > 0) {
      resume.push_back(p);
      p = scan.Begin + kids;
      continue;
    }
    DictRange leaf;
    if (OpenNode(scan, number, leaf) < 0) return -1624;
    if (int code = ReadNamesArray(scan, leaf); code < 0) return code;
  }
}

int ReadNameTree(OutlineScan& scan, const DictRange& catalog) {
  int error = 0;
  const Byte* names = FindKey("/Names", catalog.Start, catalog.End, error);
  if (names == nullptr) return 0;
  DictRange namesDict;
  if (!DictionaryValue(scan, names + 6, catalog.End, namesDict)) return -1621;
  const Byte* dests = FindKey("/Dests", namesDict.Start, namesDict.End, error);
  if (dests == nullptr) return 0;
  DictRange root;
  int rootNumber = 0;
  if (!DictionaryValue(scan, dests + 6, namesDict.End, root, &rootNumber)) return -1622;
  const Byte* kids = FindKey("/Kids", root.Start, root.End, error);
  if (kids == nullptr) return ReadNamesArray(scan, root);
  const Byte* p = kids + 5;
  if (SkipWhitespace(p, root.End, error) < 0 || *p != '[') return -1583;
  return WalkNameTreeKids(scan, p + 1, rootNumber);
}

int ReadDestsTable(OutlineScan& scan, const DictRange& catalog) {
  int error = 0;
  const Byte* key = FindKey("/Dests", catalog.Start, catalog.End, error);
  if (key == nullptr) return 0;
  DictRange dests;
  if (!DictionaryValue(scan, key + 6, catalog.End, dests)) return -1626;
  const Byte* p = dests.Start;
  for (;;) {
    if (SkipWhitespace(p, dests.End, error) < 0) return 0;
    if (*p != '/') return -1627;
    const Byte* name = ++p;
    while (p < dests.End && !IsDelimiter(*p)) ++p;
    DestsRecord record;
    record.NamePosition = scan.OffsetOf(name);
    record.NameLength = static_cast<int>(p - name);
    if (SkipWhitespace(p, dests.End, error) < 0) return -1627;
    const Byte* value = p;
    const Byte* limit = dests.End;
    if (*p == '[') {
      if (!SkipArray(p, dests.End)) return -1627;
    } else if (StartsWith(p, dests.End, "<<")) {
      const Byte* close = FindDictEnd(p + 2, dests.End);
      if (close == nullptr) return -1627;
      p = close + 2;
    } else {
      int number = 0, generation = 0;
      if (!ReadReference(p, dests.End, number, generation, error)) return -1627;
      value = ObjectBody(scan, number);
      limit = scan.End;
    }
    // An entry that is no destination resolves nothing: the items that name it stay unresolved.
    if (value == nullptr || ReadDestinationAt(scan, value, limit, record.Target) != DestinationRead::Found) continue;
    scan.DestsIndex.emplace(scan.Text(name, record.NameLength), static_cast<int>(scan.Dests.size()));
    scan.Dests.push_back(record);
  }
}

int Fail(EngineState& state, DocumentSlot& slot, int code) {
  slot.OutlineItems.clear();
  state.LastErrorCode = code == kCancelled ? 0 : code;
  return -1;
}

}  // namespace

int AnalyzeOutlines(EngineState& state, DocumentSlot& slot, const Byte* catalogStart, const Byte* catalogEnd) {
  state.LastErrorCode = 0;
  slot.OutlineItems.clear();
  int error = 0;
  const Byte* key = FindKey("/Outlines", catalogStart, catalogEnd, error);
  if (key == nullptr) return state.PageCount;

  OutlineScan scan{state, slot, slot.Image.Begin(), slot.Image.End()};
  const DictRange catalog{catalogStart, catalogEnd};
  DictRange root;
  int rootNumber = 0;
  if (int code = OpenOutlinesRoot(scan, key + 9, catalogEnd, root, rootNumber); code < 0) {
    return Fail(state, slot, code);
  }
  if (int code = WalkOutline(scan, root, rootNumber, false); code < 0) return Fail(state, slot, code);
  if (scan.NeedNameTree) {
    if (int code = ReadNameTree(scan, catalog); code < 0) return Fail(state, slot, code);
  }
  if (scan.NeedDests) {
    if (int code = ReadDestsTable(scan, catalog); code < 0) return Fail(state, slot, code);
  }
  scan.PageIndex.reserve(slot.PageList.size());
  for (std::size_t i = 0; i < slot.PageList.size(); ++i) {
    if (slot.PageList[i].DirectOffset < 0) scan.PageIndex[slot.PageList[i].Number] = static_cast<int>(i);
  }
  if (int code = WalkOutline(scan, root, rootNumber, true); code < 0) return Fail(state, slot, code);
  state.LastErrorCode = 0;
  return state.PageCount;
}

}  // namespace folvex
