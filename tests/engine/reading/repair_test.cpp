#include "engine/reading/repair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::ImageOf;
using testing::PdfWriter;

std::string Text(const FileImage& image) { return std::string(image.Begin(), image.End()); }

// Repairs input and returns the new image's bytes; kept (when given) keeps the trailer values.
std::string Repaired(std::string_view input, EngineState* kept = nullptr) {
  EngineState local;
  FileImage image = ImageOf(input);
  EXPECT_EQ(RepairImage(kept ? *kept : local, image), 0);
  EXPECT_EQ(image.Storage.back(), 0);
  return Text(image);
}

// The repaired bytes must parse, and every listed object must be where the table says; returns the
// catalog number of the trailer.
int ExpectParsesAndLocates(const std::string& bytes, const std::vector<int>& numbers) {
  EngineState state;
  FileImage image = ImageOf(bytes);
  XrefTable table;
  int catalog = -1, generation = -1;
  EXPECT_EQ(ParseXrefChain(state, image, table, catalog, generation), 1) << state.LastErrorCode;
  for (int number : numbers) {
    int error = 0;
    int offset = LookupObjectOffset(table, number, error);
    EXPECT_NE(LocateObject(image.Begin(), image.End(), offset, number, error), nullptr) << "object " << number;
  }
  return catalog;
}

std::string TableLine(std::size_t offset, int generation) {
  char line[32];
  std::snprintf(line, sizeof line, "%010zu %05d n \n", offset, generation);
  return line;
}

bool Has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(RepairImage, RebuildsFileWithoutTableOrTrailerExactly) {
  // The line break behind the last "endobj" belongs to the uncopied tail.
  const std::string input = "%PDF-1.4\n1 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
                            "2 0 obj\n<</Type/Catalog/Pages 1 0 R>>\nendobj\n";
  EngineState state;
  state.InfoNumber = 12;  // left from an earlier parse
  const std::string out = Repaired(input, &state);
  const std::string table = "xref\n0 3\n0000000000 65535 f \n" + TableLine(9, 0) + TableLine(input.find("2 0 obj"), 0);
  EXPECT_EQ(out, input + table + "trailer\n<<\n/Size 3\n/Root 2 0 R\n>>\nstartxref\n" +
                     std::to_string(input.size()) + "\n%%EOF\n");
  EXPECT_EQ(state.InfoNumber, 0);
  EXPECT_EQ(ExpectParsesAndLocates(out, {1, 2}), 2);
}

TEST(RepairImage, LaterRevisionWinsAndGapsAreWrittenAsZero) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(7, "(old)");
  w.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
  w.Object(7, "(new)", 3);
  const std::string out = Repaired(w.Bytes());
  const std::string zero = TableLine(0, 0);
  const std::string newer = TableLine(out.find("7 3 obj\n(new)"), 3);
  EXPECT_TRUE(Has(out, "xref\n0 8\n0000000000 65535 f \n"));
  EXPECT_TRUE(Has(out, zero + zero + zero + zero + newer + "trailer"));  // 3 to 6, then 7
  EXPECT_EQ(ExpectParsesAndLocates(out, {1, 2, 7}), 1);
  PdfWriter far;  // a number exactly at the end of the first table allocation (first number + 3276)
  far.Object(1, "<< /Type /Catalog >>");
  far.Object(3277, "<< >>");
  EXPECT_EQ(ExpectParsesAndLocates(Repaired(far.Bytes()), {1, 3277}), 1);
}

TEST(RepairImage, InfoComesFromTheFirstValidEntryBetweenObjects) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Info 4 0 R >>");  // inside an object: not taken
  w.Raw("trailer\n<< /Info 0 0 R >>\n");             // invalid number: ignored
  w.Object(2, "<< >>");
  w.Raw("trailer\n<< /Size 10 /Root 1 0 R /Info 1 0 R >>\n");
  w.Object(9, "<< /Title (t) >>");
  w.Raw("trailer\n<< /Info 5 0 R >>\n");
  w.Object(5, "<< >>");
  EngineState state;
  const std::string out = Repaired(w.Bytes(), &state);
  EXPECT_TRUE(Has(out, "/Root 1 0 R\n/Info 1 0 R\n>>\nstartxref\n"));
  EXPECT_EQ(state.InfoNumber, 1);
  ExpectParsesAndLocates(out, {1, 2, 5, 9});
}

