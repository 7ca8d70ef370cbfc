#include "engine/reading/stream_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/stream_encoders.h"

namespace folvex {
namespace {

std::vector<Byte> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

using testing::Ascii85;
using testing::Deflate;

std::string Hex(const std::string& data) { return testing::AsciiHex(data); }

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

TEST(DecodeFilters, ChainsStagesKeepsTruncatedFlateAndCountsTheBudget) {
  using F = StreamFilter;
  std::string data;
  for (int i = 0; i < 2000; ++i) data += std::to_string(i * 7919 % 10007) + " ";
  const std::string packed = Deflate(data);
  const std::string truncated = packed.substr(0, packed.size() / 2);
  std::string corrupt = packed;
  corrupt[corrupt.size() - 1] ^= 0x40;
  struct Case {
    const char* Name;
    std::string Input;
    std::vector<F> Filters;
    std::size_t Budget;
    int Code;
    const std::string* Output;   // the whole output, or (truncated) a true beginning of it
    std::size_t Intermediate;    // bytes the first of two stages takes from the budget
  };
  const std::size_t large = 1 << 20;
  const Case cases[] = {
      {"no filter", packed, {}, large, 0, &packed, 0},
      {"flate", packed, {F::Flate}, large, 0, &data, 0},
      {"hex", Hex(packed), {F::AsciiHex}, large, 0, &packed, 0},
      {"hex then flate", Hex(packed), {F::AsciiHex, F::Flate}, large, 0, &data, packed.size()},
      {"ascii85 then flate", Ascii85(packed), {F::Ascii85, F::Flate}, large, 0, &data, packed.size()},
      {"flate twice", Deflate(packed), {F::Flate, F::Flate}, large, 0, &data, packed.size()},
      {"truncated flate", truncated, {F::Flate}, large, 0, &data, 0},
      {"corrupt flate", corrupt, {F::Flate}, large, -4, nullptr, 0},
      {"bad hex", "4x" + Hex(packed), {F::AsciiHex, F::Flate}, large, -4, nullptr, 0},
      {"bad ascii85", "v" + Ascii85(packed), {F::Ascii85, F::Flate}, large, -4, nullptr, 0},
      {"beyond the budget", packed, {F::Flate}, data.size() - 1, -10, nullptr, 0},
      {"exactly the budget", packed, {F::Flate}, data.size(), 0, &data, 0},
      {"hex beyond the budget", Hex(packed), {F::AsciiHex}, packed.size() - 1, -10, nullptr, 0},
      {"hex exactly the budget", Hex(packed), {F::AsciiHex}, packed.size(), 0, &packed, 0},
      {"two stages beyond the budget", Hex(packed), {F::AsciiHex, F::Flate}, data.size() + packed.size() - 1, -10,
       nullptr, 0},
  };
  for (const Case& c : cases) {
    std::vector<Byte> out;
    std::size_t budget = c.Budget;
    EXPECT_EQ(DecodeFilters(reinterpret_cast<const Byte*>(c.Input.data()), c.Input.size(), c.Filters, out, budget),
              c.Code)
        << c.Name;
    if (c.Code != 0) continue;
    const std::string decoded(out.begin(), out.end());
    if (c.Input == truncated) {
      ASSERT_GT(decoded.size(), 0u) << c.Name;
      EXPECT_LT(decoded.size(), data.size()) << c.Name;
      EXPECT_EQ(decoded, data.substr(0, decoded.size())) << c.Name;
    } else {
      EXPECT_EQ(decoded, *c.Output) << c.Name;
    }
    const std::size_t spent = c.Filters.empty() ? 0 : decoded.size() + c.Intermediate;
    EXPECT_EQ(budget, c.Budget - spent) << c.Name;
  }
}

TEST(UndoPredictor, TiffAndPngRows) {
  struct Case {
    const char* Name;
    PredictorParms Parms;
    std::vector<Byte> Input;
    int Code;
    std::vector<Byte> Output;
  };
  const Case cases[] = {
      {"none", {1, 1, 8, 3}, {1, 2, 3}, 0, {1, 2, 3}},
      {"tiff, one colour", {2, 1, 8, 3}, {10, 1, 1, 20, 255, 2}, 0, {10, 11, 12, 20, 19, 21}},
      {"tiff, three colours", {2, 3, 8, 2}, {1, 2, 3, 1, 1, 1}, 0, {1, 2, 3, 2, 3, 4}},
      {"tiff, short last row", {2, 1, 8, 4}, {1, 1, 1, 1, 5, 5}, 0, {1, 2, 3, 4, 5, 10}},
      {"tiff, 16 bits", {2, 1, 16, 2}, {0x01, 0xFF, 0x00, 0x02}, 0, {0x01, 0xFF, 0x02, 0x01}},
      {"tiff, 4 bits", {2, 1, 4, 2}, {0x12}, -1, {}},
      {"png sub, two colours", {11, 2, 8, 2}, {1, 5, 6, 1, 1}, 0, {5, 6, 6, 7}},
      {"png up, short last row dropped", {12, 1, 8, 2}, {2, 1, 2, 2, 1, 1, 2, 9}, 0, {1, 2, 2, 3}},
      {"png average", {13, 1, 8, 2}, {3, 4, 5}, 0, {4, 7}},
      {"png paeth", {14, 1, 8, 2}, {0, 3, 4, 4, 1, 1}, 0, {3, 4, 4, 5}},
      {"png tag 5", {12, 1, 8, 2}, {5, 1, 2}, -1, {}},
      {"predictor 3", {3, 1, 8, 2}, {1, 2}, -1, {}},
      {"predictor 16", {16, 1, 8, 2}, {1, 2}, -1, {}},
      {"png, 32 colours", {10, 32, 8, 1}, std::vector<Byte>(33, 1), 0, std::vector<Byte>(32, 1)},
      {"33 colours", {10, 33, 8, 1}, std::vector<Byte>(34, 1), -1, {}},
      {"no colours", {2, 0, 8, 2}, {1, 2}, -1, {}},
      {"no columns", {12, 1, 8, 0}, {1, 2}, -1, {}},
      {"3 bits", {12, 1, 3, 8}, {1, 2}, -1, {}},
  };
  for (const Case& c : cases) {
    std::vector<Byte> data = c.Input;
    EXPECT_EQ(UndoPredictor(data, c.Parms), c.Code) << c.Name;
    if (c.Code == 0) {
      EXPECT_EQ(data, c.Output) << c.Name;
    }
  }
}

}  // namespace
}  // namespace folvex
