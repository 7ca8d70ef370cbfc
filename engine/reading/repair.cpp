#include "engine/reading/repair.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// Object numbers above this stop the scan like an object without an end. Besides the fixed ceiling,
// a number may exceed the image size only by a margin, so a small hostile file cannot make the
// offset table and the written cross-reference table huge.
constexpr std::size_t kObjectNumberCeiling = 10'000'000;
constexpr std::size_t kObjectNumberMargin = 65'536;

constexpr std::size_t kOutputReserve = 32'768;

struct RepairEntry {
  int Generation = 0;
  long long Offset = 0;
};

bool EndsHeaderScanToken(Byte c) {
  return IsWhitespace(c) || c == '%' || c == ']' || c == '}' || c == '>' || c == ')';
}

bool EndsObjectScanToken(Byte c) { return EndsHeaderScanToken(c) || c == '/'; }

bool MayFollowObjKeyword(Byte c) {
  return IsWhitespace(c) || c == '%' || c == '<' || c == '[' || c == '{' || c == '(';
}

bool MayFollowCatalogName(Byte c) {
  return c == '<' || c == '>' || c == '(' || c == ')' || c == '{' || c == '}' || c == '[' || c == ']' || c == '/';
}

// Position of the "<<" that opens the object's dictionary when it directly follows "n g obj".
const Byte* ObjectDictionary(const Byte* header, const Byte* end) {
  const Byte* p = header;
  int error = 0;
  if (ReadInteger(p, end, error) < 0 || ReadInteger(p, end, error) < 0) return nullptr;
  if (SkipWhitespace(p, end, error) < 0 || !StartsWith(p, end, "obj")) return nullptr;
  p += 3;
  if (SkipWhitespace(p, end, error) < 0 || !StartsWith(p, end, "<<")) return nullptr;
  return p;
}

// For a "stream" keyword behind the dictionary at dictionary: when the dictionary holds a direct
// /Length and the data of that length is followed by "endstream", returns the position behind
// "endstream"; otherwise null.
const Byte* SkipStreamData(const Byte* dictionary, const Byte* keyword, const Byte* end) {
  int error = 0;
  const Byte* key = FindKey("/Length", dictionary + 2, keyword, error);
  if (key == nullptr) return nullptr;
  const Byte* value = key + 7;
  const Byte* probe = value;
  int referenced = 0;
  int generation = 0;
  if (ReadReference(probe, keyword, referenced, generation, error)) return nullptr;
  const long long length = ReadInteger(value, keyword, error);
  if (length < 0) return nullptr;

  const Byte* data = keyword + 6;
  if (data < end && *data == '\r') ++data;
  if (data < end && *data == '\n') ++data;
  if (length > end - data) return nullptr;
  const Byte* behind = data + length;
  while (behind < end && IsWhitespace(*behind)) ++behind;
  if (!StartsWith(behind, end, "endstream")) return nullptr;
  return behind + 9;
}

// Looks for the first valid "/Info n g" in [from, to) while no information dictionary is known.
void WatchInfo(EngineState& state, const Byte* from, const Byte* to) {
  for (const Byte* p = from; state.InfoNumber < 1 && to - p >= 9; ++p) {
    if (*p != '/' || std::memcmp(p, "/Info", 5) != 0) continue;
    const Byte* q = p + 5;
    if (!IsWhitespace(*q) && *q != '%') continue;
    int error = 0;
    const int number = ReadInteger(q, to, error);
    const int generation = ReadInteger(q, to, error);
    if (number >= 1 && generation >= 0) {
      state.InfoNumber = number;
      state.InfoGeneration = generation;
    } else {
      state.InfoNumber = 0;
    }
  }
}

void Append(std::vector<Byte>& out, const Byte* from, const Byte* to) { out.insert(out.end(), from, to); }

void Append(std::vector<Byte>& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

template <typename... Values>
void AppendFormat(std::vector<Byte>& out, const char* format, Values... values) {
  char line[128];
  const int length = std::snprintf(line, sizeof line, format, values...);
  Append(out, std::string_view(line, static_cast<std::size_t>(std::clamp(length, 0, 127))));
}

int Fail(EngineState& state, int code) {
  state.LastErrorCode = code;
  return code;
}

}  // namespace

int FindObjectHeader(const Byte* position, const Byte* end, const Byte*& headerStart) {
  const Byte* p = position;
  int error = 0;
  for (;;) {
    if (SkipWhitespace(p, end, error) < 0) return -1;
    if (IsDigit(*p)) {
      const Byte* first = p;
      if (ReadInteger(p, end, error) < 0) return -5;
      const Byte* q = p;
      if (ReadInteger(q, end, error) >= 0 && q < end && (IsWhitespace(*q) || *q == '%')) {
        if (SkipWhitespace(q, end, error) < 0 || end - q < 9) return -7;
        if (StartsWith(q, end, "obj") && MayFollowObjKeyword(q[3])) {
          headerStart = first;
          return 0;
        }
      }
      continue;  // behind the first integer
    }
    while (p < end && !EndsHeaderScanToken(*p)) ++p;
    if (p >= end) return -2;
    if (*p == '%') {
      while (p < end && !IsEndOfLine(*p)) ++p;
      if (p >= end) return -3;
    } else if (!IsWhitespace(*p)) {
      ++p;
      if (p >= end) return -4;
    }
  }
}

