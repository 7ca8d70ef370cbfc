#include "engine/reading/repair.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/large_buffers.h"
#include "engine/reading/object_stream_members.h"
#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// Object numbers above this stop the scan like an object without an end. Besides the fixed ceiling,
// a number may exceed the image size only by a margin, so a small hostile file cannot make the
// offset table and the written cross-reference table huge.
constexpr std::size_t kObjectNumberCeiling = 10'000'000;
constexpr std::size_t kObjectNumberMargin = 65'536;

constexpr std::size_t kOutputReserve = 32'768;

// An object stream may not decompress to more than this, and all of a file's object streams
// together not to more than the budget.
constexpr std::size_t kObjectStreamLimit = std::size_t{256} << 20;
constexpr std::size_t kObjectStreamBudget = std::size_t{1} << 30;

// A generation number has at most five digits in a cross-reference entry; a larger one does not
// make a header.
constexpr int kHighestGeneration = 65'535;

struct RepairEntry {
  int Generation = 0;
  long long Offset = 0;
};

bool EndsHeaderScanToken(Byte c) {
  return IsWhitespace(c) || c == '%' || c == ']' || c == '}' || c == '>' || c == ')';
}

bool EndsObjectScanToken(Byte c) { return EndsHeaderScanToken(c) || c == '/' || c == '('; }

bool MayFollowObjKeyword(Byte c) {
  return IsWhitespace(c) || c == '%' || c == '<' || c == '[' || c == '{' || c == '(';
}

// True when "n g obj" starts at p.
bool AtObjectHeader(const Byte* p, const Byte* end) {
  int error = 0;
  if (ReadInteger(p, end, error) < 0 || p >= end || !IsWhitespace(*p)) return false;
  const int generation = ReadInteger(p, end, error);
  if (generation < 0 || generation > kHighestGeneration || !SkipPlainWhitespace(p, end)) return false;
  return StartsWith(p, end, "obj") && (p + 3 == end || MayFollowObjKeyword(p[3]));
}

// The position behind "obj" of the header at header (the header itself when it cannot be read).
const Byte* BehindObjectKeyword(const Byte* header, const Byte* end) {
  const Byte* p = header;
  int error = 0;
  if (ReadInteger(p, end, error) < 0 || ReadInteger(p, end, error) < 0 || SkipWhitespace(p, end, error) < 0 ||
      !StartsWith(p, end, "obj")) {
    return header;
  }
  return p + 3;
}

// The position behind the first "endstream" at or after data, or null. A search that finds none
// is remembered, so that stream after stream without an end does not rescan the image.
const Byte* FindEndstream(const Byte* data, const Byte* end, ObjectScan& scan) {
  if (scan.NoEndstreamFrom != nullptr && data >= scan.NoEndstreamFrom) return nullptr;
  static constexpr std::string_view kEndstream = "endstream";
  const Byte* found = std::search(data, end, kEndstream.begin(), kEndstream.end());
  if (found == end) {
    scan.NoEndstreamFrom = data;
    return nullptr;
  }
  return found + kEndstream.size();
}

// The first object header "n g obj" in [from, to) that follows whitespace, or null. In stream data
// whose length cannot be trusted, such a header means the stream lost its end: a compressed stream
// holds one by chance only once in billions of bytes.
const Byte* HeaderInStreamData(const Byte* from, const Byte* to) {
  static constexpr std::string_view kObj = " obj";
  for (const Byte* at = from; (at = std::search(at, to, kObj.begin(), kObj.end())) != to; ++at) {
    // Back over the generation, its whitespace and the number, to the whitespace in front.
    const Byte* p = at;
    while (p > from && IsDigit(p[-1])) --p;
    if (p == at || p == from || !IsWhitespace(p[-1])) continue;
    while (p > from && IsWhitespace(p[-1])) --p;
    const Byte* number = p;
    while (number > from && IsDigit(number[-1])) --number;
    if (number == p || number == from || !IsWhitespace(number[-1])) continue;
    if (AtObjectHeader(number, to)) return number;
  }
  return nullptr;
}

