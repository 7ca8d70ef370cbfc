#include "engine/reading/xref_streams.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/core/large_buffers.h"
#include "engine/reading/object_stream_members.h"
#include "engine/reading/pdf_strings.h"
#include "engine/reading/scanners.h"
#include "engine/reading/stream_filters.h"

namespace folvex {

namespace {

// PDF's own limit on the number of indirect objects; a larger /Size is refused. Above
// kSmallSizeLimit, /Size may not exceed the image's length either (no tiny file can make the
// table and the written image huge).
constexpr int kMaxSize = 8388607;
constexpr int kSmallSizeLimit = 1 << 20;
// An object stream may not decompress to more than this, and all object streams of one file
// together not to more than the budget: a stream that passes either fails the conversion at once.
// A cross-reference stream is decompressed only as far as its rows (/Size or /Index) reach.
constexpr std::size_t kObjectStreamLimit = std::size_t{256} << 20;
constexpr std::size_t kDecodedBudget = std::size_t{1} << 30;
// Offsets are written in the ten digits of a classic table, so neither image may grow beyond this.
constexpr std::int64_t kMaxImageSize = kMaxTableOffset;
// Cross-reference stream fields wider than this cannot hold a meaningful value.
constexpr int kMaxFieldWidth = 8;
// How far from its recorded offset an object stream's header is looked for.
constexpr std::int64_t kHeaderWindow = 32;
// Returned by the extraction of an object that turns out not to be an object stream.
constexpr int kNotAnObjectStream = 1;

struct ObjectEntry {
  std::uint8_t Mark = 0;    // 1 for an object that is an object stream
  std::uint8_t Type = 255;  // 255 until a cross-reference stream row sets it; then 0, 1 or 2
  bool Extracted = false;   // already written out of its object stream
  bool FromTable = false;   // listed in the classic table parsed before the conversion
  std::int64_t NewOffset = 0;
  std::int64_t Field2 = 0;  // type 1: offset; type 2: object stream number; type 0: next free number
  std::int32_t Field3 = 0;  // type 1: generation; type 2: index in the object stream
};

struct Dictionary {
  const Byte* Start = nullptr;  // behind "<<"
  const Byte* End = nullptr;    // at the closing ">>"
};

// A stream's bytes as they stand in the image.
struct StreamData {
  const Byte* Data = nullptr;
  std::size_t Length = 0;
  const Byte* After = nullptr;  // behind "endstream"
};

std::int32_t ClampField(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

// An offset field of up to eight bytes.
std::int64_t ClampOffsetField(std::uint64_t value) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(value, kMaxReadOffset));
}

// True when a name (with its slash) or keyword stands at p, followed by a delimiter.
bool TokenAt(const Byte* p, const Byte* end, std::string_view token) {
  return StartsWith(p, end, token) && (p + token.size() == end || IsDelimiter(p[token.size()]));
}

std::uint64_t ReadField(const Byte* p, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

void AppendText(ImageBytes& out, const char* text, int length) { AppendBytes(out, text, static_cast<std::size_t>(length)); }

struct Converter {
  Converter(EngineState& state, const Byte* begin, const Byte* end) : State(state), Begin(begin), End(end) {}

  EngineState& State;
  const Byte* Begin;
  const Byte* End;
  std::vector<ObjectEntry> Entries;
  int Size = 0;  // /Size of the newest dictionary that has a positive one; 0 until then
  bool RootKnown = false;
  int CatalogNumber = 0;
  int CatalogGeneration = 0;
  bool InfoKnown = false;
  std::size_t DecodedBudget = kDecodedBudget;
  int Scratch = 0;  // error slot of probes whose failure is not an error
  // A protected file is read on (not refused with -1000) when its object streams can be
  // decrypted, or when only its sections are wanted.
  ObjectStreamDecryption* Decryption = nullptr;
  bool ReadProtected = false;
  bool IdKnown = false;

  const Byte* Key(const Dictionary& d, std::string_view key) { return FindKey(key, d.Start, d.End, Scratch); }

  bool ReadTwoIntegers(const Byte* p, const Byte* end, int& a, int& b) {
    int first = ReadInteger(p, end, Scratch);
    if (first < 0) return false;
    int second = ReadInteger(p, end, Scratch);
    if (second < 0) return false;
    a = first;
    b = second;
    return true;
  }

  int ReadDictionary(const Byte*& p, Dictionary& d) {
    if (SkipWhitespace(p, End, Scratch) < 0) return -7;
    if (End - p < 4) return -8;
    if (!StartsWith(p, End, "<<")) return -9;
    d.Start = p + 2;
    d.End = FindDictEnd(d.Start, End);
    if (d.End == nullptr) return -87;
    return 0;
  }

  // The trailer values of a trailer or cross-reference stream dictionary, newest first.
  int ReadTrailerValues(const Dictionary& d) {
    if (!State.EncryptRef) {
      if (const Byte* key = Key(d, "/Encrypt")) {
        State.EncryptRef = static_cast<std::size_t>(key - Begin);
        if (!ReadProtected && Decryption == nullptr) return -1000;
      }
    }
    if (ReadProtected && !IdKnown) {
      if (const Byte* key = Key(d, "/ID")) IdKnown = ReadFileId(key + 3, d.End);
    }
    if (Size == 0) {
      if (const Byte* key = Key(d, "/Size")) {
        const Byte* v = key + 5;
        int size = ReadInteger(v, d.End, Scratch);
        if (size > kMaxSize || (size > kSmallSizeLimit && size > End - Begin)) return -13;
        if (size > 0) {
          Entries.assign(static_cast<std::size_t>(size) + 2, ObjectEntry{});
          Entries.back().Type = 0;
          Size = size;
        }
      }
    }
    if (!RootKnown) {
      const Byte* key = Key(d, "/Root");
      if (key != nullptr) RootKnown = ReadTwoIntegers(key + 5, d.End, CatalogNumber, CatalogGeneration);
    }
    if (!InfoKnown) {
      const Byte* key = Key(d, "/Info");
      if (key != nullptr) InfoKnown = ReadTwoIntegers(key + 5, d.End, State.InfoNumber, State.InfoGeneration);
    }
    if (const Byte* key = Key(d, "/ID")) {
      const Byte* v = key + 3;
      if (SkipWhitespace(v, d.End, Scratch) < 0) return -10;
      if (*v != '[') return -11;
      if (std::find(v, d.End, ']') == d.End) return -12;
    }
    return 0;
  }

  // The first string of the /ID array at p into State.FileId (at most 100 bytes).
  bool ReadFileId(const Byte* p, const Byte* end) {
    if (SkipWhitespace(p, end, Scratch) < 0 || *p != '[') return false;
    ++p;
    if (SkipWhitespace(p, end, Scratch) < 0) return false;
    std::vector<Byte> id;
    if (!DecodePdfString(p, end, id)) return false;
    const std::size_t length = std::min<std::size_t>(id.size(), State.FileId.size());
    std::copy_n(id.begin(), length, State.FileId.begin());
    State.FileIdLength = static_cast<int>(length);
    return true;
  }

  // Reads "number generation obj" at p; expected is the required number, or -1 for any.
  int ReadObjectHeader(const Byte*& p, int expected) {
    int number = ReadInteger(p, End, Scratch);
    if (number < 1 || (expected >= 0 && number != expected)) return -14;
    if (ReadInteger(p, End, Scratch) < 0) return -15;
    if (!SkipPlainWhitespace(p, End)) return -16;
    if (End - p < 15) return -17;
    if (!StartsWith(p, End, "obj")) return -18;
    p += 3;
    return 0;
  }

  int CheckType(const Dictionary& d, std::string_view name) {
    const Byte* key = Key(d, "/Type");
    if (key == nullptr) return 0;
    const Byte* v = key + 5;
    if (SkipWhitespace(v, d.End, Scratch) < 0) return -19;
    if (!StartsWith(v, d.End, name)) return -20;
    if (!IsDelimiter(v[name.size()])) return -21;
    return 0;
  }

  int ReadStreamForm(const Dictionary& d, StreamForm& form) { return folvex::ReadStreamForm(d.Start, d.End, form); }

  // /Length as a direct integer; allowIndirect also follows a reference to an object in the file.
  // allowMissing gives -1 for a missing /Length: the data then runs to "endstream".
  int ReadLength(const Dictionary& d, bool allowIndirect, bool allowMissing, std::int64_t& length) {
    const Byte* key = Key(d, "/Length");
    if (key == nullptr && allowMissing) {
      length = -1;
      return 0;
    }
    if (key == nullptr) return -33;
    const Byte* v = key + 7;
    int number = 0, generation = 0;
    if (ReadReference(v, d.End, number, generation, Scratch)) {
      if (!allowIndirect) return -32;
      return ResolveLength(number, length);
    }
    const std::int64_t value = ReadOffset(v, d.End, Scratch);
    if (value < 0) return -32;
    length = value;
    return 0;
  }

  int ResolveLength(int number, std::int64_t& length) {
    if (number < 0 || static_cast<std::size_t>(number) >= Entries.size()) return -32;
    const ObjectEntry& e = Entries[static_cast<std::size_t>(number)];
    if ((e.Type != 1 && e.Type != 255) || e.Field2 <= 0) return -32;
    const Byte* p = LocateObject(Begin, End, e.Field2, number, Scratch);
    if (p == nullptr) return -32;
    const std::int64_t value = ReadOffset(p, End, Scratch);
    if (value < 0) return -32;
    length = value;
    return 0;
  }

  int ReadRequiredInteger(const Dictionary& d, std::string_view name, std::int64_t& value) {
    const Byte* key = Key(d, name);
    if (key == nullptr) return -33;
    const Byte* v = key + name.size();
    int read = ReadInteger(v, d.End, Scratch);
    if (read < 0) return -32;
    value = read;
    return 0;
  }

  int ReadStream(const Dictionary& d, std::int64_t length, StreamData& stream) {
    const Byte* p = d.End + 2;
    int error = 0;
    if (SkipWhitespace(p, End, error) < 0) return error == -155 ? -35 : -34;
    if (!StartsWith(p, End, "stream")) return -36;
    p += 6;
    if (*p == '\r') {
      ++p;
      if (p < End && *p == '\n') ++p;
    } else if (*p == '\n') {
      ++p;
    }
    if (length < 0) return ReadStreamToEndKeyword(p, stream);
    if (length > End - p) return -36;
    // The data is exactly /Length bytes: a last data byte that happens to be CR or LF stays (the
    // end-of-line before "endstream" is optional).
    const Byte* dataEnd = p + length;
    const Byte* q = dataEnd;
    while (q < End && IsEndOfLine(*q)) ++q;
    if (!StartsWith(q, End, "endstream")) return -36;
    stream = {p, static_cast<std::size_t>(dataEnd - p), q + 9};
    return 0;
  }

  // Data whose length is not known ends before the end-of-line in front of "endstream".
  int ReadStreamToEndKeyword(const Byte* p, StreamData& stream) {
    static constexpr std::string_view kEndstream = "endstream";
    const Byte* keyword = std::search(p, End, kEndstream.begin(), kEndstream.end());
    if (keyword == End) return -36;
    const Byte* dataEnd = keyword;
    if (dataEnd > p && dataEnd[-1] == '\n') --dataEnd;
    if (dataEnd > p && dataEnd[-1] == '\r') --dataEnd;
    stream = {p, static_cast<std::size_t>(dataEnd - p), keyword + kEndstream.size()};
    return 0;
  }

  // Decodes when filtered; data and length then describe decoded, else the stream itself. A
  // predictor is undone with parms.
  // Decodes within limit; the last stage stops at lastStageLimit and keeps what it decoded.
  int Decode(const StreamData& stream, const StreamForm& form, const PredictorParms& parms, std::size_t limit,
             std::size_t lastStageLimit, std::vector<Byte>& decoded, const Byte*& data, std::size_t& length) {
    if (form.Filters.empty()) {
      data = stream.Data;
      length = stream.Length;
      return 0;
    }
    int rc = DecodeFilters(stream.Data, stream.Length, form.Filters, decoded, limit, lastStageLimit);
    if (rc == -10) {
      State.StreamLimitPassed = true;
      return -38;
    }
    if (rc == -2 || rc == -3) return -37;
    if (rc != 0) return -36;
    if (UndoPredictor(decoded, parms) != 0) return -36;
    data = decoded.data();
    length = decoded.size();
    return 0;
  }

  int ReadWidths(const Dictionary& d, int (&widths)[3]) {
    const Byte* key = Key(d, "/W");
    if (key == nullptr) return -22;
    const Byte* v = key + 2;
    if (SkipWhitespace(v, d.End, Scratch) < 0 || *v != '[') return -23;
    ++v;
    for (int i = 0; i < 3; ++i) {
      int width = ReadInteger(v, d.End, Scratch);
      if (width < 0 || width > kMaxFieldWidth) return -24 - i;
      widths[i] = width;
    }
    if (widths[0] + widths[1] + widths[2] == 0) return -26;
    return 0;
  }

  // The most a cross-reference stream can decode to: a row (and a predictor byte) for every
  // entry that /Size or /Index names.
  std::size_t RowsLimit(const std::vector<std::pair<std::int64_t, std::int64_t>>& subsections, int rowWidth,
                        bool predictorBytes) const {
    std::int64_t rows = Size;
    std::int64_t listed = 0;
    for (const auto& [first, count] : subsections) listed += std::min<std::int64_t>(count, kMaxSize);
    rows = std::max(rows, std::min<std::int64_t>(listed, kMaxSize));
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(rowWidth + (predictorBytes ? 1 : 0));
  }

  // subsections holds the (first number, count) pairs of /Index. Rows run through them in order;
  // rows beyond the last count go on numbering after the last pair's first number.
  int StoreRows(const Byte* data, std::size_t length, const int (&widths)[3],
                const std::vector<std::pair<std::int64_t, std::int64_t>>& subsections) {
    const std::size_t rowWidth = static_cast<std::size_t>(widths[0] + widths[1] + widths[2]);
    const std::size_t rows = length / rowWidth;
    std::size_t pair = 0;
    std::int64_t rowInPair = 0;
    for (std::size_t r = 0; r < rows; ++r, ++rowInPair) {
      if ((r & 0xFFFF) == 0xFFFF && State.Cancelled()) return kConvertCancelled;
      if (rowInPair == subsections[pair].second && pair + 1 < subsections.size()) {
        ++pair;
        rowInPair = 0;
      }
      // A row beyond the table is dropped; the rows of the pairs after it still count.
      const std::int64_t number = subsections[pair].first + rowInPair;
      if (number >= static_cast<std::int64_t>(Entries.size())) continue;
      ObjectEntry& e = Entries[static_cast<std::size_t>(number)];
      if (e.Type != 255) continue;
      const Byte* row = data + r * rowWidth;
      const std::uint64_t type = widths[0] == 0 ? 1 : ReadField(row, widths[0]);
      e.Type = static_cast<std::uint8_t>(std::min<std::uint64_t>(type, 254));
      e.NewOffset = -1;
      e.Field2 = ClampOffsetField(ReadField(row + widths[0], widths[1]));
      e.Field3 = ClampField(ReadField(row + widths[0] + widths[1], widths[2]));
    }
    return 0;
  }

  // /Index: every (first number, count) pair with a count of at least 1; without it one
  // subsection starting at 0.
  int ReadIndex(const Dictionary& d, std::vector<std::pair<std::int64_t, std::int64_t>>& subsections) {
    const Byte* key = Key(d, "/Index");
    if (key == nullptr) {
      subsections.emplace_back(0, 0);
      return 0;
    }
    const Byte* v = key + 6;
    if (SkipWhitespace(v, d.End, Scratch) < 0 || *v != '[') return -29;
    ++v;
    for (;;) {
      std::int64_t first = ReadInteger(v, d.End, Scratch);
      if (first < 0) return subsections.empty() ? -29 : 0;
      std::int64_t count = ReadInteger(v, d.End, Scratch);
      if (count < 0 || (count == 0 && subsections.empty())) return subsections.empty() ? -30 : 0;
      if (count > 0) subsections.emplace_back(first, count);
    }
  }

  // One cross-reference stream object at p; prev is its /Prev, or -1.
  int ReadXrefStream(const Byte* p, std::int64_t& prev) {
    prev = -1;
    if (int rc = ReadObjectHeader(p, -1)) return rc;
    Dictionary d;
    if (int rc = ReadDictionary(p, d)) return rc;
    if (int rc = ReadTrailerValues(d)) return rc;
    if (Size == 0) return -13;
    if (int rc = CheckType(d, "/XRef")) return rc;
    int widths[3] = {0, 0, 0};
    if (int rc = ReadWidths(d, widths)) return rc;
    std::vector<std::pair<std::int64_t, std::int64_t>> subsections;
    if (int rc = ReadIndex(d, subsections)) return rc;
    if (const Byte* key = Key(d, "/Prev")) {
      const Byte* v = key + 5;
      const std::int64_t value = ReadOffset(v, d.End, Scratch);
      if (value < 1) return -31;
      prev = value;
    }
    StreamForm form;
    if (int rc = ReadStreamForm(d, form)) return rc;
    std::int64_t length = 0;
    if (int rc = ReadLength(d, false, true, length)) return rc;
    StreamData stream;
    if (int rc = ReadStream(d, length, stream)) return rc;
    if (!form.Supported || !AcceptedPredictor(form.Parms.Predictor)) return -36;
    // PNG rows are as wide as /W says, whatever /Columns claims.
    const int rowWidth = widths[0] + widths[1] + widths[2];
    PredictorParms parms = form.Parms;
    if (parms.Predictor >= 10) parms = {parms.Predictor, 1, 8, rowWidth};
    std::vector<Byte> decoded;
    const Byte* data = nullptr;
    std::size_t dataLength = 0;
    // Rows beyond the ones the table can hold would be dropped: the data is not decoded that far.
    if (int rc = Decode(stream, form, parms, kObjectStreamLimit, RowsLimit(subsections, rowWidth, parms.Predictor >= 10),
                        decoded, data, dataLength)) {
      return rc;
    }
    return StoreRows(data, dataLength, widths, subsections);
  }

  // Skips whitespace and comments at offset; code is the failure to report.
  int Seek(std::int64_t offset, const Byte*& p, int code) {
    if (offset < 0 || offset > End - Begin) return code;
    p = Begin + offset;
    if (SkipWhitespace(p, End, Scratch) < 0) return code;
    return 0;
  }

  bool SectionStartsAt(const Byte* p) {
    const Byte* header = p;
    return TokenAt(p, End, "xref") || ReadObjectHeader(header, -1) == 0;
  }

  // A section starts with "xref" or an object header. When the offset misses both, the nearest
  // line a few bytes away that starts with one is taken (Word has written every section offset
  // 19 bytes late).
  const Byte* NearbySection(const Byte* p) {
    if (SectionStartsAt(p)) return p;
    const std::int64_t offset = p - Begin;
    for (std::int64_t distance = 1; distance <= kHeaderWindow; ++distance) {
      for (const std::int64_t at : {offset - distance, offset + distance}) {
        if (at <= 0 || at >= End - Begin || !IsEndOfLine(Begin[at - 1])) continue;
        if (SectionStartsAt(Begin + at)) return Begin + at;
      }
    }
    return p;
  }

  int FindNewestSection(const Byte*& p) {
    const std::int64_t size = End - Begin;
    if (size < 6) return -1;
    bool found = false;
    for (const Byte* q = End - 5;; --q) {
      if (std::memcmp(q, "%%EOF", 5) == 0) {
        found = true;
        break;
      }
      if (q == Begin) break;
    }
    if (!found) return -2;
    if (size < 11) return -3;
    const Byte* startxref = nullptr;
    for (const Byte* q = End - 11;; --q) {
      if (std::memcmp(q, "startxref", 9) == 0) {
        startxref = q;
        break;
      }
      if (q == Begin) break;
    }
    if (startxref == nullptr) return -4;
    const Byte* v = startxref + 9;
    const std::int64_t offset = ReadOffset(v, End, Scratch);
    if (offset < 0) return -5;
    return Seek(offset, p, -5);
  }

  // The classic section of a hybrid file at p: its trailer and the table parsed from it. stream is
  // set to the /XRefStm section, or null.
  int ReadHybridSection(const Byte* p, const XrefTable* classicTable, const Byte*& stream) {
    stream = nullptr;
    static constexpr std::string_view kTrailer = "trailer";
    const Byte* trailer = std::search(p, End, kTrailer.begin(), kTrailer.end());
    if (trailer == End) return -6;
    const Byte* q = trailer + kTrailer.size();
    Dictionary d;
    if (int rc = ReadDictionary(q, d)) return rc;
    if (int rc = ReadTrailerValues(d)) return rc;
    if (Size == 0) return -13;
    for (const XrefEntry& line : *classicTable) {
      if (line.Number < 0 || static_cast<std::size_t>(line.Number) >= Entries.size()) continue;
      ObjectEntry& e = Entries[static_cast<std::size_t>(line.Number)];
      if (line.Offset > 0) e.Field2 = line.Offset;
      e.Field3 = line.Generation;
      e.FromTable = true;
    }
    if (const Byte* key = Key(d, "/XRefStm")) {
      const Byte* v = key + 8;
      const std::int64_t offset = ReadOffset(v, d.End, Scratch);
      if (offset < 0) return -13;
      if (int rc = Seek(offset, stream, -13)) return rc;
      stream = NearbySection(stream);
    }
    return 0;
  }

  struct ClassicLine {
    std::int64_t Number;
    std::int64_t Offset;
    int Generation;
    Byte Type;
  };

  // The entries of a classic section from behind "xref" up to "trailer".
  int ReadClassicLines(const Byte*& p, std::vector<ClassicLine>& lines) {
    for (;;) {
      const Byte* q = p;
      const std::int64_t first = ReadInteger(q, End, Scratch);
      if (first < 0) return 0;
      const std::int64_t count = ReadInteger(q, End, Scratch);
      if (count < 0) return -39;
      p = q;
      for (std::int64_t k = 0; k < count; ++k) {
        if ((k & 0xFFFF) == 0xFFFF && State.Cancelled()) return kConvertCancelled;
        const std::int64_t offset = ReadOffset(p, End, Scratch);
        const int generation = offset < 0 ? -1 : ReadInteger(p, End, Scratch);
        if (generation < 0 || !SkipPlainWhitespace(p, End) || (*p != 'n' && *p != 'f')) return -39;
        lines.push_back({first + k, offset, generation, *p});
        ++p;
      }
    }
  }

  // A classic section met along the chain (not the one the classic table was parsed from). Its
  // /XRefStm section is read before its own entries, so that the stream fills in the objects the
  // table lists as free; the entries then take only objects no newer section defined.
  int ReadClassicSection(const Byte* p, std::int64_t& prev, std::unordered_set<const Byte*>& visited) {
    prev = -1;
    p += 4;
    std::vector<ClassicLine> lines;
    if (int rc = ReadClassicLines(p, lines)) return rc;
    if (SkipWhitespace(p, End, Scratch) < 0 || !StartsWith(p, End, "trailer")) return -6;
    p += 7;
    Dictionary d;
    if (int rc = ReadDictionary(p, d)) return rc;
    if (int rc = ReadTrailerValues(d)) return rc;
    if (Size == 0) return -13;
    if (const Byte* key = Key(d, "/XRefStm")) {
      const Byte* v = key + 8;
      const Byte* stream = nullptr;
      if (int rc = Seek(ReadOffset(v, d.End, Scratch), stream, -13)) return rc;
      stream = NearbySection(stream);
      std::int64_t ignored = -1;
      if (visited.insert(stream).second) {
        if (int rc = ReadXrefStream(stream, ignored)) return rc;
      }
    }
    for (const ClassicLine& line : lines) {
      if (line.Number >= static_cast<std::int64_t>(Entries.size())) continue;
      ObjectEntry& e = Entries[static_cast<std::size_t>(line.Number)];
      if (e.Type != 255 || e.FromTable) continue;
      e.Type = line.Type == 'n' ? 1 : 0;
      e.NewOffset = -1;
      e.Field2 = line.Offset;
      e.Field3 = line.Generation;
    }
    if (const Byte* key = Key(d, "/Prev")) {
      const Byte* v = key + 5;
      prev = ReadOffset(v, d.End, Scratch);
      if (prev < 0) return -31;
    }
    return 0;
  }

  // Reads every section from the newest back along /Prev; classic sections and cross-reference
  // streams may follow each other in any order. A chain that comes back to a section already
  // read ends there.
  int ReadAllSections(const XrefTable* classicTable) {
    const Byte* p = nullptr;
    if (int rc = FindNewestSection(p)) return rc;
    p = NearbySection(p);
    std::unordered_set<const Byte*> visited;
    if (classicTable != nullptr && StartsWith(p, End, "xref")) {
      visited.insert(p);
      const Byte* stream = nullptr;
      if (int rc = ReadHybridSection(p, classicTable, stream)) return rc;
      p = stream;
    }
    while (p != nullptr && visited.insert(p).second) {
      if (State.Cancelled()) return kConvertCancelled;
      std::int64_t prev = -1;
      const bool classic = StartsWith(p, End, "xref");
      if (int rc = classic ? ReadClassicSection(p, prev, visited) : ReadXrefStream(p, prev)) return rc;
      if (prev < 0) break;
      if (int rc = Seek(prev, p, -50)) return rc;
      p = NearbySection(p);
    }
    return 0;
  }

  // The header of object `number` at offset or, when the offset is a few bytes off (Acrobat
  // writes some one byte early), near it; never before lower. Null when there is none.
  const Byte* FindObjectHeader(int number, std::int64_t offset, const Byte* lower) {
    const std::int64_t low = lower - Begin;
    auto headerAt = [&](std::int64_t at, bool exact) {
      if (at < low || at >= End - Begin) return false;
      const Byte* p = Begin + at;
      if (!exact && (*p < '0' || *p > '9' || (at > 0 && !IsDelimiter(p[-1])))) return false;
      return ReadObjectHeader(p, number) == 0;
    };
    if (headerAt(offset, true)) return Begin + offset;
    for (std::int64_t distance = 1; distance <= kHeaderWindow; ++distance) {
      if (headerAt(offset - distance, false)) return Begin + offset - distance;
      if (headerAt(offset + distance, false)) return Begin + offset + distance;
    }
    return nullptr;
  }

  // True when the object at p (behind its header) is a dictionary with /N and /First followed
  // by a stream; only then is it taken apart.
  bool LooksLikeObjectStream(const Byte* p) {
    Dictionary d;
    if (ReadDictionary(p, d) != 0) return false;
    if (Key(d, "/N") == nullptr || Key(d, "/First") == nullptr) return false;
    const Byte* q = d.End + 2;
    return SkipWhitespace(q, End, Scratch) >= 0 && StartsWith(q, End, "stream");
  }

  // Writes the objects of the object stream `number`, whose header is at `at`, to out, which
  // goes after the image's own bytes (its first byte lands at file offset base). Returns
  // kNotAnObjectStream, without writing, when the object is something else.
  int ExtractObjectStream(int number, const Byte* at, ImageBytes& out, std::int64_t base, const Byte*& after) {
    const Byte* p = at;
    if (int rc = ReadObjectHeader(p, number)) return rc;
    if (!LooksLikeObjectStream(p)) return kNotAnObjectStream;
    Dictionary d;
    if (int rc = ReadDictionary(p, d)) return rc;
    StreamForm form;
    if (int rc = ReadStreamForm(d, form)) return rc;
    std::int64_t length = 0, first = 0, count = 0;
    if (int rc = ReadLength(d, true, false, length)) return rc;
    if (int rc = ReadRequiredInteger(d, "/First", first)) return rc;
    if (int rc = ReadRequiredInteger(d, "/N", count)) return rc;
    StreamData stream;
    if (int rc = ReadStream(d, length, stream)) return rc;
    const Byte* q = stream.After;
    if (SkipWhitespace(q, End, Scratch) < 0 || !StartsWith(q, End, "endobj")) return -36;
    q += 6;
    SkipWhitespace(q, End, Scratch);
    after = q;
    if (!form.Supported || !AcceptedPredictor(form.Parms.Predictor)) return -36;

    std::vector<Byte> decrypted;
    if (Decryption != nullptr && Decryption->Decrypt) {
      // The object stream is protected as a whole; the objects in it are not protected again.
      const int generation = Entries[static_cast<std::size_t>(number)].Type == 1 ? Entries[static_cast<std::size_t>(number)].Field3 : 0;
      Decryption->Decrypt(number, generation, std::span<const Byte>(stream.Data, stream.Length), decrypted);
      stream.Data = decrypted.data();
      stream.Length = decrypted.size();
    }
    std::vector<Byte> decoded;
    const Byte* data = nullptr;
    std::size_t dataLength = 0;
    if (int rc = Decode(stream, form, form.Parms, std::min(kObjectStreamLimit, DecodedBudget), SIZE_MAX, decoded, data,
                        dataLength)) {
      return rc;
    }
    if (!decoded.empty()) DecodedBudget -= std::min(DecodedBudget, decoded.size());
    const Byte* dataEnd = data + dataLength;

    std::vector<ObjectStreamPair> pairs;
    if (int rc = ReadObjectStreamPairs(std::span<const Byte>(data, dataLength), first, count, pairs)) return rc;

    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const std::size_t objectNumber = static_cast<std::size_t>(pairs[i].Number);
      if (objectNumber >= Entries.size()) continue;
      ObjectEntry& e = Entries[objectNumber];
      if (e.Type != 2 || e.Extracted || e.Field2 != number) continue;
      // The row's index names the pair; when that pair holds another object (a 2-byte index
      // field wraps beyond 65,535 objects), the object is found by its number instead.
      const std::size_t index = static_cast<std::size_t>(e.Field3);
      if (index != i && index < pairs.size() && pairs[index].Number == pairs[i].Number) continue;
      const std::int64_t offset = base + static_cast<std::int64_t>(out.size());
      if (offset > kMaxImageSize) return -52;
      e.Field2 = offset;
      e.Field3 = 0;
      e.Extracted = true;
      if (Decryption != nullptr) Decryption->PlainObjects.insert(pairs[i].Number);
      char header[32];
      AppendText(out, header, std::snprintf(header, sizeof header, "%d 0 obj\n", pairs[i].Number));
      const Byte* body = data + first + pairs[i].Offset;
      const Byte* bodyEnd = i + 1 < pairs.size() ? data + first + pairs[i + 1].Offset : dataEnd;
      AppendBytes(out, body, static_cast<std::size_t>(bodyEnd - body));
      AppendText(out, "\nendobj\n", 8);
    }
    return 0;
  }

  // An object stream is found through its own entry: an object in use at a file offset.
  bool Locatable(const ObjectEntry& e) { return e.Type == 1 || (e.Type == 255 && e.Field2 > 0); }

  // Writes the objects of every object stream to out. In place, out receives the whole new image:
  // the file's bytes with every object stream replaced by the objects it holds, and the objects
  // behind it moved. Otherwise out receives only those objects, to follow the image's own bytes
  // from file offset base: nothing moves, and an object stream's own entry is emptied. Compressed
  // objects whose stream cannot be found or is no object stream are left out.
  int ExtractObjectStreams(ImageBytes& out, std::int64_t base, ConversionLayout layout) {
    const bool inPlace = layout == ConversionLayout::InPlace;
    for (ObjectEntry& e : Entries) e.Mark = 0;
    for (const ObjectEntry& e : Entries) {
      if (e.Type == 2 && e.Field2 >= 0 && static_cast<std::size_t>(e.Field2) < Entries.size()) {
        Entries[static_cast<std::size_t>(e.Field2)].Mark = 1;
      }
    }
    std::vector<int> streams;
    for (std::size_t i = 0; i < Entries.size(); ++i) {
      if (Entries[i].Mark && Locatable(Entries[i])) streams.push_back(static_cast<int>(i));
    }
    std::sort(streams.begin(), streams.end(), [this](int a, int b) {
      const std::int64_t offsetA = Entries[static_cast<std::size_t>(a)].Field2;
      const std::int64_t offsetB = Entries[static_cast<std::size_t>(b)].Field2;
      return offsetA != offsetB ? offsetA < offsetB : a < b;
    });
    for (ObjectEntry& e : Entries) e.NewOffset = e.Field2;

    const std::size_t inputSize = static_cast<std::size_t>(End - Begin);
    // Room for the objects (and the classic table) that object streams of usual compression give.
    ReserveLarge(out, (inPlace ? inputSize : 0) + inputSize / 4 + Entries.size() * 20 + 4096);
    // Appended, the first object must not share the file's last line.
    if (!inPlace) AppendText(out, "\n", 1);
    struct Shift {
      std::int64_t Offset;  // of the object stream in the input
      std::int64_t Delta;   // written length minus the stream object's length
    };
    std::vector<Shift> shifts;
    shifts.reserve(inPlace ? streams.size() : 0);
    const Byte* read = Begin;
    for (int number : streams) {
      if (State.Cancelled()) return kConvertCancelled;
      ObjectEntry& stream = Entries[static_cast<std::size_t>(number)];
      const Byte* at = FindObjectHeader(number, stream.Field2, read);
      if (at == nullptr) continue;
      const std::size_t kept = out.size();
      if (inPlace) AppendBytes(out, read, static_cast<std::size_t>(at - read));
      const std::size_t objects = out.size();
      const Byte* after = nullptr;
      int rc = ExtractObjectStream(number, at, out, base, after);
      if (rc == kNotAnObjectStream) {
        out.resize(kept);
        stream.Mark = 0;
        continue;
      }
      if (rc != 0) return rc;
      const auto written = static_cast<std::int64_t>(out.size() - objects);
      if (inPlace) shifts.push_back({at - Begin, written - (after - at)});
      stream.Field2 = 0;
      stream.NewOffset = 0;
      read = after;
    }
    if (inPlace) AppendBytes(out, read, static_cast<std::size_t>(End - read));
    if (base + static_cast<std::int64_t>(out.size()) > kMaxImageSize) return -52;

    // An object behind a rewritten stream moves by the sum of the shifts of the streams before it.
    std::vector<std::int64_t> sums(shifts.size() + 1, 0);
    for (std::size_t i = 0; i < shifts.size(); ++i) sums[i + 1] = sums[i] + shifts[i].Delta;
    for (ObjectEntry& e : Entries) {
      if (e.Type == 2 && !e.Extracted) {
        e.Field2 = 0;
        e.Field3 = 0;
        continue;
      }
      if (e.Mark || shifts.empty()) continue;
      if (e.Type != 1 && !(e.Type == 255 && e.NewOffset != 0)) continue;
      auto before = std::lower_bound(shifts.begin(), shifts.end(), std::int64_t{e.Field2},
                                     [](const Shift& s, std::int64_t offset) { return s.Offset < offset; });
      e.NewOffset += sums[static_cast<std::size_t>(before - shifts.begin())];
    }
    return 0;
  }

  // Appends the classic table and trailer to out, which follows the image's bytes from base.
  int WriteClassicTable(ImageBytes& out, std::int64_t base) {
    for (ObjectEntry& e : Entries) {
      if (e.Type == 1 || (e.Type == 255 && !e.Mark && e.NewOffset != 0)) e.Field2 = std::max<std::int64_t>(e.NewOffset, 0);
    }
    AppendText(out, "\n", 1);
    const std::int64_t xref = base + static_cast<std::int64_t>(out.size());
    if (xref > kMaxImageSize) return -52;
    char line[160];
    AppendText(out, line, std::snprintf(line, sizeof line, "xref\n0 %d\n0000000000 65535 f \n", Size));
    char entry[] = "0000000000 00000 n \n";
    for (int i = 1; i < Size; ++i) {
      const ObjectEntry& e = Entries[static_cast<std::size_t>(i)];
      if (e.Field2 < 0 || e.Field3 < 0 || e.Field3 > 99999) {
        AppendText(out, line, std::snprintf(line, sizeof line, "%010lld %05d n \n", static_cast<long long>(e.Field2), e.Field3));
        continue;
      }
      // An offset past any file this table can describe stays past it.
      PutPaddedDecimal(entry, 10, static_cast<std::uint64_t>(std::min(e.Field2, kMaxTableOffset)));
      PutPaddedDecimal(entry + 11, 5, static_cast<std::uint64_t>(e.Field3));
      AppendText(out, entry, static_cast<int>(sizeof entry - 1));
    }
    static constexpr const char* kTrailer = "trailer\n<<\n/Size %d\n/Root %d %d R\n>>\nstartxref\n%lld\n%%%%EOF\n";
    AppendText(out, line,
               std::snprintf(line, sizeof line, kTrailer, Size, CatalogNumber, CatalogGeneration,
                             static_cast<long long>(xref)));
    if (base + static_cast<std::int64_t>(out.size()) > kMaxImageSize) return -52;
    return 0;
  }

  // Reads the sections and writes out the image in classic form (in place) or what turns it into
  // classic form when appended to it: the objects of its object streams, a classic table of every
  // object and its trailer.
  int Run(const XrefTable* classicTable, ImageBytes& out, ConversionLayout layout) {
    if (End - Begin > kMaxImageSize) return -52;
    const std::int64_t base = layout == ConversionLayout::InPlace ? 0 : End - Begin;
    if (int rc = ReadAllSections(classicTable)) return rc;
    if (int rc = ExtractObjectStreams(out, base, layout)) return rc;
    return WriteClassicTable(out, base);
  }
};

}  // namespace

