#include "engine/transfer/pdf_values.h"

#include "engine/reading/pdf_strings.h"
#include "engine/reading/scanners.h"
#include "engine/transfer/collect_objects.h"

namespace folvex {

namespace {

const Byte* BytesOf(std::string_view text) { return reinterpret_cast<const Byte*>(text.data()); }

std::string_view ViewOf(const Byte* from, const Byte* to) {
  return {reinterpret_cast<const char*>(from), static_cast<std::size_t>(to - from)};
}

// Moves p to the next token; false at end.
bool NextToken(const Byte*& p, const Byte* end) {
  int ignored = 0;
  return SkipWhitespace(p, end, ignored) >= 0 && p < end;
}

// The values between open (just behind the opening delimiter) and the closing text; keys, when
// given, receives the name before each value.
bool ReadItems(const Byte* p, const Byte* end, std::string_view closing, std::vector<DictEntry>& out, bool keyed) {
  out.clear();
  for (;;) {
    if (!NextToken(p, end)) return false;
    if (StartsWith(p, end, closing)) return true;
    DictEntry entry;
    if (keyed) {
      if (*p != '/') return false;
      const Byte* name = p++;
      while (p < end && !IsDelimiter(*p)) ++p;
      entry.Key = ViewOf(name, p);
      if (!NextToken(p, end)) return false;
      // A key without a value before the closing ">>" is left out.
      if (StartsWith(p, end, closing)) return true;
    }
    const Byte* value = p;
    if (!SkipObjectValue(p, end) || p == value) return false;
    entry.Value = ViewOf(value, p);
    out.push_back(entry);
  }
}

}  // namespace

bool ReadDictionary(std::string_view text, std::vector<DictEntry>& entries) {
  const Byte* p = BytesOf(text);
  const Byte* end = p + text.size();
  if (!NextToken(p, end) || !StartsWith(p, end, "<<")) return false;
  return ReadItems(p + 2, end, ">>", entries, true);
}

bool ReadArray(std::string_view text, std::vector<std::string_view>& items) {
  const Byte* p = BytesOf(text);
  const Byte* end = p + text.size();
  items.clear();
  if (!NextToken(p, end) || *p != '[') return false;
  std::vector<DictEntry> entries;
  if (!ReadItems(p + 1, end, "]", entries, false)) return false;
  for (const DictEntry& entry : entries) items.push_back(entry.Value);
  return true;
}

std::string_view ValueOf(const std::vector<DictEntry>& entries, std::string_view key) {
  for (const DictEntry& entry : entries) {
    if (entry.Key == key) return entry.Value;
  }
  return {};
}

std::optional<int> ReferenceNumber(std::string_view value) {
  const Byte* p = BytesOf(value);
  const Byte* end = p + value.size();
  int number = 0, generation = 0, ignored = 0;
  if (value.empty() || !IsDigit(*p) || !ReadReference(p, end, number, generation, ignored) || p != end) {
    return std::nullopt;
  }
  return number;
}

std::optional<std::string> StringBytes(std::string_view value) {
  if (value.empty() || (value[0] != '(' && value[0] != '<') || value.starts_with("<<")) return std::nullopt;
  const Byte* p = BytesOf(value);
  std::vector<Byte> bytes;
  if (!DecodePdfString(p, p + value.size(), bytes)) return std::nullopt;
  return std::string(bytes.begin(), bytes.end());
}

std::string_view ObjectValue(const DocumentSlot& slot, int number) {
  const long index = XrefIndexOf(slot.Xref, number);
  if (index < 0) return {};
  const XrefEntry& entry = slot.Xref[static_cast<std::size_t>(index)];
  if (entry.Type == 'f' || entry.Offset == 0) return {};
  int error = 0;
  const Byte* end = slot.Image.End();
  const Byte* p = LocateObject(slot.Image.Begin(), end, entry.Offset, number, error);
  if (p == nullptr || !NextToken(p, end)) return {};
  const Byte* value = p;
  if (!SkipObjectValue(p, end)) return {};
  const Byte* after = p;
  if (NextToken(after, end) && StartsWith(after, end, "stream")) return {};
  return ViewOf(value, p);
}

std::string_view Resolved(const DocumentSlot& slot, std::string_view value) {
  for (int step = 0; step < 8; ++step) {
    const std::optional<int> number = ReferenceNumber(value);
    if (!number) return value;
    value = ObjectValue(slot, *number);
  }
  return {};
}

std::string ReferenceText(int number) { return std::to_string(number) + " 0 R"; }

}  // namespace folvex