int FindObjectEnd(const Byte* position, const Byte* end, const Byte*& objectEnd, bool& isCatalog) {
  isCatalog = false;
  const Byte* dictionary = ObjectDictionary(position, end);
  bool streamTried = false;
  const Byte* p = position;
  int error = 0;
  for (;;) {
    if (SkipWhitespace(p, end, error) < 0) return -1;
    if (*p == ')' || *p == ']' || *p == '}' || *p == '>') {
      if (++p >= end) return -2;
      continue;
    }
    const std::ptrdiff_t left = end - p;
    const bool atEndobj = StartsWith(p, end, "endobj");
    if (left < 7 && !(left == 6 && atEndobj)) return -3;

    if (*p == '/') {
      if (StartsWith(p, end, "/Catalog")) {
        const Byte* q = p + 8;
        const int skipped = SkipWhitespace(q, end, error);
        if (skipped < 0) return -4;
        if (skipped == 0 && !MayFollowCatalogName(*q)) return -5;
        isCatalog = true;
        p = q;
        continue;
      }
      ++p;
    } else if (atEndobj) {
      // The end of the image counts as whitespace, so a file cut right behind an object keeps it.
      if (left == 6 || IsWhitespace(p[6]) || p[6] == '%') {
        objectEnd = p + 6;
        return 0;
      }
    } else if (dictionary != nullptr && !streamTried && StartsWith(p, end, "stream") && IsEndOfLine(p[6])) {
      // Binary data may hold "endobj"; step over the data when its length can be trusted.
      streamTried = true;
      if (const Byte* behind = SkipStreamData(dictionary, p, end)) {
        p = behind;
        continue;
      }
    }
    while (p < end && !EndsObjectScanToken(*p)) ++p;
    if (p >= end) return -10;
  }
}

int RepairImage(EngineState& state, FileImage& image) {
  state.LastErrorCode = 0;
  state.InfoNumber = 0;
  state.InfoGeneration = 0;

  const Byte* const begin = image.Begin();
  const Byte* const end = image.End();
  const std::size_t numberLimit = std::min(kObjectNumberCeiling, image.Size() + kObjectNumberMargin);

  std::vector<Byte> out;
  out.reserve(image.Size() + kOutputReserve);
  if (image.Empty() || *begin != '%') Append(out, "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n");

  std::vector<RepairEntry> table;
  int highest = 0;
  int catalogNumber = 0;
  int catalogGeneration = 0;
  bool first = true;
  const Byte* cursor = begin;
  for (;;) {
    const Byte* header = nullptr;
    if (FindObjectHeader(cursor, end, header) != 0) {
      if (first) return Fail(state, -4);
      WatchInfo(state, cursor, end);
      break;
    }
    WatchInfo(state, cursor, header);
    Append(out, cursor, header);

    const Byte* p = header;
    int error = 0;
    const int number = ReadInteger(p, end, error);
    const int generation = ReadInteger(p, end, error);
    const Byte* objectEnd = nullptr;
    bool isCatalog = false;
    if (static_cast<std::size_t>(number) > numberLimit || FindObjectEnd(header, end, objectEnd, isCatalog) != 0) {
      if (first) return Fail(state, -5);
      break;
    }
    if (isCatalog) {
      catalogNumber = number;
      catalogGeneration = generation;
    }
    if (static_cast<std::size_t>(number) >= table.size()) table.resize(static_cast<std::size_t>(number) + 3276);
    table[number] = RepairEntry{generation, static_cast<long long>(out.size())};
    highest = std::max(highest, number);
    Append(out, header, objectEnd);
    cursor = objectEnd;
    first = false;
  }

  Append(out, "\n");
  const long long xrefOffset = static_cast<long long>(out.size());
  out.reserve(out.size() + static_cast<std::size_t>(highest) * 20 + 256);
  AppendFormat(out, "xref\n0 %d\n0000000000 65535 f \n", highest + 1);
  for (int number = 1; number <= highest; ++number) {
    AppendFormat(out, "%010lld %05d n \n", table[number].Offset, table[number].Generation);
  }
  AppendFormat(out, "trailer\n<<\n/Size %d\n/Root %d %d R\n", highest + 1, catalogNumber, catalogGeneration);
  if (state.InfoNumber >= 1) AppendFormat(out, "/Info %d %d R\n", state.InfoNumber, state.InfoGeneration);
  AppendFormat(out, ">>\nstartxref\n%lld\n%%%%EOF\n", xrefOffset);

  image = MakeFileImage(std::move(out));
  return 0;
}

}  // namespace folvex