int ReadXrefStreamObjects(EngineState& state, const FileImage& image, const XrefTable* classicTable,
                          XrefTable& objects) {
  objects.clear();
  int code = 0;
  try {
    Converter converter{state, image.Begin(), image.End()};
    converter.ReadProtected = true;
    code = converter.ReadAllSections(classicTable);
    for (std::size_t i = 1; code == 0 && i < converter.Entries.size(); ++i) {
      const ObjectEntry& e = converter.Entries[i];
      const bool atOffset = e.Type == 1 || (e.Type == 255 && e.FromTable && e.Field2 > 0);
      if (atOffset && e.Field2 > 0) objects.push_back({static_cast<int>(i), e.Field2, e.Field3, 'n'});
    }
  } catch (const std::bad_alloc&) {
    code = -52;
  }
  if (code != 0) objects.clear();
  return code;
}

int ConvertXrefStreams(EngineState& state, FileImage& image, const XrefTable* classicTable,
                       ObjectStreamDecryption* decryption, ConversionLayout layout) {
  state.LastErrorCode = 0;
  int code = 0;
  try {
    // Room for what is usual at once: grown by doubling, the buffer would be written over
    // and over. Room that is never written costs no memory.
    ImageBytes out;
    const std::size_t size = image.Size();
    ReserveLarge(out, (layout == ConversionLayout::InPlace ? size : 0) + size / 4 + 65536);
    Converter converter{state, image.Begin(), image.End()};
    converter.Decryption = decryption;
    code = converter.Run(classicTable, out, layout);
    const Byte zero = 0;
    if (code == 0 && layout == ConversionLayout::InPlace) {
      AppendBytes(out, &zero, 1);
      image.Storage = std::move(out);
    } else if (code == 0) {
      // What the conversion wrote takes the place of the trailing zero byte, which then follows
      // it. The room comes first, so that running out of memory leaves the image as it was.
      ImageBytes& storage = image.Storage;
      if (image.View.data() != nullptr) {
        // A viewed image is never written: its bytes are copied first.
        storage.clear();
        AppendBytes(storage, image.View.data(), image.View.size() + 1);
        image.View = {};
      }
      const std::size_t needed = storage.size() + out.size();
      if (storage.capacity() < needed) {
        ImageBytes larger;
        ReserveLarge(larger, needed);
        AppendBytes(larger, storage.data(), storage.size());
        storage.swap(larger);
      }
      storage.pop_back();
      AppendBytes(storage, out.data(), out.size());
      AppendBytes(storage, &zero, 1);
    }
  } catch (const std::bad_alloc&) {
    code = -52;
  }
  state.LastErrorCode = code;
  return code;
}

}  // namespace folvex