// Junk before the first object gets a header in front; the old table and trailer behind the last
// object are scanned for /Info but not copied.
TEST(RepairImage, HeaderIsAddedAndTheTailIsScannedButNotCopied) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog >>");
  w.Finish("/Size 2 /Root 1 0 R /Info 1 0 R");
  const std::string out = Repaired("junk\n" + w.Bytes().substr(w.Bytes().find("1 0 obj")));
  EXPECT_EQ(out.rfind("%PDF-1.3\n%\xE2\xE3\xCF\xD3\njunk\n1 0 obj\n", 0), 0u);
  EXPECT_TRUE(Has(out, "endobj\nxref\n0 2\n"));
  EXPECT_EQ(out.find("trailer"), out.rfind("trailer"));
  EXPECT_TRUE(Has(out, "/Root 1 0 R\n/Info 1 0 R\n"));
  EXPECT_EQ(ExpectParsesAndLocates(out, {1}), 1);
}

TEST(RepairImage, StreamsAreSkippedByTrustedLengthOrByScanning) {
  PdfWriter w;  // data that looks like the end of its object; indirect, overshooting and short lengths
  w.Object(1, "<< /Type /Catalog >>");
  w.Stream(2, "/Filter /Fake", "binary\nendobj\n9 0 obj\n<< /Type /Catalog >>\nendobj\n\x01\x02");
  w.Object(3, "<< /Length 4 0 R >>\nstream\nabc\nendstream");
  w.Object(4, "4");
  w.Object(5, "<< /Length 999999 >>\nstream\nabc\nendstream");
  w.Object(6, "<< /Length 2 >>\nstream\nabc\nendstream");
  w.Object(7, "<< >>");
  const std::string out = Repaired(w.Bytes());
  EXPECT_TRUE(Has(out, "xref\n0 8\n"));
  EXPECT_TRUE(Has(out, TableLine(out.find("7 0 obj"), 0) + "trailer\n<<\n/Size 8\n/Root 1 0 R\n"));
  ExpectParsesAndLocates(out, {1, 2, 3, 4, 5, 6, 7});
}

// Absurd numbers and an object without "endobj" end the scan quietly; an object ending at the
// very end of the image is kept.
TEST(RepairImage, ScanEndsQuietlyAtAbsurdNumbersUnendedObjectsAndTheImageEnd) {
  const std::string next = "3 0 obj\n<< >>\nendobj\n";
  for (std::string tail : {"endobj\n2000000000 0 obj\n<< >>\nendobj\n" + next,
                           "endobj\n9999999 0 obj\n<< >>\nendobj\n" + next,
                           std::string("endobj\n2 0 obj\n<< /Broken 1"), std::string("endobj"), std::string("endobj\n"),
                           std::string("endobj\r\n  ")}) {
    const std::string out = Repaired("%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\n" + tail);
    EXPECT_TRUE(Has(out, "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \n")) << tail;
    EXPECT_LT(out.size(), 1000u);
    EXPECT_EQ(ExpectParsesAndLocates(out, {1}), 1);
  }
}

TEST(RepairImage, FailuresBeforeTheFirstObjectLeaveTheImageUnchanged) {
  EngineState state;
  for (const auto& [input, code] : std::vector<std::pair<std::string, int>>{
           {"%PDF-1.4\nno objects here\n", -4}, {"", -4}, {"%PDF-1.4\n1 0 obj\n<< /A 1 >>\n", -5},
           {"%PDF-1.4\n99999999 0 obj\n<< >>\nendobj\n", -5}}) {
    FileImage image = ImageOf(input);
    EXPECT_EQ(RepairImage(state, image), code) << input;
    EXPECT_EQ(state.LastErrorCode, code);
    EXPECT_EQ(Text(image), input);
  }
}

