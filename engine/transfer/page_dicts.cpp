#include "engine/transfer/page_dicts.h"

#include <array>
#include <unordered_map>
#include <string_view>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// The inherited line of one attribute of one page-tree node, made once per call: every page
// below the node takes the same line.
using InheritedLines = std::unordered_map<long long, std::string>;

struct CopyContext {
  EngineState& State;
  const DocumentSlot& Slot;
  std::string& Copy;
  InheritedLines& Lines;
  bool HasType = false;  // the page dictionary copied has a /Type entry

  int Fail(int code) {
    State.LastErrorCode = code;
    return 0;
  }
};

// A key of the page dictionary that the copy leaves out with its value: [key, keyEnd) is the
// key's name.
bool IsDroppedKey(const Byte* key, const Byte* keyEnd) {
  const std::string_view name(reinterpret_cast<const char*>(key), static_cast<std::size_t>(keyEnd - key));
  return name == "/Annots" || name == "/B";
}

void SkipBlanks(const Byte*& p, const Byte* end) {
  while (p < end && (IsWhitespace(*p) || *p == '%')) {
    if (*p == '%') {
      while (p < end && !IsEndOfLine(*p)) ++p;
    } else {
      ++p;
    }
  }
}

// Copies the dictionary [open, close) without its /Annots and /B entries. Keys are told from
// values by their place (a name that is a value, or one inside an array, is never a key).
int CopyDictionary(CopyContext& context, const Byte* open, const Byte* close) {
  std::string& copy = context.Copy;
  auto append = [&](const Byte* from, const Byte* to) { copy.append(reinterpret_cast<const char*>(from), to - from); };
  append(open, open + 2);
  const Byte* p = open + 2;
  while (p < close) {
    const Byte* start = p;
    SkipBlanks(p, close);
    if (p >= close) {
      append(start, p);
      break;
    }
    if (*p != '/') {
      // Not a key where a key belongs: copied as it stands, one value at a time.
      if (!SkipObjectValue(p, close)) return context.Fail(-503);
      append(start, p);
      continue;
    }
    const Byte* keyEnd = p + 1;
    while (keyEnd < close && !IsDelimiter(*keyEnd)) ++keyEnd;
    const bool dropped = IsDroppedKey(p, keyEnd);
    if (keyEnd - p == 5 && StartsWith(p, keyEnd, "/Type")) context.HasType = true;
    const Byte* valueEnd = keyEnd;
    SkipBlanks(valueEnd, close);
    // A key without a value (the dictionary closes right after it) stands alone.
    if (valueEnd < close && !SkipObjectValue(valueEnd, close)) return context.Fail(-503);
    if (dropped) {
      append(start, p);
      p = valueEnd;
      while (p < close && IsWhitespace(*p)) ++p;
      continue;
    }
    append(start, valueEnd);
    p = valueEnd;
  }
  return 1;
}

constexpr std::array<std::string_view, 4> kInheritedKeys = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};

// Makes the line of one inherited attribute, taken from the page-tree node that holds it, in
// context.Copy.
int MakeInheritedLine(CopyContext& context, int source, int node) {
  int& error = context.State.LastErrorCode;
  const FileImage& image = context.Slot.Image;
  const Byte* end = image.End();
  const std::string_view key = kInheritedKeys[static_cast<std::size_t>(source)];
  const std::int64_t offset = LookupObjectOffset(context.Slot.Xref, node, error);
  const Byte* dict = offset < 0 ? nullptr : LocateObject(image.Begin(), end, offset, node, error);
  if (dict == nullptr) return context.Fail(-511);
  if (end - dict <= static_cast<std::ptrdiff_t>(key.size() + 5) || !StartsWith(dict, end, "<<")) {
    return context.Fail(-512);
  }
  const Byte* dictEnd = FindDictEnd(dict + 2, end);
  const Byte* found = dictEnd == nullptr ? nullptr : FindKey(key, dict + 2, dictEnd, error);
  if (found == nullptr) return context.Fail(-513);
  const Byte* afterKey = found + key.size();
  const Byte* value = afterKey;
  if (SkipWhitespace(value, end, error) < 0) return context.Fail(-514);
  std::string& copy = context.Copy;
  copy.append(key);
  auto appendSource = [&](const Byte* to) { copy.append(reinterpret_cast<const char*>(afterKey), to - afterKey); };

  if (IsDigit(*value)) {
    const Byte* p = value;
    if (ReadInteger(p, end, error) >= 0 && ReadInteger(p, end, error) >= 0 && SkipWhitespace(p, end, error) >= 0 &&
        *p == 'R') {
      appendSource(p + 1);
      copy += '\n';
      return 1;
    }
    if (source != kSourceRotate) return context.Fail(error == 0 ? -518 : -517);
  }
  switch (source) {
    case kSourceResources: {
      const Byte* close = StartsWith(value, end, "<<") ? FindDictEnd(value + 2, end) : nullptr;
      if (close == nullptr) return context.Fail(-515);
      appendSource(close);
      copy += ">>\n";
      return 1;
    }
    case kSourceMediaBox:
    case kSourceCropBox: {
      const Byte* p = value;
      if (*value != '[' || !SkipArray(p, end)) return context.Fail(-515);
      appendSource(p - 1);
      copy += "]\n";
      return 1;
    }
    default: {
      // Angles are written as integers; a negative angle is as valid as a positive one.
      const Byte* p = value;
      const bool negative = *p == '-';
      if (*p == '-' || *p == '+') ++p;
      if (p >= end || !IsDigit(*p)) return context.Fail(-520);
      long angle = 0;
      while (p < end && IsDigit(*p) && angle < 1000000) angle = angle * 10 + (*p++ - '0');
      copy += ' ';
      copy += std::to_string(negative ? -angle : angle);
      copy += '\n';
      error = 0;
      return 1;
    }
  }
}

