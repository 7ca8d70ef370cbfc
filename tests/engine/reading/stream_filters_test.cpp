#include "engine/reading/stream_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
      {"/AHx", 0, {F::AsciiHex}},
      {"/ASCIIHexDecode", 0, {F::AsciiHex}},
      {"/A85", 0, {F::Ascii85}},
      {"/ASCII85Decode", 0, {F::Ascii85}},
      {"[/AHx /Fl]", 0, {F::AsciiHex, F::Flate}},
      {"[ /A85/FlateDecode ]", 0, {F::Ascii85, F::Flate}},
      {"null", 0, {}},
      {"[]", 0, {}},
      {"/Flate", -1, {}},
      {"/LZWDecode", -1, {}},
      {"/FlateDecodeX", -1, {}},
      {"[/Fl /DCT]", -1, {}},
      {"[/Fl", -1, {}},
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
      {true, "4142", 0, "AB"},    // no end marker: the data's end
      {true, "41G2>", -1, ""},
      {true, "09aF Af>", 0, "\x09\xaf\xaf"},
      {true, "4/>", -1, ""},
      {true, "4:>", -1, ""},
      {true, "4g>", -1, ""},
      {false, "87cURD]i,\"Ebo80~>", 0, "Hello World!"},
      {false, "<~87cURD]i,\"Ebo7~>", 0, "Hello World"},  // partial last group
      {false, "z!!~>", 0, std::string(5, '\0')},
      {false, "87cU RD]\ni,\"Ebo80", 0, "Hello World!"},
      {false, "87cURv~>", -1, ""},  // "v" is beyond the alphabet
      {false, "8~>", -1, ""},       // a single character cannot end a group
      {false, "s8W-\"~>", -1, ""},  // a group above 2^32 - 1
      {false, "s8W-!s8W,u~>", 0, "\xff\xff\xff\xff\xff\xff\xff\xfe"},
      {false, "!<N?+", 0, "\x01\x02\x03\x04"},
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

}  // namespace
}  // namespace folvex
