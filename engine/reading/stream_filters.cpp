#include "engine/reading/stream_filters.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "engine/reading/inflate.h"
#include "engine/reading/scanners.h"

namespace folvex {

namespace {

// Longer chains are not written by any producer; refusing them bounds the work per stream.
constexpr std::size_t kMaxFilters = 8;

bool TokenAt(const Byte* p, const Byte* end, std::string_view token) {
  return StartsWith(p, end, token) && (p + token.size() == end || IsDelimiter(p[token.size()]));
}

int ReadFilterName(const Byte*& v, const Byte* limit, StreamFilter& filter) {
  static constexpr struct {
    std::string_view Name;
    StreamFilter Filter;
  } kNames[] = {
      {"/FlateDecode", StreamFilter::Flate},       {"/Fl", StreamFilter::Flate},
      {"/ASCIIHexDecode", StreamFilter::AsciiHex}, {"/AHx", StreamFilter::AsciiHex},
      {"/ASCII85Decode", StreamFilter::Ascii85},   {"/A85", StreamFilter::Ascii85},
  };
  for (const auto& known : kNames) {
    if (TokenAt(v, limit, known.Name)) {
      v += known.Name.size();
      filter = known.Filter;
      return 0;
    }
  }
  return -1;
}

int HexDigit(Byte c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Inflate(const Byte* data, std::size_t length, std::vector<Byte>& out, std::size_t budget) {
  int rc = InflateToVector(data, length, out, budget);
  return rc == -5 ? 0 : rc;
}

int DecodeOne(StreamFilter filter, const Byte* data, std::size_t length, std::vector<Byte>& out,
              std::size_t budget) {
  switch (filter) {
    case StreamFilter::Flate: return Inflate(data, length, out, budget);
    case StreamFilter::AsciiHex: return DecodeAsciiHex(data, length, out) == 0 ? 0 : -4;
    case StreamFilter::Ascii85: return DecodeAscii85(data, length, out) == 0 ? 0 : -4;
  }
  return -4;
}

Byte Paeth(int left, int up, int upLeft) {
  int estimate = left + up - upLeft;
  int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up), toUpLeft = std::abs(estimate - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return static_cast<Byte>(left);
  if (toUp <= toUpLeft) return static_cast<Byte>(up);
  return static_cast<Byte>(upLeft);
}

// Rows of rowBytes data bytes, each behind its tag byte; pixel is the byte distance of "left".
int UndoPng(std::vector<Byte>& data, std::size_t rowBytes, std::size_t pixel) {
  const std::size_t stride = rowBytes + 1;
  const std::size_t rows = data.size() / stride;
  for (std::size_t r = 0; r < rows; ++r) {
    Byte* row = data.data() + r * stride + 1;
    const Byte* prior = r == 0 ? nullptr : row - stride;
    const Byte tag = row[-1];
    if (tag > 4) return -1;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      int left = i < pixel ? 0 : row[i - pixel];
      int up = prior == nullptr ? 0 : prior[i];
      int upLeft = (prior == nullptr || i < pixel) ? 0 : prior[i - pixel];
      switch (tag) {
        case 1: row[i] = static_cast<Byte>(row[i] + left); break;
        case 2: row[i] = static_cast<Byte>(row[i] + up); break;
        case 3: row[i] = static_cast<Byte>(row[i] + (left + up) / 2); break;
        case 4: row[i] = static_cast<Byte>(row[i] + Paeth(left, up, upLeft)); break;
        default: break;
      }
    }
  }
  for (std::size_t r = 0; r < rows; ++r) std::memmove(data.data() + r * rowBytes, data.data() + r * stride + 1, rowBytes);
  data.resize(rows * rowBytes);
  return 0;
}

// Each component is the difference to the same component of the pixel on its left.
int UndoTiff(std::vector<Byte>& data, std::size_t rowBytes, int colors, int bitsPerComponent) {
  const std::size_t colorCount = static_cast<std::size_t>(colors);
  for (std::size_t start = 0; start < data.size(); start += rowBytes) {
    Byte* row = data.data() + start;
    const std::size_t length = std::min(rowBytes, data.size() - start);
    if (bitsPerComponent == 8) {
      for (std::size_t i = colorCount; i < length; ++i) row[i] = static_cast<Byte>(row[i] + row[i - colorCount]);
      continue;
    }
    for (std::size_t c = colorCount; 2 * c + 1 < length; ++c) {
      const unsigned value = ((row[2 * c] << 8) | row[2 * c + 1]) + ((row[2 * (c - colorCount)] << 8) | row[2 * (c - colorCount) + 1]);
      row[2 * c] = static_cast<Byte>(value >> 8);
      row[2 * c + 1] = static_cast<Byte>(value);
    }
  }
  return 0;
}

}  // namespace

int ReadFilterList(const Byte* value, const Byte* limit, std::vector<StreamFilter>& filters) {
  filters.clear();
  int scratch = 0;
  const Byte* v = value;
  if (SkipWhitespace(v, limit, scratch) < 0) return -1;
  if (TokenAt(v, limit, "null")) return 0;
  StreamFilter filter = StreamFilter::Flate;
  if (*v != '[') {
    if (ReadFilterName(v, limit, filter) != 0) return -1;
    filters.push_back(filter);
    return 0;
  }
  ++v;
  for (;;) {
    if (SkipWhitespace(v, limit, scratch) < 0) return -1;
    if (*v == ']') return 0;
    if (filters.size() == kMaxFilters || ReadFilterName(v, limit, filter) != 0) return -1;
    filters.push_back(filter);
  }
}

int DecodeAsciiHex(const Byte* data, std::size_t length, std::vector<Byte>& out) {
  out.clear();
  out.reserve(length / 2 + 1);
  int high = -1;
  for (std::size_t i = 0; i < length; ++i) {
    const Byte c = data[i];
    if (IsWhitespace(c)) continue;
    if (c == '>') break;
    const int digit = HexDigit(c);
    if (digit < 0) return -1;
    if (high < 0) {
      high = digit;
    } else {
      out.push_back(static_cast<Byte>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) out.push_back(static_cast<Byte>(high * 16));
  return 0;
}

int DecodeAscii85(const Byte* data, std::size_t length, std::vector<Byte>& out) {
  out.clear();
  out.reserve(length / 5 * 4 + 4);
  std::size_t i = 0;
  if (length >= 2 && data[0] == '<' && data[1] == '~') i = 2;
  std::uint64_t group = 0;
  int count = 0;
  auto put = [&](int bytes) {
    for (int b = 0; b < bytes; ++b) out.push_back(static_cast<Byte>(group >> (24 - 8 * b)));
  };
  for (; i < length; ++i) {
    const Byte c = data[i];
    if (IsWhitespace(c)) continue;
    if (c == '~') break;
    if (c == 'z' && count == 0) {
      out.insert(out.end(), 4, 0);
      continue;
    }
    if (c < '!' || c > 'u') return -1;
    group = group * 85 + static_cast<std::uint64_t>(c - '!');
    if (++count == 5) {
      if (group > 0xFFFFFFFFu) return -1;
      put(4);
      group = 0;
      count = 0;
    }
  }
  if (count == 1) return -1;
  if (count > 1) {
    for (int k = count; k < 5; ++k) group = group * 85 + 84;
    if (group > 0xFFFFFFFFu) return -1;
    put(count - 1);
  }
  return 0;
}

int DecodeFilters(const Byte* data, std::size_t length, const std::vector<StreamFilter>& filters,
                  std::vector<Byte>& out, std::size_t& budget, std::size_t lastStageLimit) {
  try {
    std::vector<Byte> stage(data, data + length);
    for (std::size_t i = 0; i < filters.size(); ++i) {
      std::vector<Byte> next;
      const bool last = i + 1 == filters.size();
      const std::size_t limit = last ? std::min(budget, lastStageLimit) : budget;
      const int rc = DecodeOne(filters[i], stage.data(), stage.size(), next, limit);
      const bool cut = rc == -10 && last && limit < budget && filters[i] == StreamFilter::Flate;
      if (rc != 0 && !cut) return rc;
      if (next.size() > budget) return -10;
      budget -= next.size();
      stage = std::move(next);
    }
    out = std::move(stage);
    return 0;
  } catch (const std::bad_alloc&) {
    return -3;
  }
}

int UndoPredictor(std::vector<Byte>& data, const PredictorParms& parms) {
  if (parms.Predictor <= 1) return 0;
  const int bits = parms.BitsPerComponent;
  if (parms.Colors < 1 || parms.Colors > 32 || parms.Columns < 1) return -1;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return -1;
  const std::size_t pixelBits = static_cast<std::size_t>(parms.Colors) * static_cast<std::size_t>(bits);
  // A row longer than the data is as good as one just longer than it, and cannot overflow.
  const std::uint64_t fullRow = (static_cast<std::uint64_t>(parms.Columns) * pixelBits + 7) / 8;
  const std::size_t rowBytes = static_cast<std::size_t>(std::min<std::uint64_t>(fullRow, data.size() + 1));
  if (parms.Predictor == 2) {
    if (bits != 8 && bits != 16) return -1;
    return UndoTiff(data, rowBytes, parms.Colors, bits);
  }
  if (parms.Predictor >= 10 && parms.Predictor <= 15) return UndoPng(data, rowBytes, std::max<std::size_t>(1, pixelBits / 8));
  return -1;
}

namespace {

// The decode parameters as a dictionary, or as an array whose element for the last of
// filterCount filters is one.
int ReadDecodeParms(const Byte* v, const Byte* limit, std::size_t filterCount, PredictorParms& parms) {
  int scratch = 0;
  parms = {};
  if (SkipWhitespace(v, limit, scratch) < 0) return -8;
  if (*v == '[') {
    ++v;
    for (std::size_t k = 0; k + 1 < filterCount; ++k) {
      if (SkipWhitespace(v, limit, scratch) < 0) return -8;
      if (TokenAt(v, limit, "null")) {
        v += 4;
        continue;
      }
      if (!StartsWith(v, limit, "<<")) return -9;
      const Byte* skipped = FindDictEnd(v + 2, limit);
      if (skipped == nullptr) return -87;
      v = skipped + 2;
    }
    if (SkipWhitespace(v, limit, scratch) < 0) return -8;
  }
  if (TokenAt(v, limit, "null")) return 0;
  if (limit - v < 4) return -8;
  if (!StartsWith(v, limit, "<<")) return -9;
  const Byte* start = v + 2;
  const Byte* end = FindDictEnd(start, limit);
  if (end == nullptr) return -87;
  const Byte* columns = FindKey("/Columns", start, end, scratch);
  if (columns == nullptr) return 0;
  columns += 8;
  int value = ReadInteger(columns, end, scratch);
  if (value < 0) return -32;
  parms.Columns = value;
  const std::pair<std::string_view, int*> optional[] = {
      {"/Predictor", &parms.Predictor}, {"/Colors", &parms.Colors}, {"/BitsPerComponent", &parms.BitsPerComponent}};
  for (const auto& [name, field] : optional) {
    const Byte* key = FindKey(name, start, end, scratch);
    if (key == nullptr) continue;
    const Byte* p = key + name.size();
    value = ReadInteger(p, end, scratch);
    if (value >= 0) *field = value;
  }
  return 0;
}

}  // namespace

int ReadStreamForm(const Byte* start, const Byte* end, StreamForm& form) {
  int scratch = 0;
  form = {};
  const Byte* key = FindKey("/Filter", start, end, scratch);
  if (key == nullptr) return 0;
  if (ReadFilterList(key + 7, end, form.Filters) != 0) {
    form.Supported = false;
    return 0;
  }
  if (form.Filters.empty() || form.Filters.back() != StreamFilter::Flate) return 0;
  key = FindKey("/DecodeParms", start, end, scratch);
  if (key == nullptr) return 0;
  return ReadDecodeParms(key + 12, end, form.Filters.size(), form.Parms);
}

}  // namespace folvex