TEST(RepairScanners, HeadersSkipLookalikesAndEndsSkipLongerWords) {
  const std::string text = "xref 0 6 0000000000 65535 f\n/Root 5 0 R [ 1 0 objx ] % 3 0 obj\n12 0%c\nobj<< >>";
  FileImage image = ImageOf(text + " endobj\n");
  const Byte* header = nullptr;
  ASSERT_EQ(FindObjectHeader(image.Begin(), image.End(), header), 0);
  EXPECT_EQ(header - image.Begin(), static_cast<long>(text.find("12 0%c")));

  FileImage none = ImageOf("trailer << /Size 3 >>\nstartxref\n123\n%%EOF\n");
  EXPECT_EQ(FindObjectHeader(none.Begin(), none.End(), header), -1);
  // Text before the header, digits glued to other bytes included, does not stop the scan.
  const std::string prose = "# written by PDF 2.0 tools, 3rd run\n%PDF-2.0\n";
  FileImage real = ImageOf(prose + "2 0 obj << >> endobj");
  ASSERT_EQ(FindObjectHeader(real.Begin(), real.End(), header), 0);
  EXPECT_EQ(header - real.Begin(), static_cast<long>(prose.size()));
  // A generation beyond five digits makes no header.
  const std::string wide = "3 18446744073709551616 obj << >> endobj 4 65536 obj << >> endobj\n";
  FileImage generations = ImageOf(wide + "5 65535 obj << >> endobj");
  ASSERT_EQ(FindObjectHeader(generations.Begin(), generations.End(), header), 0);
  EXPECT_EQ(header - generations.Begin(), static_cast<long>(wide.size()));
  FileImage glued = ImageOf("junk 1.5");
  EXPECT_EQ(FindObjectHeader(glued.Begin(), glued.End(), header), -5);

  ObjectScan scan;
  const std::string object = "4 0 obj <</Type/Catalog/endobj (endobj ) endobjx>> endobj%c\n";
  FileImage whole = ImageOf(object);
  ASSERT_EQ(FindObjectEnd(whole.Begin(), whole.End(), scan), 0);
  EXPECT_TRUE(scan.IsCatalog);
  EXPECT_FALSE(scan.EndobjMissing);
  EXPECT_EQ(scan.ObjectEnd - whole.Begin(), static_cast<long>(object.rfind("endobj") + 6));

  // A longer name is not the catalog's type, and the object still ends.
  FileImage longer = ImageOf("4 0 obj << /Type /CatalogX /Catalogs 1 >> endobj\n");
  ASSERT_EQ(FindObjectEnd(longer.Begin(), longer.End(), scan), 0);
  EXPECT_FALSE(scan.IsCatalog);
  // A "(" that never closes is an ordinary byte, and later strings are no longer skipped.
  const std::string unclosed = "4 0 obj << /T (never closes >> endobj\n5 0 obj (x endobj\n) endobj\n";
  FileImage open1 = ImageOf(unclosed);
  ASSERT_EQ(FindObjectEnd(open1.Begin(), open1.End(), scan), 0);
  EXPECT_TRUE(scan.UnclosedString);
  EXPECT_EQ(scan.ObjectEnd - open1.Begin(), static_cast<long>(unclosed.find("endobj") + 6));
  ASSERT_EQ(FindObjectEnd(open1.Begin() + unclosed.find("5 0 obj"), open1.End(), scan), 0);
  EXPECT_EQ(scan.ObjectEnd - open1.Begin(), static_cast<long>(unclosed.find("x endobj") + 8));

  FileImage open = ImageOf("4 0 obj << /Type /Page >> stream\nxx");
  EXPECT_LT(FindObjectEnd(open.Begin(), open.End(), scan), 0);
  EXPECT_NE(scan.NoEndstreamFrom, nullptr) << "the failed search is remembered";
}

