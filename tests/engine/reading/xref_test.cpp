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
  w.Finish("/Size 3 /Root 1 0 R /Info 1 0 R /Encrypt 1 0 R /ID [<0102ABCD> <00>]");
  w.Object(3, "<< >>");
  w.Finish("/Size 4 /Root 2 0 R /Info 2 0 R /Encrypt 3 0 R /ID [(a\\(b\\)\\101) (x)]");
  auto p = Parse(w.Bytes());
  ASSERT_EQ(p->Result, 1);
  EXPECT_EQ(p->Catalog, 2) << "the newest /Root is used";
  EXPECT_EQ(p->State.InfoNumber, 1) << "the oldest /Info is used";
  EXPECT_TRUE(p->State.EncryptRef.has_value());
  EXPECT_EQ(*p->State.EncryptRef, w.Bytes().rfind("/Encrypt")) << "the newest /Encrypt is used";
  // The oldest /ID overwrites: hexadecimal 01 02 AB CD.
  ASSERT_EQ(p->State.FileIdLength, 4);
  EXPECT_EQ(p->State.FileId[2], 0xAB);
  EXPECT_EQ(p->State.NeedsConversion, 0);

  PdfWriter literal;
  literal.Object(1, "<< /Type /Catalog >>");
  literal.Finish("/Root 1 0 R /ID [(a\\(b\\)\\101) (x)]");
  auto q = Parse(literal.Bytes());
  ASSERT_EQ(q->Result, 1);
  EXPECT_EQ(std::string(q->State.FileId.begin(), q->State.FileId.begin() + q->State.FileIdLength), "a(b)A");
  EXPECT_FALSE(q->State.EncryptRef.has_value());

  // The next file parsed with the same state, without /ID, has no identifier.
  PdfWriter plain;
  plain.Object(1, "<< /Type /Catalog >>");
  plain.Finish("/Root 1 0 R");
  FileImage image = ImageOf(plain.Bytes());
  XrefTable table;
  int catalog = 0, generation = 0;
  ASSERT_EQ(ParseXrefChain(q->State, image, table, catalog, generation), 1);
  EXPECT_EQ(q->State.FileIdLength, 0);
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
  std::string noTrailer = "%PDF-1.4\nxref\n0 1\n0000000000 65535 f \nstartxref\n9\n%%EOF\n";
  EXPECT_EQ(Parse(noTrailer)->State.LastErrorCode, -81);
  std::string badType = "%PDF-1.4\nxref\n0 1\n0000000000 65535 x \ntrailer\n<< >>\nstartxref\n9\n%%EOF\n";
  EXPECT_EQ(Parse(badType)->State.LastErrorCode, -27);
  std::string badPrev = "%PDF-1.4\nxref\n0 1\n0000000000 65535 f \ntrailer\n<< /Prev x >>\nstartxref\n9\n%%EOF\n";
  EXPECT_EQ(Parse(badPrev)->State.LastErrorCode, -89);
  std::string openDict = "%PDF-1.4\nxref\n0 1\n0000000000 65535 f \ntrailer\n<< /Root 1 0 R\nstartxref\n9\n%%EOF\n";
  EXPECT_EQ(Parse(openDict)->State.LastErrorCode, -87);
}

}  // namespace
}  // namespace folvex
