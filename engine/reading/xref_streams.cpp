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

#include "engine/reading/inflate.h"
#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// PDF's own limit on the number of indirect objects; a larger /Size is refused. Above
// kSmallSizeLimit, /Size may not exceed the image's length either (no tiny file can make the
// table and the written image huge).
constexpr int kMaxSize = 8388607;
constexpr int kSmallSizeLimit = 1 << 20;
// All streams decompressed by one conversion together may not produce more than this.
constexpr std::size_t kDecodedBudget = std::size_t{512} << 20;
// Offsets are written as 32-bit numbers, so neither image may grow beyond this.
constexpr std::int64_t kMaxImageSize = INT32_MAX;
// Cross-reference stream fields wider than this cannot hold a meaningful value.
constexpr int kMaxFieldWidth = 8;

struct ObjectEntry {
  std::uint8_t Mark = 0;    // 1 for an object that is an object stream
  std::uint8_t Type = 255;  // 255 until a cross-reference stream row sets it; then 0, 1 or 2
  bool Extracted = false;   // already written out of its object stream
  std::int64_t NewOffset = 0;
  std::int32_t Field2 = 0;  // type 1: offset; type 2: object stream number; type 0: next free number
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

enum class Filter { None, Flate, Other };

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, INT32_MAX));
}

