#include "engine/reading/xref.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/reading/pdf_strings.h"
#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// Error codes of one subsection read: the first subsection of the newest section has its own set.
struct EntryCodes {
  int Offset, Generation, End, Type;
};
constexpr EntryCodes kFirstCodes{-22, -24, -26, -27};
constexpr EntryCodes kLaterCodes{-38, -40, -42, -43};

struct SectionReader {
  EngineState& State;
  const Byte* Begin;
  const Byte* End;
  std::vector<XrefEntry>& Entries;  // in reading order: the first entry read for a number wins

  int Fail(int code) {
    State.LastErrorCode = code;
    return 0;
  }

  // Reads the entries of one subsection; returns 1, or 0 with the code set.
  int ReadEntries(const Byte*& p, long long first, long long count, const EntryCodes& codes) {
    int& error = State.LastErrorCode;
    // Room for the subsection, as far as the bytes left can hold 20-byte entries; grown
    // geometrically so that many small subsections cost no more than one large one.
    const auto room = static_cast<std::size_t>(std::min<long long>(count, (End - p) / 20 + 1));
    if (Entries.capacity() - Entries.size() < room) Entries.reserve(std::max(2 * Entries.capacity(), Entries.size() + room));
    for (long long k = 0; k < count; ++k) {
      if (State.Cancelled()) return 0;
      const std::int64_t offset = ReadOffset(p, End, error);
      if (offset < 0) return Fail(codes.Offset);
      int generation = ReadInteger(p, End, error);
      if (generation < 0) return Fail(codes.Generation);
      if (!SkipPlainWhitespace(p, End)) return Fail(codes.End);
      if (*p != 'n' && *p != 'f') return Fail(codes.Type);
      long long number = first + k;
      if (number <= INT32_MAX) Entries.push_back({static_cast<int>(number), offset, generation, static_cast<char>(*p)});
      ++p;
    }
    return 1;
  }

  void ReadFileId(const Byte* key) {
    const Byte* p = key + 3;
    int ignored = 0;
    if (SkipWhitespace(p, End, ignored) < 0) return;
    if (*p == '[') {
      ++p;
      if (SkipWhitespace(p, End, ignored) < 0) return;
    }
    if (*p != '(' && *p != '<') return;
    Byte decoded[100];
    int length = DecodePdfString(p, End, decoded, static_cast<int>(sizeof decoded));
    if (length < 0) return;
    std::memcpy(State.FileId.data(), decoded, static_cast<std::size_t>(length));
    State.FileIdLength = length;
  }

  // True when the file holds "/XRef" anywhere. The search starts at the section the file points
  // to, where a cross-reference stream is found at once, and only then looks before it.
  bool HoldsCrossReferenceStream(const Byte* section) const {
    constexpr std::string_view kXRef = "/XRef";
    const auto text = [](const Byte* from, const Byte* to) {
      return std::string_view(reinterpret_cast<const char*>(from), static_cast<std::size_t>(to - from));
    };
    if (text(section, End).find(kXRef) != std::string_view::npos) return true;
    const Byte* before = std::min<const Byte*>(End, section + kXRef.size() - 1);
    return text(Begin, before).find(kXRef) != std::string_view::npos;
  }

  // Reads one section at offset: subsections, then the trailer. nextOffset is -1 without /Prev.
  int ReadSection(long long offset, bool newest, long long& nextOffset, int& catalogNumber, int& catalogGeneration) {
    int& error = State.LastErrorCode;
    nextOffset = -1;
    if (offset < 0 || offset >= End - Begin) return Fail(-18);
    const Byte* p = Begin + offset;
    if (SkipWhitespace(p, End, error) < 0) return Fail(-18);
    // Some writers point at the trailer of a section that has no entries.
    if (StartsWith(p, End, "trailer")) return ReadTrailer(p, nextOffset, catalogNumber, catalogGeneration);
    if (*p != 'x') {
      error = -18;
      if (State.NeedsConversion != 1 && HoldsCrossReferenceStream(p)) State.NeedsConversion = 1;
      return 0;
    }
    if (!StartsWith(p + 1, End, "ref")) return Fail(-18);
    p += 4;
    long long first = ReadInteger(p, End, error);
    long long count = first < 0 ? -1 : ReadInteger(p, End, error);
    if (first < 0 || count < 0) return Fail(-19);
    const EntryCodes* codes = newest ? &kFirstCodes : &kLaterCodes;
    for (;;) {
      if (!ReadEntries(p, first, count, *codes)) return 0;
      codes = &kLaterCodes;
      first = ReadInteger(p, End, error);
      if (first < 0) {
        error = 0;
        break;
      }
      count = ReadInteger(p, End, error);
      if (count < 0) return Fail(newest ? -29 : -90);
    }
    if (!SkipPlainWhitespace(p, End)) return Fail(-80);
    if (!StartsWith(p, End, "trailer")) return Fail(-81);
    return ReadTrailer(p, nextOffset, catalogNumber, catalogGeneration);
  }

