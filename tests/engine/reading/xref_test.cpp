#include "engine/reading/xref.h"

#include <gtest/gtest.h>

#include "engine/reading/scanners.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

struct Parsed {
  int Result = 0;
  XrefTable Table;
  int Catalog = -1;
  int CatalogGeneration = -1;
  EngineState State;
};

std::unique_ptr<Parsed> Parse(const std::string& bytes) {
  auto parsed = std::make_unique<Parsed>();
  parsed->Result = ParseXrefChain(parsed->State, testing::ImageOf(bytes), parsed->Table, parsed->Catalog,
                                  parsed->CatalogGeneration);
  return parsed;
}

std::string Id(const EngineState& state) {
  return std::string(state.FileId.begin(), state.FileId.begin() + state.FileIdLength);
}

// An incremental update that redefines every object of a large file: each number's newest
// definition wins however many entries there are; of the trailer values, the newest /Root and
// /Encrypt count, and the oldest /Info and /ID.
TEST(ParseXrefChain, NewestDefinitionsWinAcrossIncrementalUpdates) {
  constexpr int kObjects = 400;
  PdfWriter w;
  for (int n = 1; n <= kObjects; ++n) w.Object(n, "(old)");
  w.Finish("/Size 401 /Root 1 0 R /Info 1 0 R /Encrypt 1 0 R /ID [<0 102AB\nCD0> <00>]");
  std::vector<std::size_t> newest(kObjects + 1);
  for (int n = kObjects; n >= 1; --n) {
    newest[n] = w.Offset();
    w.Object(n, "(new)");
  }
  w.Finish("/Size 401 /Root 2 0 R /Info 2 0 R /Encrypt 3 0 R /ID [(a\\(b\\)\\101) (x)]");
  auto p = Parse(w.Bytes());
  ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
  ASSERT_EQ(p->Table.size(), static_cast<std::size_t>(kObjects + 1));
  int stale = 0;
  for (int n = 1; n <= kObjects; ++n) {
    EXPECT_EQ(p->Table[n].Number, n);
    stale += p->Table[n].Offset != static_cast<int>(newest[n]);
  }
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(p->Table[0].Type, 'f');
  EXPECT_EQ(p->Catalog, 2);
  EXPECT_EQ(p->State.InfoNumber, 1);
  ASSERT_TRUE(p->State.EncryptRef.has_value());
  EXPECT_EQ(*p->State.EncryptRef, w.Bytes().rfind("/Encrypt"));
  // Hexadecimal 01 02 AB CD 00: whitespace (even inside a byte) skipped, the odd digit padded.
  EXPECT_EQ(Id(p->State), std::string("\x01\x02\xAB\xCD\x00", 5));
  EXPECT_EQ(p->State.NeedsConversion, 0);
}

// The trailer values of one parse do not leak into the next, except the information dictionary.
TEST(ParseXrefChain, EachParseResetsConversionProtectionIdentifierAndCatalog) {
  PdfWriter hybrid;
  hybrid.Object(1, "<< /Type /Catalog >>");
  hybrid.Finish("/Root 1 0 R /Info 1 0 R /Encrypt 1 0 R /XRefStm 99 /ID [(a\\(b\\)\\1012) (x)]");
  PdfWriter plain;
  plain.Object(2, "<< /Type /Catalog >>");
  plain.Finish("/Root 2 0 R");
  PdfWriter longId;
  longId.Object(1, "<< /Type /Catalog >>");
  longId.Finish("/Root 1 0 R /ID [(" + std::string(120, 'z') + ") (x)]");
  EngineState state;
  XrefTable table;
  int catalog = 7, generation = 7;
  ASSERT_EQ(ParseXrefChain(state, testing::ImageOf(hybrid.Bytes()), table, catalog, generation), 1);
  EXPECT_TRUE(state.EncryptRef.has_value());
  EXPECT_EQ(state.NeedsConversion, 1);
  EXPECT_EQ(catalog, 1);
  EXPECT_EQ(Id(state), "a(b)A2");  // octal codes of at most three digits
  ASSERT_EQ(ParseXrefChain(state, testing::ImageOf(plain.Bytes()), table, catalog, generation), 1);
  EXPECT_FALSE(state.EncryptRef.has_value());
  EXPECT_EQ(state.NeedsConversion, 0);
  EXPECT_EQ(catalog, 2);
  EXPECT_EQ(state.InfoNumber, 1);
  EXPECT_EQ(state.FileIdLength, 0) << "a file without /ID has no identifier";
  ASSERT_EQ(ParseXrefChain(state, testing::ImageOf(longId.Bytes()), table, catalog, generation), 1);
  EXPECT_EQ(Id(state), std::string(100, 'z'));
}

