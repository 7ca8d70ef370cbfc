#include "engine/reading/xref.h"

#include <gtest/gtest.h>

#include "engine/reading/scanners.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::ImageOf;
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
  FileImage image = ImageOf(bytes);
  parsed->Result = ParseXrefChain(parsed->State, image, parsed->Table, parsed->Catalog, parsed->CatalogGeneration);
  return parsed;
}

int OffsetOf(const XrefTable& table, int number) {
  int error = 0;
  return LookupObjectOffset(table, number, error);
}

TEST(ParseXrefChain, NewestDefinitionWinsAcrossIncrementalUpdates) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(5, "(old)");
  w.Finish("/Size 6 /Root 1 0 R /Info 5 0 R");
  std::size_t newer = w.Offset();
  w.Object(5, "(new)");
  w.Finish("/Size 6 /Root 1 0 R");
  auto p = Parse(w.Bytes());
  ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
  EXPECT_EQ(OffsetOf(p->Table, 5), static_cast<int>(newer));
  EXPECT_EQ(p->Catalog, 1);
  EXPECT_EQ(p->State.InfoNumber, 5);
  // One line per number, ascending.
  ASSERT_EQ(p->Table.size(), 3u);
  EXPECT_EQ(p->Table[0].Number, 0);
  EXPECT_EQ(p->Table[0].Type, 'f');
  EXPECT_EQ(p->Table[1].Number, 1);
  EXPECT_EQ(p->Table[2].Number, 5);
}

TEST(ParseXrefChain, SubsectionsAndLooseEntryLayouts) {
  std::string body = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
  for (const char* layout : {"\r\n", " \n", " \r"}) {
    std::string text = body;
    std::size_t xref = text.size();
    text += "xref\n0 3\n";
    for (int i = 0; i < 3; ++i) text += "0000000009 00000 n" + std::string(layout);
    text += "7 2\n0000000100 00000 n" + std::string(layout) + "0000000200 00001 n" + std::string(layout);
    text += "trailer\n<< /Size 9 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    auto p = Parse(text);
    ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
    std::vector<int> numbers;
    for (const XrefEntry& e : p->Table) numbers.push_back(e.Number);
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 7, 8}));
    EXPECT_EQ(p->Table[4].Offset, 200);
    EXPECT_EQ(p->Table[4].Generation, 1);
  }
  // Fields separated by arbitrary whitespace and comments, no fixed layout.
  std::string text = body;
  std::size_t xref = text.size();
  text += "xref\r\n0 2 % two entries\n 0   65535 f\n9 0\tn\ntrailer<</Root 1 0 R/Size 2>>\r\nstartxref\r\n" +
          std::to_string(xref) + "\r\n%%EOF";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
  EXPECT_EQ(OffsetOf(p->Table, 1), 9);
}

TEST(ParseXrefChain, EarlierSubsectionWinsWithinOneSection) {
  std::string text = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n";
  std::size_t xref = text.size();
  text += "xref\n1 1\n0000000009 00000 n \n1 1\n0000000099 00000 n \ntrailer\n<< /Root 1 0 R >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1);
  EXPECT_EQ(OffsetOf(p->Table, 1), 9);
}

