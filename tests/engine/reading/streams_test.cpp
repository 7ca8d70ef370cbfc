// Stream data: where it lies, as the page copy and the security rewrite find it, and the filters
// cross-reference and object streams are decoded with.
#include "engine/reading/stream_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/reading/stream_extent.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

std::vector<Byte> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ReadFilterList, NamesAbbreviationsArraysAndNull) {
  using F = StreamFilter;
  struct Case {
    const char* Value;
    int Code;
    std::vector<F> Filters;
  };
  const Case cases[] = {
      {"/FlateDecode", 0, {F::Flate}},
      {" /Fl /DecodeParms", 0, {F::Flate}},
      {"[/AHx /A85 /Fl]", 0, {F::AsciiHex, F::Ascii85, F::Flate}},
      {"[ /ASCIIHexDecode/ASCII85Decode/FlateDecode ]", 0, {F::AsciiHex, F::Ascii85, F::Flate}},
      {"null", 0, {}},
      {"[]", 0, {}},
      {"/Flate", -1, {}},
      {"/LZWDecode", -1, {}},
      {"[/Fl /DCT]", -1, {}},
      {"[/Fl /Fl /Fl /Fl /Fl /Fl /Fl /Fl]", 0, std::vector<F>(8, F::Flate)},
      {"[/Fl /Fl /Fl /Fl /Fl /Fl /Fl /Fl /Fl]", -1, {}},
      {"", -1, {}},
  };
  for (const Case& c : cases) {
    const std::vector<Byte> text = Bytes(c.Value);
    std::vector<F> filters{F::AsciiHex};  // replaced, never appended to
    EXPECT_EQ(ReadFilterList(text.data(), text.data() + text.size(), filters), c.Code) << c.Value;
    if (c.Code == 0) {
      EXPECT_EQ(filters, c.Filters) << c.Value;
    }
  }
}

TEST(AsciiDecoders, DecodeUpToTheEndMarkerAndRefuseForeignCharacters) {
  struct Case {
    bool Hex;
    std::string Text;
    int Code;
    std::string Decoded;
  };
  const Case cases[] = {
      {true, "48 65\n6c6C6f>", 0, "Hello"},
      {true, "414>42", 0, "A@"},  // an odd last digit counts as followed by 0; ">" ends the data
      {true, "41G2>", -1, ""},
      {true, "09aF Af>", 0, "\x09\xaf\xaf"},
      {true, "4:>", -1, ""},
      {true, "4g>", -1, ""},
      {false, "87cURD]i,\"Ebo80~>", 0, "Hello World!"},
      {false, "<~87cURD]i,\"Ebo7~>", 0, "Hello World"},  // partial last group
      {false, "z!!~>", 0, std::string(5, '\0')},
      {false, "87cURv~>", -1, ""},  // "v" is beyond the alphabet
      {false, "8~>", -1, ""},       // a single character cannot end a group
      {false, "s8W-\"~>", -1, ""},  // a group above 2^32 - 1
      {false, "s8W-!s8W,u~>", 0, "\xff\xff\xff\xff\xff\xff\xff\xfe"},
      {false, "!< N?+ \x20", 0, "\x01\x02\x03\x04"},
      {false, "!!z!!!~>", -1, ""},  // "z" inside a group
  };
  for (const Case& c : cases) {
    std::vector<Byte> out{'x'};
    const std::vector<Byte> in = Bytes(c.Text);
    const int code = c.Hex ? DecodeAsciiHex(in.data(), in.size(), out) : DecodeAscii85(in.data(), in.size(), out);
    EXPECT_EQ(code, c.Code) << c.Text;
    if (c.Code == 0) {
      EXPECT_EQ(std::string(out.begin(), out.end()), c.Decoded) << c.Text;
    }
  }
}

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