  // Reads the trailer whose keyword is at p.
  int ReadTrailer(const Byte* p, long long& nextOffset, int& catalogNumber, int& catalogGeneration) {
    int& error = State.LastErrorCode;
    p += 7;
    if (!IsWhitespace(*p) && *p != '<' && *p != '%') return Fail(-82);
    if (SkipWhitespace(p, End, error) < 0) return Fail(-83);
    if (!StartsWith(p, End, "<<")) return Fail(-84);
    const Byte* dictStart = p + 2;
    const Byte* dictEnd = FindDictEnd(dictStart, End);
    if (dictEnd == nullptr) return Fail(-87);

    if (!State.EncryptRef) {
      if (const Byte* key = FindKey("/Encrypt", dictStart, dictEnd, error)) {
        State.EncryptRef = static_cast<std::size_t>(key - Begin);
      }
    }
    if (const Byte* key = FindKey("/Root", dictStart, dictEnd, error); key != nullptr && catalogNumber == -1) {
      const Byte* v = key + 5;
      int number = ReadInteger(v, End, error);
      int generation = number < 0 ? -1 : ReadInteger(v, End, error);
      if (number >= 0 && generation >= 0) {
        catalogNumber = number;
        catalogGeneration = generation;
      }
    }
    if (const Byte* key = FindKey("/Info", dictStart, dictEnd, error)) {
      const Byte* v = key + 5;
      int number = ReadInteger(v, End, error);
      int generation = number < 0 ? -1 : ReadInteger(v, End, error);
      if (number >= 0 && generation >= 0) {
        State.InfoNumber = number;
        State.InfoGeneration = generation;
      }
    }
    if (const Byte* key = FindKey("/ID", dictStart, dictEnd, error)) ReadFileId(key);
    if (const Byte* key = FindKey("/Prev", dictStart, dictEnd, error)) {
      const Byte* v = key + 5;
      const long long prev = ReadOffset(v, End, error);
      if (prev < 0) return Fail(-89);
      nextOffset = prev;
    }
    if (FindKey("/XRefStm", dictStart, dictEnd, error) != nullptr) State.NeedsConversion = 1;
    error = 0;
    return 1;
  }
};

}  // namespace

int ParseXrefChain(EngineState& state, const FileImage& image, XrefTable& table, int& catalogNumber,
                   int& catalogGeneration) {
  state.NeedsConversion = 0;
  state.EncryptRef.reset();
  // A file without /ID must not keep the identifier of the file parsed before it.
  state.FileIdLength = 0;
  state.LastErrorCode = 0;
  catalogNumber = -1;
  catalogGeneration = -1;
  int& error = state.LastErrorCode;
  const Byte* begin = image.Begin();
  const Byte* end = image.End();

  const Byte* position = end;
  if (!FindKeywordBackward(begin, position, "%%EOF", error)) {
    error = -15;
    return 0;
  }
  if (!FindKeywordBackward(begin, position, "startxref", error)) {
    error = -16;
    return 0;
  }
  const Byte* p = position + 9;
  long long offset = ReadOffset(p, end, error);
  if (offset < 0) {
    error = -17;
    return 0;
  }

  std::vector<XrefEntry> entries;
  SectionReader reader{state, begin, end, entries};
  std::unordered_set<long long> visited;
  bool newest = true;
  while (offset >= 0) {
    if (state.Cancelled()) return 0;
    // A /Prev chain that comes back to a section already read ends there.
    if (!visited.insert(offset).second) break;
    long long next = -1;
    if (!reader.ReadSection(offset, newest, next, catalogNumber, catalogGeneration)) return 0;
    newest = false;
    offset = next;
  }

  // Entries were collected newest first; a stable sort keeps the first definition of each number.
  // A single section written in order is sorted already.
  const auto byNumber = [](const XrefEntry& a, const XrefEntry& b) { return a.Number < b.Number; };
  if (!std::is_sorted(entries.begin(), entries.end(), byNumber)) std::stable_sort(entries.begin(), entries.end(), byNumber);
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const XrefEntry& a, const XrefEntry& b) { return a.Number == b.Number; }),
                entries.end());
  entries.shrink_to_fit();
  table = std::move(entries);
  return 1;
}

}  // namespace folvex