// Position of the "<<" that opens the object's dictionary when it directly follows "n g obj".
const Byte* ObjectDictionary(const Byte* header, const Byte* end) {
  const Byte* p = BehindObjectKeyword(header, end);
  int error = 0;
  if (p == header || SkipWhitespace(p, end, error) < 0 || !StartsWith(p, end, "<<")) return nullptr;
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
  const long long length = ReadOffset(value, keyword, error);
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

// Entries of the old trailers that a protected file cannot lose: without them the rebuilt file
// would read as unprotected, and without the identifier its key could not be computed.
struct KeptTrailerEntries {
  std::string Encrypt;  // "n g R" or a direct dictionary "<< ... >>"
  std::string Id;       // the whole array "[ ... ]"
  int RootNumber = 0;   // the newest /Root, the catalog when no object says it is one
  int RootGeneration = 0;
  int Examined = 0;     // values read so far
};

// A file has one trailer per update; more lookalike keys than this are not read.
constexpr int kMostValuesExamined = 4096;

// Real identifiers and encryption dictionaries are far shorter; the bounds keep a file full of
// lookalike keys from making the watch slow.
constexpr std::ptrdiff_t kLongestId = 1024;
constexpr std::ptrdiff_t kLongestEncryptDictionary = 4096;

// The /Encrypt value behind the key at key: a reference or a direct dictionary.
std::string EncryptValue(const Byte* key, const Byte* to) {
  const Byte* p = key + 8;
  int error = 0;
  if (SkipWhitespace(p, to, error) < 0) return {};
  const Byte* value = p;
  int number = 0, generation = 0;
  if (ReadReference(p, to, number, generation, error)) return std::to_string(number) + " " + std::to_string(generation) + " R";
  if (!StartsWith(value, to, "<<")) return {};
  const Byte* dictEnd = FindDictEnd(value + 2, std::min(to, value + kLongestEncryptDictionary));
  if (dictEnd == nullptr) return {};
  return std::string(value, dictEnd + 2);
}

// The /ID array behind the key at key, as written: strings between "[" and "]".
std::string IdValue(const Byte* key, const Byte* to) {
  const Byte* p = key + 3;
  int error = 0;
  if (SkipWhitespace(p, to, error) < 0 || *p != '[') return {};
  const Byte* array = p++;
  to = std::min(to, array + kLongestId);
  for (;;) {
    if (SkipWhitespace(p, to, error) < 0) return {};
    if (*p == ']') return std::string(array, p + 1);
    if (*p == '(' ? !SkipLiteralString(p, to) : *p == '<' ? !SkipHexString(p, to) : true) return {};
  }
}

// True when an /Encrypt entry names a dictionary: a direct one, or an object of the new image
// that is one. A reference to anything else cannot protect the file and is dropped.
bool EncryptionDictionaryKept(const std::string& encrypt, const std::vector<RepairEntry>& table, int highest,
                              const ImageBytes& out) {
  if (encrypt.empty() || encrypt[0] == '<') return !encrypt.empty();
  const int number = std::atoi(encrypt.c_str());
  if (number < 1 || number > highest || table[number].Offset == 0) return false;
  const Byte* object = out.data() + table[number].Offset;
  return ObjectDictionary(object, out.data() + out.size()) != nullptr;
}

// Examines the bytes [from, to) between objects: the first valid "/Info n g" while no information
// dictionary is known, and the newest /Encrypt and /ID entries.
void WatchTrailers(EngineState& state, KeptTrailerEntries& kept, const Byte* from, const Byte* to) {
  for (const Byte* p = from; p < to; ++p) {
    if (*p != '/') continue;
    if (state.InfoNumber < 1 && to - p >= 9 && std::memcmp(p, "/Info", 5) == 0) {
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
    } else if (kept.Examined >= kMostValuesExamined) {
      continue;
    } else if (StartsWith(p, to, "/Root") && p + 5 < to && IsDelimiter(p[5])) {
      ++kept.Examined;
      const Byte* q = p + 5;
      int error = 0, number = 0, generation = 0;
      if (ReadReference(q, to, number, generation, error) && number >= 1) {
        kept.RootNumber = number;
        kept.RootGeneration = generation;
      }
    } else if (StartsWith(p, to, "/Encrypt") && p + 8 < to && IsDelimiter(p[8])) {
      ++kept.Examined;
      if (std::string value = EncryptValue(p, to); !value.empty()) kept.Encrypt = std::move(value);
    } else if (StartsWith(p, to, "/ID") && p + 3 < to && IsDelimiter(p[3]) && p[3] != '/') {
      ++kept.Examined;
      if (std::string value = IdValue(p, to); !value.empty()) kept.Id = std::move(value);
    }
  }
}

// The /Type of the dictionary that opens the object at header, when it is /ObjStm or /XRef.
enum class StreamType { Other, ObjectStream, CrossReference };

StreamType TypeOfObject(const Byte* header, const Byte* objectEnd, const Byte*& dictionary, const Byte*& dictEnd) {
  dictionary = ObjectDictionary(header, objectEnd);
  if (dictionary == nullptr) return StreamType::Other;
  static constexpr std::string_view kType[] = {"/Type"};
  const Byte* type = nullptr;
  dictEnd = FindKeysAndDictEnd(kType, dictionary + 2, objectEnd, std::span<const Byte*>(&type, 1));
  if (dictEnd == nullptr || type == nullptr) return StreamType::Other;
  int error = 0;
  type += 5;
  if (SkipWhitespace(type, dictEnd, error) < 0) return StreamType::Other;
  auto named = [&](std::string_view name) {
    return StartsWith(type, dictEnd, name) && IsDelimiter(type[name.size()]);
  };
  if (named("/ObjStm")) return StreamType::ObjectStream;
  if (named("/XRef")) return StreamType::CrossReference;
  return StreamType::Other;
}

// True when body holds the name /Catalog.
bool NamesCatalog(std::span<const Byte> body) {
  static constexpr std::string_view kCatalog = "/Catalog";
  for (auto at = body.begin(); (at = std::search(at, body.end(), kCatalog.begin(), kCatalog.end())) != body.end(); ++at) {
    if (at + kCatalog.size() == body.end() || IsDelimiter(at[kCatalog.size()])) return true;
  }
  return false;
}

void Append(ImageBytes& out, const Byte* from, const Byte* to) { AppendBytes(out, from, static_cast<std::size_t>(to - from)); }

void Append(ImageBytes& out, std::string_view text) { AppendBytes(out, text.data(), text.size()); }

template <typename... Values>
void AppendFormat(ImageBytes& out, const char* format, Values... values) {
  char line[128];
  const int length = std::snprintf(line, sizeof line, format, values...);
  Append(out, std::string_view(line, static_cast<std::size_t>(std::clamp(length, 0, 127))));
}

// Writes the objects of the object streams that the file's own objects do not define, the newest
// stream first, so that each number keeps its newest definition. A catalog among them counts when
// the file's own objects hold none.
void AppendObjectStreamMembers(const std::vector<const Byte*>& streams, const Byte* end, std::size_t numberLimit,
                               std::vector<RepairEntry>& table, int& highest, ImageBytes& out, int& catalogNumber,
                               int& catalogGeneration) {
  const bool catalogKnown = catalogNumber != 0;
  std::size_t budget = kObjectStreamBudget;
  std::vector<Byte> decoded;
  std::vector<ObjectStreamMember> members;
  for (auto stream = streams.rbegin(); stream != streams.rend() && budget > 0; ++stream) {
    if (ReadObjectStreamMembers(*stream, end, std::min(kObjectStreamLimit, budget), decoded, members) != 0) continue;
    budget -= std::min(budget, decoded.size());
    for (const ObjectStreamMember& member : members) {
      const auto number = static_cast<std::size_t>(member.Number);
      if (member.Number < 1 || number > numberLimit) continue;
      if (number >= table.size()) table.resize(number + 3276);
      if (table[number].Offset != 0) continue;
      Append(out, "\n");
      table[number] = RepairEntry{0, static_cast<long long>(out.size())};
      AppendFormat(out, "%d 0 obj\n", member.Number);
      Append(out, member.Body.data(), member.Body.data() + member.Body.size());
      Append(out, "\nendobj\n");
      highest = std::max(highest, member.Number);
      if (!catalogKnown && catalogNumber == 0 && NamesCatalog(member.Body)) catalogNumber = member.Number;
    }
  }
  if (catalogNumber != 0 && !catalogKnown) catalogGeneration = 0;
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
      if (ReadInteger(p, end, error) < 0) {
        // Digits glued to other bytes ("1.5", "2nd") are text, not a header: step over the token.
        while (p < end && !EndsHeaderScanToken(*p)) ++p;
        if (p >= end) return -5;
        continue;
      }
      const Byte* q = p;
      const int generation = ReadInteger(q, end, error);
      if (generation >= 0 && generation <= kHighestGeneration && q < end && (IsWhitespace(*q) || *q == '%')) {
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

int FindObjectEnd(const Byte* position, const Byte* end, ObjectScan& scan) {
  scan.ObjectEnd = nullptr;
  scan.IsCatalog = false;
  scan.NamesStreamType = false;
  scan.EndobjMissing = false;
  const Byte* dictionary = ObjectDictionary(position, end);
  bool streamTried = false;
  const Byte* p = BehindObjectKeyword(position, end);
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
      if (StartsWith(p, end, "/Catalog") && (p + 8 == end || IsDelimiter(p[8]))) {
        const Byte* q = p + 8;
        if (SkipWhitespace(q, end, error) < 0) return -4;
        scan.IsCatalog = true;
        p = q;
        continue;
      }
      if ((StartsWith(p, end, "/ObjStm") && IsDelimiter(p[7])) || (StartsWith(p, end, "/XRef") && IsDelimiter(p[5]))) {
        scan.NamesStreamType = true;
      }
      ++p;
    } else if (*p == '(') {
      // A string that closes is one token. After a "(" that never closes, strings are taken as
      // ordinary bytes for the rest of the image, so that each "(" does not rescan it.
      const Byte* q = p;
      if (!scan.UnclosedString && SkipLiteralString(q, end)) {
        p = q;
        continue;
      }
      scan.UnclosedString = true;
      ++p;
    } else if (atEndobj) {
      // The end of the image counts as whitespace, so a file cut right behind an object keeps it.
      if (left == 6 || IsWhitespace(p[6]) || p[6] == '%') {
        scan.ObjectEnd = p + 6;
        return 0;
      }
    } else if (!streamTried && StartsWith(p, end, "stream") && IsEndOfLine(p[6])) {
      // Binary data may hold "endobj" or a header; step over the data by a length that can be
      // trusted, else up to the first "endstream".
      streamTried = true;
      const Byte* behind = dictionary != nullptr ? SkipStreamData(dictionary, p, end) : nullptr;
      if (behind == nullptr) {
        behind = FindEndstream(p + 6, end, scan);
        if (const Byte* next = behind != nullptr ? HeaderInStreamData(p + 6, behind) : nullptr) {
          scan.ObjectEnd = next;
          scan.EndobjMissing = true;
          return 0;
        }
      }
      if (behind != nullptr) {
        p = behind;
        continue;
      }
    } else if (IsDigit(*p) && IsWhitespace(p[-1]) && AtObjectHeader(p, end)) {
      // An object without "endobj" ends where the next one begins: "n g obj" is never part of one.
      scan.ObjectEnd = p;
      scan.EndobjMissing = true;
      return 0;
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

  ImageBytes out;
  ReserveLarge(out, image.Size() + kOutputReserve);
  if (image.Empty() || *begin != '%') Append(out, "%PDF-1.3\n%\xE2\xE3\xCF\xD3\n");

  std::vector<RepairEntry> table;
  std::vector<const Byte*> objectStreams;  // the "<<" of each, in file order
  KeptTrailerEntries kept;
  ObjectScan scan;
  int highest = 0;
  int catalogNumber = 0;
  int catalogGeneration = 0;
  bool first = true;
  const Byte* cursor = begin;
  for (;;) {
    const Byte* header = nullptr;
    if (FindObjectHeader(cursor, end, header) != 0) {
      if (first) return Fail(state, -4);
      WatchTrailers(state, kept, cursor, end);
      break;
    }
    WatchTrailers(state, kept, cursor, header);
    Append(out, cursor, header);

    const Byte* p = header;
    int error = 0;
    const int number = ReadInteger(p, end, error);
    const int generation = ReadInteger(p, end, error);
    if (static_cast<std::size_t>(number) > numberLimit || FindObjectEnd(header, end, scan) != 0) {
      if (first) return Fail(state, -5);
      break;
    }
    if (scan.IsCatalog && number >= 1) {  // object 0 is never an object of the file
      catalogNumber = number;
      catalogGeneration = generation;
    }
    if (static_cast<std::size_t>(number) >= table.size()) table.resize(static_cast<std::size_t>(number) + 3276);
    table[number] = RepairEntry{generation, static_cast<long long>(out.size())};
    highest = std::max(highest, number);
    const Byte* dictionary = nullptr;
    const Byte* dictEnd = nullptr;
    switch (scan.NamesStreamType ? TypeOfObject(header, scan.ObjectEnd, dictionary, dictEnd) : StreamType::Other) {
      case StreamType::ObjectStream: objectStreams.push_back(dictionary); break;
      case StreamType::CrossReference: WatchTrailers(state, kept, dictionary + 2, dictEnd); break;
      case StreamType::Other: break;
    }
    Append(out, header, scan.ObjectEnd);
    if (scan.EndobjMissing) Append(out, "endobj\n");
    cursor = scan.ObjectEnd;
    first = false;
  }

  if (!EncryptionDictionaryKept(kept.Encrypt, table, highest, out)) kept.Encrypt.clear();
  // A protected file's object streams cannot be read without its key.
  if (kept.Encrypt.empty()) {
    AppendObjectStreamMembers(objectStreams, end, numberLimit, table, highest, out, catalogNumber, catalogGeneration);
  }
  // Without an object that says it is the catalog, the trailers' newest /Root names it.
  if (catalogNumber == 0 && kept.RootNumber >= 1 && kept.RootNumber <= highest && table[kept.RootNumber].Offset != 0) {
    catalogNumber = kept.RootNumber;
    catalogGeneration = table[kept.RootNumber].Generation;
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
  if (!kept.Encrypt.empty()) {
    Append(out, "/Encrypt " + kept.Encrypt + "\n");
    if (!kept.Id.empty()) Append(out, "/ID " + kept.Id + "\n");
  }
  AppendFormat(out, ">>\nstartxref\n%lld\n%%%%EOF\n", xrefOffset);

  image = MakeFileImage(std::move(out));
  return 0;
}

}  // namespace folvex