// Tables as writers lay them out and as damage leaves them: the numbers listed and the offset of
// the last one.
TEST(ParseXrefChain, SectionLayoutsAndChains) {
  const std::string head = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";  // the object at 9
  const std::string xref = std::to_string(head.size());
  const auto file = [&](const std::string& sections) { return head + sections; };
  const std::string end = "\nstartxref\n" + xref + "\n%%EOF\n";
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Finish("/Size 2 /Root 1 0 R");
  const std::string older = w.Bytes(), olderXref = std::to_string(w.LastXrefOffset());
  struct Case {
    const char* Name;
    std::string Text;
    std::vector<int> Numbers;
    int LastOffset;
  };
  const Case cases[] = {
      {"two subsections, lines ending in CR LF",
       file("xref\n0 2\n0000000000 65535 f\r\n0000000009 00000 n\r\n7 2\n0000000100 00000 n\r\n0000000200 00001 n\r\n"
            "trailer\n<< /Root 1 0 R >>\n" + end),
       {0, 1, 7, 8}, 200},
      {"lines ending in a space and CR", file("xref\n0 2\n0000000000 65535 f \r0000000009 00000 n \rtrailer<</Root 1 0 R>>" + end),
       {0, 1}, 9},
      {"fields apart by any whitespace and comments",
       file("xref\r\n0 2 % two entries\n 0   65535 f\n9 0\tn\ntrailer<</Root 1 0 R/Size 2>>\r\n" + end), {0, 1}, 9},
      {"the earlier subsection wins within a section",
       file("xref\n1 1\n0000000009 00000 n \n1 1\n0000000099 00000 n \ntrailer\n<< /Root 1 0 R >>\n" + end), {1}, 9},
      {"a /Prev back to the same section",
       file("xref\n1 1\n0000000009 00000 n \ntrailer\n<< /Root 1 0 R /Prev " + xref + " >>\n" + end), {1}, 9},
      {"startxref at a trailer without entries",
       older + "trailer\n<< /Size 2 /Info 1 0 R /Prev " + olderXref + " >>\nstartxref\n" + std::to_string(older.size()) +
           "\n%%EOF\n",
       {0, 1}, 15},
      {"junk and %%EOF lookalikes behind the last %%EOF", older + "garbage\x01\x02 7%%EOF\n% note %%EOF\n", {0, 1}, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto p = Parse(c.Text);
    ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
    std::vector<int> numbers;
    for (const XrefEntry& e : p->Table) numbers.push_back(e.Number);
    EXPECT_EQ(numbers, c.Numbers);
    EXPECT_EQ(p->Table.back().Offset, c.LastOffset);
    EXPECT_EQ(p->Catalog, 1);
  }
}

TEST(ParseXrefChain, FailureCodesAndCrossReferenceStreams) {
  const std::string free0 = "xref\n0 1\n0000000000 65535 f \n";
  std::string older = "xref\n0 1\n0000000000 65535 x \ntrailer\n<< >>\n";
  older += free0 + "trailer\n<< /Prev 0 >>\nstartxref\n" + std::to_string(older.size()) + "\n%%EOF\n";
  const std::string streams = "1 0 obj\n<< /Type /XRef /W [1 2 1] /Size 2 /Length 0 >>\nstream\n\nendstream\nendobj\n";
  struct Case {
    std::string Text;  // behind "%PDF-1.4\n"; a section or object at offset 9
    int Code;
    int NeedsConversion;
  };
  const Case cases[] = {
      {"nothing else here at all\n", -15, 0},
      {"nothing else here\n%%EOF\n", -16, 0},
      {"startxref\nx\n%%EOF\n", -17, 0},
      {"startxref\n999999\n%%EOF\n", -18, 0},
      {"1 0 obj\n<< >>\nendobj\nstartxref\n9\n%%EOF\n", -18, 0},
      {streams + "startxref\n9\n%%EOF\n", -18, 1},
      {free0 + "startxref\n9\n%%EOF\n", -81, 0},
      {"xref\n0 1\n0000000000 65535 x \ntrailer\n<< >>\nstartxref\n9\n%%EOF\n", -27, 0},
      {free0 + "trailer\n<< /Prev x >>\nstartxref\n9\n%%EOF\n", -89, 0},
      {free0 + "trailer\n<< /Root 1 0 R\nstartxref\n9\n%%EOF\n", -87, 0},
      {"xref\n0 x\n0000000000 65535 f \ntrailer\n<< >>\nstartxref\n9\n%%EOF\n", -19, 0},
      {free0 + "5 x\ntrailer\n<< >>\nstartxref\n9\n%%EOF\n", -29, 0},
      {free0 + "5 1\n00000000x0 00000 n \ntrailer\n<< >>\nstartxref\n9\n%%EOF\n", -38, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    auto p = Parse("%PDF-1.4\n" + c.Text);
    EXPECT_EQ(p->Result, 0);
    EXPECT_EQ(p->State.LastErrorCode, c.Code);
    EXPECT_EQ(p->State.NeedsConversion, c.NeedsConversion);
  }
  // An older section has the later codes; /Prev 0 is an offset like any other.
  EXPECT_EQ(Parse(older)->State.LastErrorCode, -43);
  // A hybrid file parses, and asks for its streams to be converted.
  PdfWriter hybrid;
  hybrid.Object(1, "<< /Type /Catalog >>");
  hybrid.Finish("/Root 1 0 R /XRefStm 1234");
  auto h = Parse(hybrid.Bytes());
  EXPECT_EQ(h->Result, 1);
  EXPECT_EQ(h->State.NeedsConversion, 1);
}

}  // namespace
}  // namespace folvex
