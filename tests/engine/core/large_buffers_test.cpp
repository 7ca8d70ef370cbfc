#include "engine/core/large_buffers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/core/document.h"

namespace folvex {
namespace {

// An image grown by appends across the size where its blocks leave the heap, then shrunk by
// moving into a smaller one, keeps every byte; each block is returned with the size it was taken
// with (a wrong length would unmap a neighbour or leak the mapping).
TEST(LargeBuffers, ImagesKeepTheirBytesAcrossTheLargeBlockSize) {
  std::vector<Byte> chunk(700'000);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<Byte>(i * 7 + i / 251);
  for (int round = 0; round < 3; ++round) {
    ImageBytes bytes;
    const int chunks = 3 * static_cast<int>(kLargeBlockSize / chunk.size());
    for (int k = 0; k < chunks; ++k) AppendBytes(bytes, chunk.data(), chunk.size());
    ASSERT_EQ(bytes.size(), chunk.size() * static_cast<std::size_t>(chunks));
#if defined(__linux__)
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.data()) % (2u << 20), 0u) << "a large block starts on a large page";
#endif
    for (std::size_t at = 0; at < bytes.size(); at += 4099) {
      ASSERT_EQ(bytes[at], chunk[at % chunk.size()]) << "at " << at;
    }
    const FileImage image = MakeFileImage(std::span<const Byte>(bytes.data(), chunk.size()));
    EXPECT_EQ(image.Size(), chunk.size());
    EXPECT_EQ(*image.End(), 0);
    EXPECT_EQ(image.Begin()[chunk.size() - 1], chunk.back());
  }
}

}  // namespace
}  // namespace folvex