// Appends the line of one inherited attribute.
int AppendInheritedLine(CopyContext& context, int source, int node) {
  const long long key = static_cast<long long>(node) * 4 + source;
  auto found = context.Lines.find(key);
  if (found == context.Lines.end()) {
    std::string line;
    CopyContext lineContext{context.State, context.Slot, line, context.Lines};
    if (MakeInheritedLine(lineContext, source, node) != 1) return 0;
    found = context.Lines.emplace(key, std::move(line)).first;
  }
  context.Copy += found->second;
  return 1;
}

int BuildOne(EngineState& state, const DocumentSlot& slot, const PageEntry& page, std::string& copy,
             InheritedLines& lines) {
  CopyContext context{state, slot, copy, lines};
  int& error = state.LastErrorCode;
  const FileImage& image = slot.Image;
  const std::int64_t offset = page.DirectOffset >= 0 ? -1 : LookupObjectOffset(slot.Xref, page.Number, error);
  const Byte* dict = page.DirectOffset >= 0 ? image.Begin() + page.DirectOffset
                     : offset < 0          ? nullptr
                                           : LocateObject(image.Begin(), image.End(), offset, page.Number, error);
  if (dict == nullptr) return 0;
  if (!StartsWith(dict, image.End(), "<<")) return context.Fail(-502);
  const Byte* close = FindDictEnd(dict + 2, image.End());
  if (close == nullptr) return context.Fail(-502);

  copy.clear();
  if (CopyDictionary(context, dict, close) != 1) return 0;
  // A page read without /Type is written with it, as every reader expects.
  if (!context.HasType) copy += "/Type /Page\n";
  for (int source = kSourceResources; source <= kSourceRotate; ++source) {
    if ((page.Need & (1 << source)) == 0) continue;
    if (AppendInheritedLine(context, source, page.Sources[static_cast<std::size_t>(source)]) != 1) return 0;
  }
  copy += ">>\nendobj\n";
  return 1;
}

}  // namespace

int BuildPageDicts(EngineState& state, const DocumentSlot& slot, int pageCount, PageDictCopies& copies,
                   std::span<const int> only) {
  copies.assign(static_cast<std::size_t>(pageCount > 0 ? pageCount : 0), std::string());
  InheritedLines lines;
  // Each copy is made in one reused buffer and then stored at its exact size: one small block
  // per page instead of one grown by appends.
  std::string scratch;
  auto build = [&](int i) {
    if (state.Cancelled()) {
      state.LastErrorCode = -1;
      return false;
    }
    if (i < 0 || static_cast<std::size_t>(i) >= slot.PageList.size()) {
      state.LastErrorCode = -500;
      return false;
    }
    std::string& copy = copies[static_cast<std::size_t>(i)];
    if (!copy.empty()) return true;
    scratch.clear();
    const int built = BuildOne(state, slot, slot.PageList[static_cast<std::size_t>(i)], scratch, lines);
    copy = scratch;
    if (built != 1) {
      if (state.LastErrorCode == 0) state.LastErrorCode = -502;
      return false;
    }
    return true;
  };
  if (only.empty()) {
    for (int i = 0; i < pageCount; ++i) {
      if (!build(i)) return 0;
    }
  } else {
    for (int i : only) {
      if (i >= pageCount || !build(i)) {
        if (i >= pageCount) state.LastErrorCode = -500;
        return 0;
      }
    }
  }
  if (state.Cancelled()) {
    state.LastErrorCode = -1;
    return 0;
  }
  return pageCount > 0 || state.LastErrorCode == 0 ? 1 : 0;
}

}  // namespace folvex
