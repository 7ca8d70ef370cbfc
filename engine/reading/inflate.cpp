#include "engine/reading/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace folvex {

namespace {

// zlib counts in 32-bit units; larger buffers are passed in slices of this size.
constexpr std::size_t kSlice = std::size_t{1} << 30;

// The output side of one decompression: a buffer that may be able to grow.
struct Output {
  Byte* Data = nullptr;
  std::size_t Capacity = 0;
  std::vector<Byte>* Growable = nullptr;  // null: fixed buffer
  std::size_t Limit = 0;

  bool Grow() {
    if (Growable == nullptr || Capacity >= Limit) return false;
    std::size_t next = Capacity < Limit / 2 ? std::min(Limit, std::max<std::size_t>(Capacity * 2, 4096)) : Limit;
    Growable->resize(next);
    Data = Growable->data();
    Capacity = next;
    return true;
  }
};

// One inflate call; returns 0 to go on, 1 when the stream is complete, or an error code.
int Step(z_stream& stream, bool moreInput) {
  int rc = inflate(&stream, Z_SYNC_FLUSH);
  switch (rc) {
    case Z_STREAM_END: return 1;
    case Z_OK: return 0;
    case Z_BUF_ERROR:
      // No progress: the output is full (the caller decides) or the data ended early.
      return (stream.avail_out != 0 && stream.avail_in == 0 && !moreInput) ? -5 : 0;
    case Z_MEM_ERROR: return -3;
    default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
      return -4;
  }
}

int Run(const Byte* source, std::size_t sourceLength, Output& out, std::size_t& produced) {
  produced = 0;
  z_stream stream{};
  int init = inflateInit(&stream);
  if (init != Z_OK) return init == Z_MEM_ERROR ? -2 : -1;
  std::size_t remaining = sourceLength;
  int result = 0;
  for (;;) {
    if (stream.avail_in == 0 && remaining != 0) {
      std::size_t slice = std::min(remaining, kSlice);
      stream.next_in = const_cast<Byte*>(source);
      stream.avail_in = static_cast<uInt>(slice);
      source += slice;
      remaining -= slice;
    }
    if (produced == out.Capacity && !out.Grow()) {
      // Full: the data fits only when the stream ends without producing another byte.
      Byte probe = 0;
      stream.next_out = &probe;
      stream.avail_out = 1;
      int rc = Step(stream, remaining != 0);
      if (stream.avail_out == 0) {
        result = -10;
        break;
      }
      if (rc != 0) {
        result = rc == 1 ? 0 : rc;
        break;
      }
      continue;
    }
    std::size_t window = std::min(out.Capacity - produced, kSlice);
    stream.next_out = out.Data + produced;
    stream.avail_out = static_cast<uInt>(window);
    int rc = Step(stream, remaining != 0);
    produced += window - stream.avail_out;
    if (rc != 0) {
      result = rc == 1 ? 0 : rc;
      break;
    }
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace

int InflateBuffer(const Byte* source, std::size_t sourceLength, Byte* destination, std::size_t& length) {
  Output out{destination, length};
  std::size_t produced = 0;
  int rc = Run(source, sourceLength, out, produced);
  length = rc == 0 ? produced : 0;
  return rc;
}

int InflateToVector(const Byte* source, std::size_t sourceLength, std::vector<Byte>& out, std::size_t limit) {
  try {
    out.assign(std::min(limit, std::max<std::size_t>(4096, sourceLength * 4)), 0);
    Output target{out.data(), out.size(), &out, limit};
    std::size_t produced = 0;
    int rc = Run(source, sourceLength, target, produced);
    // Data that ends early, or that would pass the limit, keeps what it produced; the caller
    // decides whether to use it.
    out.resize(rc == 0 || rc == -5 || rc == -10 ? produced : 0);
    return rc;
  } catch (const std::bad_alloc&) {
    out.clear();
    return -3;
  }
}

}  // namespace folvex
