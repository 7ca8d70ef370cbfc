#include "engine/reading/object_stream_members.h"

#include <algorithm>
#include <string_view>

#include "engine/reading/scanners.h"
#include "engine/reading/stream_filters.h"

namespace folvex {

namespace {

// The data of the stream whose dictionary ends at dictEnd (the closing ">>"): /Length bytes when
// they are followed by "endstream", else up to the end of line in front of "endstream".
std::span<const Byte> StreamDataBehind(const Byte* dictStart, const Byte* dictEnd, const Byte* end) {
  int scratch = 0;
  const Byte* p = dictEnd + 2;
  if (SkipWhitespace(p, end, scratch) < 0 || !StartsWith(p, end, "stream")) return {};
  p += 6;
  if (p < end && *p == '\r') ++p;
  if (p < end && *p == '\n') ++p;
  if (const Byte* key = FindKey("/Length", dictStart, dictEnd, scratch)) {
    const Byte* v = key + 7;
    const Byte* probe = v;
    int number = 0, generation = 0;
    const std::int64_t length = ReadReference(probe, dictEnd, number, generation, scratch) ? -1 : ReadOffset(v, dictEnd, scratch);
    if (length >= 0 && length <= end - p) {
      const Byte* q = p + length;
      while (q < end && IsWhitespace(*q)) ++q;
      if (StartsWith(q, end, "endstream")) return {p, static_cast<std::size_t>(length)};
    }
  }
  static constexpr std::string_view kEndstream = "endstream";
  const Byte* keyword = std::search(p, end, kEndstream.begin(), kEndstream.end());
  if (keyword == end) return {};
  const Byte* dataEnd = keyword;
  if (dataEnd > p && dataEnd[-1] == '\n') --dataEnd;
  if (dataEnd > p && dataEnd[-1] == '\r') --dataEnd;
  return {p, static_cast<std::size_t>(dataEnd - p)};
}

int ReadDirectInteger(const Byte* start, const Byte* end, std::string_view key, std::int64_t& value) {
  int scratch = 0;
  const Byte* p = FindKey(key, start, end, scratch);
  if (p == nullptr) return -33;
  p += key.size();
  const int read = ReadInteger(p, end, scratch);
  if (read < 0) return -32;
  value = read;
  return 0;
}

}  // namespace

int ReadObjectStreamPairs(std::span<const Byte> data, std::int64_t first, std::int64_t count,
                          std::vector<ObjectStreamPair>& pairs) {
  pairs.clear();
  pairs.reserve(static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(data.size() / 4 + 1))));
  const Byte* cursor = data.data();
  const Byte* dataEnd = data.data() + data.size();
  int scratch = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const int number = ReadInteger(cursor, dataEnd, scratch);
    if (number < 0) return -53;
    const int offset = ReadInteger(cursor, dataEnd, scratch);
    if (offset < 0) return -54;
    if (first + offset > static_cast<std::int64_t>(data.size())) return -54;
    if (!pairs.empty() && offset < pairs.back().Offset) return -54;
    pairs.push_back({number, offset});
  }
  return 0;
}

int ReadObjectStreamMembers(const Byte* dictionary, const Byte* end, std::size_t limit, std::vector<Byte>& decoded,
                            std::vector<ObjectStreamMember>& members) {
  members.clear();
  const Byte* start = dictionary + 2;
  const Byte* dictEnd = FindDictEnd(start, end);
  if (dictEnd == nullptr) return -87;
  std::int64_t first = 0, count = 0;
  if (int rc = ReadDirectInteger(start, dictEnd, "/First", first)) return rc;
  if (int rc = ReadDirectInteger(start, dictEnd, "/N", count)) return rc;
  StreamForm form;
  if (int rc = ReadStreamForm(start, dictEnd, form)) return rc;
  if (!form.Supported || !AcceptedPredictor(form.Parms.Predictor)) return -36;
  const std::span<const Byte> stream = StreamDataBehind(start, dictEnd, end);
  if (stream.data() == nullptr) return -36;
  std::span<const Byte> data = stream;
  if (!form.Filters.empty()) {
    std::size_t budget = limit;
    if (DecodeFilters(stream.data(), stream.size(), form.Filters, decoded, budget) != 0) return -36;
    if (UndoPredictor(decoded, form.Parms) != 0) return -36;
    data = decoded;
  } else {
    decoded.assign(stream.begin(), stream.end());
    data = decoded;
  }
  std::vector<ObjectStreamPair> pairs;
  if (int rc = ReadObjectStreamPairs(data, first, count, pairs)) return rc;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    const std::size_t from = static_cast<std::size_t>(first + pairs[i].Offset);
    const std::size_t to = i + 1 < pairs.size() ? static_cast<std::size_t>(first + pairs[i + 1].Offset) : data.size();
    members.push_back({pairs[i].Number, data.subspan(from, to - from)});
  }
  return 0;
}

}  // namespace folvex