std::int32_t ClampField(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
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

Byte Paeth(int left, int up, int upLeft) {
  int estimate = left + up - upLeft;
  int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up), toUpLeft = std::abs(estimate - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return static_cast<Byte>(left);
  if (toUp <= toUpLeft) return static_cast<Byte>(up);
  return static_cast<Byte>(upLeft);
}

// Undoes the PNG filters of rows rows, each a tag byte and rowWidth bytes, one byte per pixel.
// Returns 0, or -36 for an unknown tag.
int UndoPngPredictor(Byte* data, std::size_t rows, std::size_t rowWidth) {
  const std::size_t stride = rowWidth + 1;
  for (std::size_t r = 0; r < rows; ++r) {
    Byte* row = data + r * stride + 1;
    const Byte* prior = r == 0 ? nullptr : row - stride;
    const Byte tag = row[-1];
    if (tag > 4) return -36;
    for (std::size_t i = 0; i < rowWidth; ++i) {
      int left = i == 0 ? 0 : row[i - 1];
      int up = prior == nullptr ? 0 : prior[i];
      int upLeft = (prior == nullptr || i == 0) ? 0 : prior[i - 1];
      switch (tag) {
        case 1: row[i] = static_cast<Byte>(row[i] + left); break;
        case 2: row[i] = static_cast<Byte>(row[i] + up); break;
        case 3: row[i] = static_cast<Byte>(row[i] + (left + up) / 2); break;
        case 4: row[i] = static_cast<Byte>(row[i] + Paeth(left, up, upLeft)); break;
        default: break;
      }
    }
  }
  return 0;
}

void AppendText(std::vector<Byte>& out, const char* text, int length) { out.insert(out.end(), text, text + length); }

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
        return -1000;
      }
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

  // A filter given as a name or as an array of at most one name.
  Filter ReadFilterName(const Byte* v, const Byte* limit) {
    if (SkipWhitespace(v, limit, Scratch) < 0) return Filter::Other;
    const bool array = *v == '[';
    if (array) {
      ++v;
      if (SkipWhitespace(v, limit, Scratch) < 0) return Filter::Other;
      if (*v == ']') return Filter::None;
    }
    if (!TokenAt(v, limit, "/FlateDecode")) return Filter::Other;
    v += 12;
    if (array && (SkipWhitespace(v, limit, Scratch) < 0 || *v != ']')) return Filter::Other;
    return Filter::Flate;
  }

  // The decode parameters as a dictionary, or as an array whose first element is one.
  int ReadDecodeParms(const Byte* v, const Byte* limit, int& predictor) {
    predictor = 1;
    if (SkipWhitespace(v, limit, Scratch) < 0) return -8;
    if (*v == '[') {
      ++v;
      if (SkipWhitespace(v, limit, Scratch) < 0) return -8;
    }
    if (TokenAt(v, limit, "null")) return 0;
    if (limit - v < 4) return -8;
    if (!StartsWith(v, limit, "<<")) return -9;
    Dictionary parms{v + 2, FindDictEnd(v + 2, limit)};
    if (parms.End == nullptr) return -87;
    const Byte* columns = Key(parms, "/Columns");
    if (columns == nullptr) return 0;
    columns += 8;
    if (ReadInteger(columns, parms.End, Scratch) < 0) return -32;
    if (const Byte* key = Key(parms, "/Predictor")) {
      const Byte* p = key + 10;
      int value = ReadInteger(p, parms.End, Scratch);
      if (value >= 0) predictor = value;
    }
    return 0;
  }

  // Predictor 0 for unfiltered data, 1 for plain Flate, the /Predictor value otherwise, and -1
  // for a filter this reader does not decode.
  int ReadPredictor(const Dictionary& d, int& predictor) {
    predictor = 0;
    const Byte* key = Key(d, "/Filter");
    if (key == nullptr) return 0;
    Filter filter = ReadFilterName(key + 7, d.End);
    if (filter == Filter::Other) predictor = -1;
    if (filter != Filter::Flate) return 0;
    predictor = 1;
    key = Key(d, "/DecodeParms");
    if (key == nullptr) return 0;
    return ReadDecodeParms(key + 12, d.End, predictor);
  }

  // /Length as a direct integer; allowIndirect also follows a reference to an object in the file.
  int ReadLength(const Dictionary& d, bool allowIndirect, std::int64_t& length) {
    const Byte* key = Key(d, "/Length");
    if (key == nullptr) return -33;
    const Byte* v = key + 7;
    int number = 0, generation = 0;
    if (ReadReference(v, d.End, number, generation, Scratch)) {
      if (!allowIndirect) return -32;
      return ResolveLength(number, length);
    }
    int value = ReadInteger(v, d.End, Scratch);
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
    int value = ReadInteger(p, End, Scratch);
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

  // Inflates when filtered; data and length then describe decoded, else the stream itself.
  int Decode(const StreamData& stream, int predictor, std::vector<Byte>& decoded, const Byte*& data,
             std::size_t& length) {
    if (predictor == 0) {
      data = stream.Data;
      length = stream.Length;
      return 0;
    }
    int rc = InflateToVector(stream.Data, stream.Length, decoded, DecodedBudget);
    if (rc == -10) return -38;
    if (rc == -2 || rc == -3) return -37;
    if (rc != 0) return -36;
    DecodedBudget -= decoded.size();
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

  // subsections holds the (first number, count) pairs of /Index. Rows run through them in order;
  // rows beyond the last count go on numbering after the last pair's first number.
  int StoreRows(const Byte* data, std::size_t length, const int (&widths)[3],
                const std::vector<std::pair<std::int64_t, std::int64_t>>& subsections, bool png) {
    const std::size_t rowWidth = static_cast<std::size_t>(widths[0] + widths[1] + widths[2]);
    const std::size_t stride = rowWidth + (png ? 1 : 0);
    const std::size_t rows = length / stride;
    std::size_t pair = 0;
    std::int64_t rowInPair = 0;
    for (std::size_t r = 0; r < rows; ++r, ++rowInPair) {
      if ((r & 0xFFFF) == 0xFFFF && State.Cancelled()) return kConvertCancelled;
      if (rowInPair == subsections[pair].second && pair + 1 < subsections.size()) {
        ++pair;
        rowInPair = 0;
      }
      const std::int64_t number = subsections[pair].first + rowInPair;
      if (number >= static_cast<std::int64_t>(Entries.size())) break;
      ObjectEntry& e = Entries[static_cast<std::size_t>(number)];
      if (e.Type != 255) continue;
      const Byte* row = data + r * stride + (png ? 1 : 0);
      const std::uint64_t type = widths[0] == 0 ? 1 : ReadField(row, widths[0]);
      e.Type = static_cast<std::uint8_t>(std::min<std::uint64_t>(type, 254));
      e.NewOffset = -1;
      e.Field2 = ClampField(ReadField(row + widths[0], widths[1]));
      e.Field3 = ClampField(ReadField(row + widths[0] + widths[1], widths[2]));
    }
    return 0;
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
    // /Index: every (first number, count) pair; without it one subsection starting at 0.
    std::vector<std::pair<std::int64_t, std::int64_t>> subsections;
    if (const Byte* key = Key(d, "/Index")) {
      const Byte* v = key + 6;
      if (SkipWhitespace(v, d.End, Scratch) < 0 || *v != '[') return -29;
      ++v;
      for (;;) {
        std::int64_t first = ReadInteger(v, d.End, Scratch);
        if (first < 0) {
          if (subsections.empty()) return -29;
          break;
        }
        std::int64_t count = ReadInteger(v, d.End, Scratch);
        if (count < 1) {
          if (subsections.empty()) return -30;
          break;
        }
        subsections.emplace_back(first, count);
      }
    } else {
      subsections.emplace_back(0, 0);
    }
    if (const Byte* key = Key(d, "/Prev")) {
      const Byte* v = key + 5;
      int value = ReadInteger(v, d.End, Scratch);
      if (value < 1) return -31;
      prev = value;
    }
    int predictor = 0;
    if (int rc = ReadPredictor(d, predictor)) return rc;
    std::int64_t length = 0;
    if (int rc = ReadLength(d, false, length)) return rc;
    StreamData stream;
    if (int rc = ReadStream(d, length, stream)) return rc;
    const bool png = predictor >= 10 && predictor <= 15;
    if (predictor != 0 && predictor != 1 && !png) return -36;
    std::vector<Byte> decoded;
    const Byte* data = nullptr;
    std::size_t dataLength = 0;
    if (int rc = Decode(stream, predictor, decoded, data, dataLength)) return rc;
    const std::size_t rowWidth = static_cast<std::size_t>(widths[0] + widths[1] + widths[2]);
    if (png) {
      if (int rc = UndoPngPredictor(decoded.data(), dataLength / (rowWidth + 1), rowWidth)) return rc;
    }
    return StoreRows(data, dataLength, widths, subsections, png);
  }

  // Skips whitespace and comments at offset; code is the failure to report.
  int Seek(std::int64_t offset, const Byte*& p, int code) {
    if (offset < 0 || offset > End - Begin) return code;
    p = Begin + offset;
    if (SkipWhitespace(p, End, Scratch) < 0) return code;
    return 0;
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
    int offset = ReadInteger(v, End, Scratch);
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
    if (classicTable == nullptr) return -15;
    for (const XrefEntry& line : *classicTable) {
      if (line.Number < 0 || static_cast<std::size_t>(line.Number) >= Entries.size()) continue;
      ObjectEntry& e = Entries[static_cast<std::size_t>(line.Number)];
      if (line.Offset > 0) e.Field2 = line.Offset;
      e.Field3 = line.Generation;
    }
    if (const Byte* key = Key(d, "/XRefStm")) {
      const Byte* v = key + 8;
      int offset = ReadInteger(v, d.End, Scratch);
      if (offset < 0) return -13;
      return Seek(offset, stream, -13);
    }
    return 0;
  }

  int ReadAllSections(const XrefTable* classicTable) {
    const Byte* p = nullptr;
    if (int rc = FindNewestSection(p)) return rc;
    if (StartsWith(p, End, "xref")) {
      const Byte* stream = nullptr;
      if (int rc = ReadHybridSection(p, classicTable, stream)) return rc;
      p = stream;
    }
    // A /Prev chain that comes back to a section already read ends there.
    std::unordered_set<const Byte*> visited;
    while (p != nullptr && visited.insert(p).second) {
      if (State.Cancelled()) return kConvertCancelled;
      std::int64_t prev = -1;
      if (int rc = ReadXrefStream(p, prev)) return rc;
      if (prev < 0) break;
      if (int rc = Seek(prev, p, -50)) return rc;
    }
    return 0;
  }

  // Writes the objects of the object stream `number`, whose header is at `at`, in its place.
  int ExtractObjectStream(int number, const Byte* at, std::vector<Byte>& out, const Byte*& after,
                          std::int64_t& written) {
    written = 0;
    const Byte* p = at;
    if (int rc = ReadObjectHeader(p, number)) return rc;
    Dictionary d;
    if (int rc = ReadDictionary(p, d)) return rc;
    if (int rc = CheckType(d, "/ObjStm")) return rc;
    int predictor = 0;
    if (int rc = ReadPredictor(d, predictor)) return rc;
    std::int64_t length = 0, first = 0, count = 0;
    if (int rc = ReadLength(d, true, length)) return rc;
    if (int rc = ReadRequiredInteger(d, "/First", first)) return rc;
    if (int rc = ReadRequiredInteger(d, "/N", count)) return rc;
    StreamData stream;
    if (int rc = ReadStream(d, length, stream)) return rc;
    const Byte* q = stream.After;
    if (SkipWhitespace(q, End, Scratch) < 0 || !StartsWith(q, End, "endobj")) return -36;
    q += 6;
    SkipWhitespace(q, End, Scratch);
    after = q;
    if (predictor != 0 && predictor != 1) return -36;

    std::vector<Byte> decoded;
    const Byte* data = nullptr;
    std::size_t dataLength = 0;
    if (int rc = Decode(stream, predictor, decoded, data, dataLength)) return rc;
    const Byte* dataEnd = data + dataLength;

    struct Pair {
      int Number;
      std::int64_t Offset;
    };
    std::vector<Pair> pairs;
    pairs.reserve(std::min(static_cast<std::size_t>(count), dataLength / 4 + 1));
    const Byte* cursor = data;
    for (std::int64_t i = 0; i < count; ++i) {
      int objectNumber = ReadInteger(cursor, dataEnd, Scratch);
      if (objectNumber < 0) return -53;
      int offset = ReadInteger(cursor, dataEnd, Scratch);
      if (offset < 0) return -54;
      // Objects lie in order of their offsets, all inside the data.
      if (first + offset > static_cast<std::int64_t>(dataLength)) return -54;
      if (!pairs.empty() && offset < pairs.back().Offset) return -54;
      pairs.push_back({objectNumber, offset});
    }

    for (std::size_t i = 0; i < pairs.size(); ++i) {
      const std::size_t objectNumber = static_cast<std::size_t>(pairs[i].Number);
      if (objectNumber >= Entries.size()) continue;
      ObjectEntry& e = Entries[objectNumber];
      if (e.Type != 2 || e.Extracted || e.Field2 != number || e.Field3 != static_cast<std::int64_t>(i)) continue;
      if (static_cast<std::int64_t>(out.size()) > kMaxImageSize) return -52;
      e.Field2 = static_cast<std::int32_t>(out.size());
      e.Field3 = 0;
      e.Extracted = true;
      const std::size_t before = out.size();
      char header[32];
      AppendText(out, header, std::snprintf(header, sizeof header, "%d 0 obj\n", pairs[i].Number));
      const Byte* body = data + first + pairs[i].Offset;
      const Byte* bodyEnd = i + 1 < pairs.size() ? data + first + pairs[i + 1].Offset : dataEnd;
      out.insert(out.end(), body, bodyEnd);
      AppendText(out, "\nendobj\n", 8);
      written += static_cast<std::int64_t>(out.size() - before);
    }
    return 0;
  }

  // Replaces every object stream by the objects it holds; out receives the whole new image body.
  int ExtractObjectStreams(std::vector<Byte>& out) {
    for (ObjectEntry& e : Entries) e.Mark = 0;
    for (const ObjectEntry& e : Entries) {
      if (e.Type == 2 && e.Field2 >= 0 && static_cast<std::size_t>(e.Field2) < Entries.size()) {
        Entries[static_cast<std::size_t>(e.Field2)].Mark = 1;
      }
    }
    std::vector<int> streams;
    for (std::size_t i = 0; i < Entries.size(); ++i) {
      if (Entries[i].Mark) streams.push_back(static_cast<int>(i));
    }
    std::sort(streams.begin(), streams.end(), [this](int a, int b) {
      const std::int32_t offsetA = Entries[static_cast<std::size_t>(a)].Field2;
      const std::int32_t offsetB = Entries[static_cast<std::size_t>(b)].Field2;
      return offsetA != offsetB ? offsetA < offsetB : a < b;
    });
    for (ObjectEntry& e : Entries) e.NewOffset = e.Field2;

    const std::size_t inputSize = static_cast<std::size_t>(End - Begin);
    out.reserve(inputSize + inputSize / 4 + 4096);
    struct Shift {
      std::int64_t Offset;  // of the object stream in the input
      std::int64_t Delta;   // written length minus the stream object's length
    };
    std::vector<Shift> shifts;
    shifts.reserve(streams.size());
    const Byte* read = Begin;
    for (int number : streams) {
      if (State.Cancelled()) return kConvertCancelled;
      ObjectEntry& stream = Entries[static_cast<std::size_t>(number)];
      const std::int64_t offset = stream.Field2;
      if (offset < read - Begin || offset > End - Begin) return -14;
      out.insert(out.end(), read, Begin + offset);
      const Byte* after = nullptr;
      std::int64_t written = 0;
      if (int rc = ExtractObjectStream(number, Begin + offset, out, after, written)) return rc;
      shifts.push_back({offset, written - (after - (Begin + offset))});
      stream.Field2 = 0;
      stream.NewOffset = 0;
      read = after;
    }
    out.insert(out.end(), read, End);
    if (static_cast<std::int64_t>(out.size()) > kMaxImageSize) return -52;

    // An object behind a rewritten stream moves by the sum of the shifts of the streams before it.
    std::vector<std::int64_t> sums(shifts.size() + 1, 0);
    for (std::size_t i = 0; i < shifts.size(); ++i) sums[i + 1] = sums[i] + shifts[i].Delta;
    for (ObjectEntry& e : Entries) {
      if (e.Mark) continue;
      if (e.Type != 1 && !(e.Type == 255 && e.NewOffset != 0)) continue;
      auto before = std::lower_bound(shifts.begin(), shifts.end(), std::int64_t{e.Field2},
                                     [](const Shift& s, std::int64_t offset) { return s.Offset < offset; });
      e.NewOffset += sums[static_cast<std::size_t>(before - shifts.begin())];
    }
    return 0;
  }

  int WriteClassicTable(std::vector<Byte>& out) {
    for (ObjectEntry& e : Entries) {
      if (e.Type == 1 || (e.Type == 255 && !e.Mark && e.NewOffset != 0)) e.Field2 = ClampToInt32(e.NewOffset);
    }
    out.push_back('\n');
    const std::size_t xref = out.size();
    out.reserve(out.size() + static_cast<std::size_t>(Size) * 20 + 128);
    char line[160];
    AppendText(out, line, std::snprintf(line, sizeof line, "xref\n0 %d\n0000000000 65535 f \n", Size));
    for (int i = 1; i < Size; ++i) {
      const ObjectEntry& e = Entries[static_cast<std::size_t>(i)];
      AppendText(out, line, std::snprintf(line, sizeof line, "%010d %05d n \n", e.Field2, e.Field3));
    }
    static constexpr const char* kTrailer = "trailer\n<<\n/Size %d\n/Root %d %d R\n>>\nstartxref\n%d\n%%%%EOF\n";
    AppendText(
        out, line,
        std::snprintf(line, sizeof line, kTrailer, Size, CatalogNumber, CatalogGeneration, static_cast<int>(xref)));
    if (static_cast<std::int64_t>(out.size()) > kMaxImageSize) return -52;
    return 0;
  }

  int Run(const XrefTable* classicTable, std::vector<Byte>& out) {
    if (End - Begin > kMaxImageSize) return -52;
    if (int rc = ReadAllSections(classicTable)) return rc;
    if (int rc = ExtractObjectStreams(out)) return rc;
    return WriteClassicTable(out);
  }
};

}  // namespace

int ConvertXrefStreams(EngineState& state, FileImage& image, const XrefTable* classicTable) {
  state.LastErrorCode = 0;
  int code = 0;
  try {
    std::vector<Byte> out;
    Converter converter{state, image.Begin(), image.End()};
    code = converter.Run(classicTable, out);
    if (code == 0) {
      out.push_back(0);
      image.Storage = std::move(out);
    }
  } catch (const std::bad_alloc&) {
    code = -52;
  }
  state.LastErrorCode = code;
  return code;
}

}  // namespace folvex
