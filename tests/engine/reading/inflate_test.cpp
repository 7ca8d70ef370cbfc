#include "engine/reading/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

namespace folvex {
namespace {

std::vector<Byte> SampleData(std::size_t size) {
  std::vector<Byte> data(size);
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245 + 12345;
    // Half text-like, half noise, so the data neither vanishes nor refuses to compress.
    data[i] = (i / 64) % 2 == 0 ? static_cast<Byte>('a' + i % 7) : static_cast<Byte>(seed >> 24);
  }
  return data;
}

std::vector<Byte> Deflate(const std::vector<Byte>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<Byte> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

// Runs InflateBuffer into a buffer of exactly capacity bytes; out keeps the produced bytes.
int Inflate(const std::vector<Byte>& packed, std::size_t packedLength, std::size_t capacity, std::vector<Byte>& out) {
  out.assign(capacity, 0);
  Byte unused = 0;
  std::size_t length = capacity;
  const int code = InflateBuffer(packed.data(), packedLength, capacity ? out.data() : &unused, length);
  out.resize(code == 0 ? length : 0);
  return code;
}

TEST(InflateBuffer, DecodesIntoExactOrRoomyBuffersAndIgnoresTrailingBytes) {
  const std::vector<Byte> data = SampleData(50000);
  std::vector<Byte> packed = Deflate(data);
  std::vector<Byte> out;
  for (std::size_t capacity : {data.size(), data.size() + 1000}) {
    ASSERT_EQ(Inflate(packed, packed.size(), capacity, out), 0) << capacity;
    EXPECT_EQ(out, data) << capacity;
  }
  packed.insert(packed.end(), {'\r', '\n', 'x', 'y'});
  ASSERT_EQ(Inflate(packed, packed.size(), data.size(), out), 0);
  EXPECT_EQ(out, data);

  const std::vector<Byte> empty = Deflate({});
  EXPECT_EQ(Inflate(empty, empty.size(), 0, out), 0);
  EXPECT_TRUE(out.empty());
}

TEST(InflateBuffer, ReportsAShortDestinationAndDamagedData) {
  const std::vector<Byte> data = SampleData(20000);
  const std::vector<Byte> packed = Deflate(data);
  std::vector<Byte> badHeader = packed, badChecksum = packed, out;
  badHeader[0] = 0x00;
  badChecksum.back() ^= 0xFF;
  EXPECT_EQ(Inflate(packed, packed.size(), data.size() - 1, out), -10);  // one byte too small
  EXPECT_EQ(Inflate(packed, packed.size() / 2, data.size(), out), -5);
  EXPECT_EQ(Inflate(packed, 0, data.size(), out), -5);
  EXPECT_EQ(Inflate(badHeader, badHeader.size(), data.size(), out), -4);
  EXPECT_EQ(Inflate(badChecksum, badChecksum.size(), data.size(), out), -4);
}

TEST(InflateToVector, GrowsInOnePassAndStopsAtTheLimit) {
  // Highly compressible: the output grows far beyond any first guess from the input size.
  std::vector<Byte> data(3 * 1024 * 1024, 'z');
  data[12345] = 'q';
  const std::vector<Byte> packed = Deflate(data);
  ASSERT_LT(packed.size(), 10000u);

  std::vector<Byte> out;
  ASSERT_EQ(InflateToVector(packed.data(), packed.size(), out, data.size()), 0);
  EXPECT_EQ(out, data);

  // Stopped at the limit, with what fits kept.
  EXPECT_EQ(InflateToVector(packed.data(), packed.size(), out, data.size() - 1), -10);
  EXPECT_EQ(out.size(), data.size() - 1);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));

  // Data that ends early keeps what it inflated: a true beginning of the data.
  std::vector<Byte> truncated(packed.begin(), packed.end() - 6);
  EXPECT_EQ(InflateToVector(truncated.data(), truncated.size(), out, data.size()), -5);
  ASSERT_GT(out.size(), data.size() / 2);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

}  // namespace
}  // namespace folvex