TEST(ParseXrefChain, TrailerValuesAlongTheChain) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Object(2, "<< /Type /Catalog >>");
  w.Finish("/Size 3 /Root 1 0 R /Info 1 0 R /Encrypt 1 0 R /ID [<0 102AB\nCD0> <00>]");
  w.Object(3, "<< >>");
  w.Finish("/Size 4 /Root 2 0 R /Info 2 0 R /Encrypt 3 0 R /ID [(a\\(b\\)\\101) (x)]");
  auto p = Parse(w.Bytes());
  ASSERT_EQ(p->Result, 1);
  EXPECT_EQ(p->Catalog, 2) << "the newest /Root is used";
  EXPECT_EQ(p->State.InfoNumber, 1) << "the oldest /Info is used";
  EXPECT_TRUE(p->State.EncryptRef.has_value());
  EXPECT_EQ(*p->State.EncryptRef, w.Bytes().rfind("/Encrypt")) << "the newest /Encrypt is used";
  // The oldest /ID overwrites: hexadecimal 01 02 AB CD 00, whitespace (even inside a byte) skipped, the odd
  // digit padded.
  ASSERT_EQ(p->State.FileIdLength, 5);
  EXPECT_EQ(p->State.FileId[2], 0xAB);
  EXPECT_EQ(p->State.FileId[4], 0x00);
  EXPECT_EQ(p->State.NeedsConversion, 0);

  // Literal identifiers: escapes, octal codes of at most three digits, at most 100 bytes kept.
  for (auto [id, expected] : {std::pair{std::string("(a\\(b\\)\\1012)"), std::string("a(b)A2")},
                              std::pair{"(" + std::string(120, 'z') + ")", std::string(100, 'z')}}) {
    PdfWriter literal;
    literal.Object(1, "<< /Type /Catalog >>");
    literal.Finish("/Root 1 0 R /ID [" + id + " (x)]");
    auto q = Parse(literal.Bytes());
    ASSERT_EQ(q->Result, 1);
    EXPECT_EQ(std::string(q->State.FileId.begin(), q->State.FileId.begin() + q->State.FileIdLength), expected);
    EXPECT_FALSE(q->State.EncryptRef.has_value());
  }
}

// The trailer values of one parse do not leak into the next, except the information dictionary.
TEST(ParseXrefChain, EachParseResetsConversionProtectionAndCatalog) {
  PdfWriter hybrid;
  hybrid.Object(1, "<< /Type /Catalog >>");
  hybrid.Finish("/Root 1 0 R /Info 1 0 R /Encrypt 1 0 R /XRefStm 99 /ID [<0102> <0102>]");
  PdfWriter plain;
  plain.Object(2, "<< /Type /Catalog >>");
  plain.Finish("/Root 2 0 R");
  EngineState state;
  XrefTable table;
  int catalog = 7, generation = 7;
  ASSERT_EQ(ParseXrefChain(state, ImageOf(hybrid.Bytes()), table, catalog, generation), 1);
  EXPECT_TRUE(state.EncryptRef.has_value());
  EXPECT_EQ(state.NeedsConversion, 1);
  EXPECT_EQ(catalog, 1);
  EXPECT_EQ(state.FileIdLength, 2);
  ASSERT_EQ(ParseXrefChain(state, ImageOf(plain.Bytes()), table, catalog, generation), 1);
  EXPECT_FALSE(state.EncryptRef.has_value());
  EXPECT_EQ(state.NeedsConversion, 0);
  EXPECT_EQ(catalog, 2);
  EXPECT_EQ(state.InfoNumber, 1);
  EXPECT_EQ(state.FileIdLength, 0) << "a file without /ID has no identifier";
}

TEST(ParseXrefChain, TrailerWithoutPrevEndsTheChain) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Finish("/Root 1 0 R");
  std::string text = w.Bytes();
  std::size_t newer = text.size();
  text += "2 0 obj\n<< >>\nendobj\n";
  std::size_t xref = text.size();
  text += "xref\n2 1\n" + std::string(10 - std::to_string(newer).size(), '0') + std::to_string(newer) +
          " 00000 n \ntrailer\n<< /Root 2 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1);
  ASSERT_EQ(p->Table.size(), 1u);
  EXPECT_EQ(p->Table[0].Number, 2);
  EXPECT_EQ(p->Catalog, 2);
}

TEST(ParseXrefChain, StartxrefAtATrailerWithoutEntries) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Finish("/Size 2 /Root 1 0 R");
  std::string text = w.Bytes();
  const std::size_t trailer = text.size();
  text += "trailer\n<< /Size 2 /Info 1 0 R /Prev " + std::to_string(w.LastXrefOffset()) + " >>\nstartxref\n" +
          std::to_string(trailer) + "\n%%EOF\n";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
  EXPECT_EQ(p->Table.size(), 2u);
  EXPECT_EQ(p->Catalog, 1);
  EXPECT_EQ(p->State.InfoNumber, 1);
}