// Where an object ends when its "endobj" is missing, and where a header-like text does not end it.
TEST(RepairScanners, ObjectsEndAtTheNextHeaderOnlyOutsideStringsAndStreams) {
  struct Case {
    const char* Object;
    const char* EndsBefore;  // the object ends at this text (missing endobj), or behind "endobj" when null
  };
  for (const Case& c : {Case{"2 0 obj\n<< /Count 1 >>\n\n3 0 obj\n<< >>\nendobj\n", "3 0 obj"},
                        Case{"2 0 obj\n<< /Count 1 >>\r3 0 obj[1]endobj\n", "3 0 obj"},
                        Case{"2 0 obj\n<< /T (line\n3 0 obj) >>\nendobj\n", nullptr},
                        Case{"2 0 obj\n<< /Kids [\n3 0 R\n] >>\nendobj\n", nullptr},
                        Case{"2 0 obj\n<< /A 1 3 0 obj >>\nendobj\n", nullptr},  // not at a line start
                        Case{"2 0 obj\n<< /A 1 >>\n3 70000 obj\n<< >>\nendobj\n", nullptr},
                        Case{"2 0 obj\n<< /Length 9 0 R >>\nstream\nq\n3 0 obj\nendobj\nQ\nendstream\nendobj\n", nullptr},
                        Case{"2 0 obj\n<< /Length 4 >>\nstream\n4 0 obj\nendstream\n5 0 obj\n(x)\nendobj\n", "5 0 obj"},
                        // data that holds "endstream", skipped by its length after either line end
                        Case{"2 0 obj\n<< /Length 18 >>\nstream\nendstream\nendobj\nx\nendstream\nendobj\n", nullptr},
                        Case{"2 0 obj\n<< /Length 18 >>\nstream\r\nendstream\nendobj\nx\r\nendstream\nendobj\n", nullptr}}) {
    const std::string text = c.Object;
    FileImage image = ImageOf(text);
    ObjectScan scan;
    ASSERT_EQ(FindObjectEnd(image.Begin(), image.End(), scan), 0) << text;
    const std::size_t expected = c.EndsBefore != nullptr ? text.find(c.EndsBefore) : text.rfind("endobj") + 6;
    EXPECT_EQ(scan.ObjectEnd - image.Begin(), static_cast<long>(expected)) << text;
    EXPECT_EQ(scan.EndobjMissing, c.EndsBefore != nullptr) << text;
  }
}

TEST(RepairImage, ObjectsWithoutEndobjAreKeptAndClosed) {
  const std::string input = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                            "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\n\n"
                            "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\n";
  const std::string out = Repaired(input + "4 0 obj\n<< >>\nendobj\n");
  EXPECT_TRUE(Has(out, "/Count 1 >>\n\nendobj\n3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n4 0 obj"));
  EXPECT_TRUE(Has(out, "xref\n0 5\n"));
  EXPECT_EQ(ExpectParsesAndLocates(out, {1, 2, 3, 4}), 1);
}

TEST(RepairImage, CatalogIsTheLastObjectNamedExactlyCatalog) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 9 0 R >>");
  w.Object(2, "<< /Type /Catalog /Pages 8 0 R >>", 4);
  w.Object(3, "<< /Type /CatalogX >>");
  w.Object(5, "<< /Type/Catalogue >>");
  w.Object(6, "<< >>");
  w.Object(0, "<< /Type /Catalog >>");  // object 0 is never the catalog
  const std::string out = Repaired(w.Bytes());
  EXPECT_TRUE(Has(out, "/Size 7\n/Root 2 4 R\n"));
  EXPECT_EQ(ExpectParsesAndLocates(out, {1, 2, 3, 5, 6}), 2);
}

