#include "engine/reading/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
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

TEST(InflateBuffer, DecodesIntoABufferOfExactlyTheRightSize) {
  const std::vector<Byte> data = SampleData(50000);
  const std::vector<Byte> packed = Deflate(data);
  std::vector<Byte> out(data.size());
  std::size_t length = out.size();
  ASSERT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), length), 0);
  EXPECT_EQ(length, data.size());
  EXPECT_EQ(out, data);

  std::vector<Byte> roomy(data.size() + 1000);
  length = roomy.size();
  ASSERT_EQ(InflateBuffer(packed.data(), packed.size(), roomy.data(), length), 0);
  EXPECT_EQ(length, data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), roomy.begin()));
}

TEST(InflateBuffer, ReportsADestinationOneByteTooSmall) {
  const std::vector<Byte> data = SampleData(9000);
  const std::vector<Byte> packed = Deflate(data);
  std::vector<Byte> out(data.size() - 1);
  std::size_t length = out.size();
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), length), -10);
}

TEST(InflateBuffer, EmptyDataNeedsNoRoom) {
  const std::vector<Byte> packed = Deflate({});
  std::size_t length = 0;
  Byte unused = 0;
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), &unused, length), 0);
  EXPECT_EQ(length, 0u);
}

TEST(InflateBuffer, CorruptAndTruncatedDataFail) {
  const std::vector<Byte> data = SampleData(20000);
  std::vector<Byte> packed = Deflate(data);
  std::vector<Byte> out(data.size());

  std::vector<Byte> truncated(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
  std::size_t length = out.size();
  EXPECT_EQ(InflateBuffer(truncated.data(), truncated.size(), out.data(), length), -5);

  std::vector<Byte> badHeader = packed;
  badHeader[0] = 0x00;
  length = out.size();
  EXPECT_EQ(InflateBuffer(badHeader.data(), badHeader.size(), out.data(), length), -4);

  std::vector<Byte> badChecksum = packed;
  badChecksum.back() ^= 0xFF;
  length = out.size();
  EXPECT_EQ(InflateBuffer(badChecksum.data(), badChecksum.size(), out.data(), length), -4);

  length = out.size();
  EXPECT_EQ(InflateBuffer(packed.data(), 0, out.data(), length), -5);
}

TEST(InflateBuffer, IgnoresBytesBehindTheEndOfTheData) {
  const std::vector<Byte> data = SampleData(3000);
  std::vector<Byte> packed = Deflate(data);
  packed.insert(packed.end(), {'\r', '\n', 'x', 'y'});
  std::vector<Byte> out(data.size());
  std::size_t length = out.size();
  ASSERT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), length), 0);
  EXPECT_EQ(out, data);
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

  EXPECT_EQ(InflateToVector(packed.data(), packed.size(), out, data.size() - 1), -10);
  EXPECT_TRUE(out.empty());

  std::vector<Byte> truncated(packed.begin(), packed.end() - 6);
  EXPECT_EQ(InflateToVector(truncated.data(), truncated.size(), out, data.size()), -5);
}

}  // namespace
}  // namespace folvex
