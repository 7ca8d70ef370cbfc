// Loading whole files of the sizes where storage is advised for large pages: every byte in
// place and the zero byte behind them (the refusals are in scanners_test).
#include <gtest/gtest.h>

#include "engine/reading/file_image.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// Bytes that differ from position to position, so a slice read twice or left out shows.
std::string Patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 4093) % 251 + 1);
  return bytes;
}

TEST(LoadFileImage, HoldsEveryByteFollowedByOneZero) {
  // The smallest file taken, and sizes on either side of the large-page boundaries.
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  for (std::size_t size : {std::size_t{20}, std::size_t{4096}, 2 * kLargePage - 1, 2 * kLargePage,
                           3 * kLargePage + 17}) {
    SCOPED_TRACE(size);
    const std::string bytes = Patterned(size);
    const std::string path = testing::WriteTempFile("image-" + std::to_string(size) + ".bin", bytes);
    FileImage image;
    int error = 99;
    ASSERT_EQ(LoadFileImage(path, image, error), 1);
    EXPECT_EQ(error, 0);
    ASSERT_EQ(image.Size(), size);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Begin()), size), bytes);
    EXPECT_EQ(*image.End(), 0);
  }
}

}  // namespace
}  // namespace folvex