// A protected file stays protected through repair: the newest /Encrypt and /ID go to the new trailer.
TEST(RepairImage, EncryptionEntriesOfOldTrailersAreKept) {
  struct Case {
    const char* Between;  // bytes between objects 1 and 2, and after object 2
    const char* After;
    const char* Expected;  // the trailer lines behind /Root, up to ">>"
  };
  for (const Case& c :
       {Case{"trailer << /Size 3 /Encrypt 2 0 R /ID [<01AB> <02>] >>\n", "", "/Encrypt 2 0 R\n/ID [<01AB> <02>]\n"},
        Case{"trailer<</Encrypt 5 0 R/ID[(a\\)b)(c)]>>\n", "trailer<</ID[<FF><FF>]/Encrypt 2 0 R>>\n",
             "/Encrypt 2 0 R\n/ID [<FF><FF>]\n"},
        Case{"trailer << /Encrypt << /Filter /Standard /V 1 >> >>\n", "", "/Encrypt << /Filter /Standard /V 1 >>\n"},
        Case{"trailer << /ID [<01> <02>] /Info 1 0 R >>\n", "", "/Info 1 0 R\n"},  // an identifier alone is not kept
        Case{"trailer << /EncryptX 2 0 R /Encrypt /Bad >>\n", "", ""},
        Case{"trailer << /Encrypt 1 0 R >>\n", "", "/Encrypt 1 0 R\n"},
        Case{"trailer << /Encrypt 3 0 R >>\n", "", ""},  // names no object of the file
        Case{"trailer << /Encrypt 4 0 R >>\n", "4 0 obj\nE< /Filter /Standard >>\nendobj\n", ""},
        Case{"", "trailer << /Root 1 0 R /Info 2 0", "/Info 2 0 R\n"}}) {  // cut right behind the numbers
    const std::string input = std::string("%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n") + c.Between +
                              "2 0 obj\n<< /Filter /Standard >>\nendobj\n" + c.After;
    EngineState state;
    const std::string out = Repaired(input, &state);
    EXPECT_TRUE(Has(out, std::string("/Root 1 0 R\n") + c.Expected + ">>\nstartxref")) << c.Between << c.After;
    FileImage image = ImageOf(out);
    XrefTable table;
    int catalog = 0, generation = 0;
    ASSERT_EQ(ParseXrefChain(state, image, table, catalog, generation), 1);
    EXPECT_EQ(state.EncryptRef.has_value(), std::string_view(c.Expected).find("/Encrypt") != std::string::npos);
  }
}

// Damaged copies of real files must come back as files that outside tools accept in full.
void ExpectRepairs(const std::string& name, const std::string& bytes, int pages) {
  const std::size_t xref = bytes.rfind("\nxref") + 1;
  for (const auto& [damage, input] : std::vector<std::pair<std::string, std::string>>{
           {"no-table", bytes.substr(0, xref) + bytes.substr(bytes.rfind("startxref"))},
           {"shifted", "GARBAGE BEFORE THE HEADER\r\n" + bytes},
           {"cut-in-table", bytes.substr(0, xref + 40)},
           {"cut-after-endobj", bytes.substr(0, bytes.rfind("endobj") + 6)}}) {
    SCOPED_TRACE(name + "-" + damage);
    const std::string out = Repaired(input);
    EXPECT_GE(ExpectParsesAndLocates(out, {}), 1);
    const std::string path = testing::WriteTempFile(name + "-" + damage + ".pdf", out);
    testing::CommandResult check = testing::RunCommand("qpdf --check '" + path + "' 2>&1");
    EXPECT_EQ(check.ExitCode, 0) << check.Output;
    EXPECT_EQ(testing::PdfinfoPages(path), pages);
  }
}

bool HaveChecks() { return testing::HaveTool("qpdf") && testing::HaveTool("pdfinfo"); }

TEST(RepairRealFiles, SimpleWriterOutput) {
  if (!HaveChecks()) GTEST_SKIP() << "qpdf or pdfinfo missing";
  ExpectRepairs("simple", testing::SimplePdf(5), 5);
}

TEST(RepairRealFiles, GhostscriptAndQpdfOutput) {
  if (!HaveChecks() || !testing::HaveTool("gs")) GTEST_SKIP() << "qpdf, pdfinfo or gs missing";
  const std::string source = testing::WriteTempFile("repair-source.pdf", testing::SimplePdf(5));
  const std::string written = testing::TempDir() + "/repair-gs.pdf";
  const std::string rewritten = testing::TempDir() + "/repair-qpdf.pdf";
  ASSERT_EQ(testing::RunCommand("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + written + "' '" +
                                source + "' 2>&1").ExitCode, 0);
  ASSERT_NE(testing::RunCommand("qpdf --object-streams=disable '" + written + "' '" + rewritten + "'").ExitCode, 2);
  ExpectRepairs("gs", testing::ReadFile(written), 5);        // indirect stream lengths
  ExpectRepairs("qpdf", testing::ReadFile(rewritten), 5);    // direct lengths, compressed data
}

}  // namespace
}  // namespace folvex