TEST(ParseXrefChain, PrevChainThatComesBackEnds) {
  std::string text = "%PDF-1.4\n1 0 obj\n<< >>\nendobj\n";
  std::size_t xref = text.size();
  text += "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Root 1 0 R /Prev " +
          std::to_string(xref) + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1);
  EXPECT_EQ(p->Table.size(), 2u);
}

TEST(ParseXrefChain, CrossReferenceStreamsAreDetected) {
  std::string stream = "%PDF-1.5\n1 0 obj\n<< /Type /XRef /W [1 2 1] /Size 2 /Length 0 >>\nstream\n\nendstream\nendobj\n"
                       "startxref\n9\n%%EOF\n";
  auto p = Parse(stream);
  EXPECT_EQ(p->Result, 0);
  EXPECT_EQ(p->State.LastErrorCode, -18);
  EXPECT_EQ(p->State.NeedsConversion, 1);

  PdfWriter hybrid;
  hybrid.Object(1, "<< /Type /Catalog >>");
  hybrid.Finish("/Root 1 0 R /XRefStm 1234");
  auto h = Parse(hybrid.Bytes());
  EXPECT_EQ(h->Result, 1);
  EXPECT_EQ(h->State.NeedsConversion, 1);

  // No "/XRef" anywhere: a plain failure.
  auto broken = Parse("%PDF-1.4\n1 0 obj\n<< >>\nendobj\nstartxref\n9\n%%EOF\n");
  EXPECT_EQ(broken->Result, 0);
  EXPECT_EQ(broken->State.NeedsConversion, 0);
}

TEST(ParseXrefChain, FindsTheLastStandaloneEof) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Finish("/Root 1 0 R");
  // Junk after %%EOF, a later %%EOF glued to a digit and one inside a comment are all passed over.
  std::string text = w.Bytes() + "garbage\x01\x02 7%%EOF\n% note %%EOF\n";
  auto p = Parse(text);
  ASSERT_EQ(p->Result, 1) << p->State.LastErrorCode;
  EXPECT_EQ(p->Catalog, 1);
}

TEST(ParseXrefChain, FailureCodes) {
  EXPECT_EQ(Parse("%PDF-1.4 nothing else here at all\n")->State.LastErrorCode, -15);
  EXPECT_EQ(Parse("%PDF-1.4 nothing else here\n%%EOF\n")->State.LastErrorCode, -16);
  EXPECT_EQ(Parse("%PDF-1.4 nothing else here\nstartxref\nx\n%%EOF\n")->State.LastErrorCode, -17);
  EXPECT_EQ(Parse("%PDF-1.4 nothing else here\nstartxref\n999999\n%%EOF\n")->State.LastErrorCode, -18);
  // A section at offset 9 with the given subsections and trailer; the first subsection of the newest
  // section has codes of its own.
  const std::string free0 = "0 1\n0000000000 65535 f \n";
  for (auto [section, code] : std::vector<std::pair<std::string, int>>{
           {free0, -81}, {"0 1\n0000000000 65535 x \ntrailer\n<< >>\n", -27},
           {free0 + "trailer\n<< /Prev x >>\n", -89}, {free0 + "trailer\n<< /Root 1 0 R\n", -87},
           {"0 x\n0000000000 65535 f \ntrailer\n<< >>\n", -19}, {free0 + "5 x\ntrailer\n<< >>\n", -29},
           {free0 + "5 1\n00000000x0 00000 n \ntrailer\n<< >>\n", -38}}) {
    EXPECT_EQ(Parse("%PDF-1.4\nxref\n" + section + "startxref\n9\n%%EOF\n")->State.LastErrorCode, code) << section;
  }
  // In an older section every subsection has the later codes; /Prev 0 is an offset like any other.
  std::string older = "xref\n0 1\n0000000000 65535 x \ntrailer\n<< >>\n";
  const std::size_t newer = older.size();
  older += "xref\n" + free0 + "trailer\n<< /Prev 0 >>\nstartxref\n" + std::to_string(newer) + "\n%%EOF\n";
  EXPECT_EQ(Parse(older)->State.LastErrorCode, -43);
}

}  // namespace
}  // namespace folvex
