// Where a stream's data lies, as the page copy and the security rewrite find it.
#include "engine/reading/stream_extent.h"

#include <gtest/gtest.h>

#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

TEST(FindStreamExtent, DataByTrustedLengthOrUpToEndstream) {
  struct Case {
    const char* Object;  // "<< ... >>" and the stream, behind object 9, which holds an indirect length
    const char* Data;    // the data found, or null when no extent is found
    long long Declared;
  };
  const Case cases[] = {
      {"<< /Length 5 >>\nstream\nab\ncd\nendstream", "ab\ncd", 5},
      {"<< /Length 5 >>\nstream\r\nab\rcd\r\nendstream", "ab\rcd", 5},  // CR LF behind "stream"
      {"<< /Length 5 >>\nstream \nabc\n\nendstream", "abc\n\n", 5},      // the last data byte is a line feed
      {"<< /Length 13 >>\nstream\nq endstream Q\nendstream", "q endstream Q", 13},
      {"<< /Length 9 0 R >>\nstream\nabcd\nendstream", "abcd", 4},
      // A length that does not lead to "endstream": the data ends at the line end before the first one.
      {"<< /Length 4 >>\nstream\nab\ncd\nendstream", "ab\ncd", 4},
      {"<< /Length 99 >>\nstream\r\nabc\r\nendstream", "abc", 99},
      {"<< /Length -4 >>\nstream\nabcd\nendstream", "abcd", -1},
      {"<< >>\nstream\nabc\nendstream", "abc", -1},
      {"<< /Length 4 >>\nstreamabcd\nendstream", nullptr, 4},  // no line end behind the keyword
      {"<< /Length 9 >>\nstream\nabcd\n", nullptr, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Object);
    testing::PdfWriter w;
    w.Object(9, "4");
    const std::size_t at = w.Offset();
    w.Raw(c.Object);
    const std::string text = w.Bytes();
    const FileImage image = testing::ImageOf(text);
    const XrefTable table = {{9, static_cast<int>(text.find("9 0 obj")), 0, 'n'}};
    StreamExtent extent;
    const bool found = FindStreamExtent(image.Begin() + at, image.Begin() + text.find(">>", at),
                                        image.Begin() + text.find("stream", at), image.End(), &image, &table, extent);
    ASSERT_EQ(found, c.Data != nullptr);
    if (!found) continue;
    EXPECT_EQ(std::string(extent.Data, extent.DataEnd), c.Data);
    EXPECT_EQ(extent.Declared, c.Declared);
    EXPECT_EQ(extent.LengthIsTrue(), c.Declared == static_cast<long long>(std::string(c.Data).size()));
    EXPECT_EQ(std::string(extent.After - 9, extent.After), "endstream");
  }
}

}  // namespace
}  // namespace folvex
