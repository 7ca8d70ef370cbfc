#include "engine/reading/repair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/reading/open_document.h"
#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

// Repairs input and returns the new image's bytes; state (when given) keeps the trailer values.
std::string Repaired(std::string_view input, EngineState* state = nullptr) {
  EngineState local;
  FileImage image = testing::ImageOf(input);
  EXPECT_EQ(RepairImage(state ? *state : local, image), 0);
  return std::string(image.Begin(), image.End());
}

// The repaired bytes must parse, and every listed object must be where the table says; returns the
// catalog number of the trailer.
int ExpectParsesAndLocates(const std::string& bytes, const std::vector<int>& numbers) {
  EngineState state;
  FileImage image = testing::ImageOf(bytes);
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
}

// Objects written again later (an incremental update without its table) take their last
// definition; so does the catalog, which is the last object named exactly /Catalog. Numbers
// without an object get zero entries.
TEST(RepairImage, LastDefinitionsWinAndGapsAreWrittenAsZero) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 9 0 R >>");
  w.Object(7, "(old)");
  w.Object(2, "<< /Type /Catalog /Pages 8 0 R >>", 4);
  w.Object(3, "<< /Type /CatalogX >>");
  w.Object(5, "<< /Type/Catalogue >>");
  w.Object(7, "(new)", 3);
  w.Object(0, "<< /Type /Catalog >>");  // object 0 is never the catalog
  const std::string out = Repaired(w.Bytes());
  const std::string zero = TableLine(0, 0);
  EXPECT_TRUE(Has(out, "xref\n0 8\n0000000000 65535 f \n"));
  EXPECT_TRUE(Has(out, zero + TableLine(out.find("5 0 obj"), 0) + zero + TableLine(out.find("7 3 obj\n(new)"), 3) +
                           "trailer\n<<\n/Size 8\n/Root 2 4 R\n"));
  EXPECT_EQ(ExpectParsesAndLocates(out, {1, 2, 3, 5, 7}), 2);
  PdfWriter far;  // a number exactly at the end of the first table allocation (first number + 3276)
  far.Object(1, "<< /Type /Catalog >>");
  far.Object(3277, "<< >>");
  EXPECT_EQ(ExpectParsesAndLocates(Repaired(far.Bytes()), {1, 3277}), 1);
}

// Bytes between objects: junk before the first gets a header in front, old trailers give /Info
// (the first valid one) and, for a protected file, the newest /Encrypt with its /ID; the old table
// and trailer behind the last object are read but not copied.
TEST(RepairImage, TrailerEntriesBetweenAndBehindTheObjects) {
  struct Case {
    const char* Between;   // bytes between objects 1 and 2
    const char* After;     // bytes behind object 2
    const char* Expected;  // the trailer lines behind /Root, up to ">>"
  };
  const Case cases[] = {
      {"trailer << /Size 3 /Encrypt 2 0 R /ID [<01AB> <02>] >>\n", "", "/Encrypt 2 0 R\n/ID [<01AB> <02>]\n"},
      {"trailer<</Encrypt 5 0 R/ID[(a\\)b)(c)]>>\n", "trailer<</ID[<FF><FF>]/Encrypt 2 0 R>>\n",
       "/Encrypt 2 0 R\n/ID [<FF><FF>]\n"},
      {"trailer << /Encrypt << /Filter /Standard /V 1 >> >>\n", "", "/Encrypt << /Filter /Standard /V 1 >>\n"},
      {"trailer << /ID [<01> <02>] /Info 1 0 R >>\n", "", "/Info 1 0 R\n"},  // an identifier alone is not kept
      {"trailer << /Info 0 0 R >>\ntrailer << /Info 2 0 R >>\n", "trailer << /Info 1 0 R >>\n", "/Info 2 0 R\n"},
      {"trailer << /EncryptX 2 0 R /Encrypt /Bad >>\n", "", ""},
      {"trailer << /Encrypt 3 0 R >>\n", "", ""},  // names no object of the file
      {"trailer << /Encrypt 4 0 R >>\n", "4 0 obj\nE< /Filter /Standard >>\nendobj\n", ""},
      {"", "trailer << /Root 1 0 R /Info 2 0", "/Info 2 0 R\n"},  // cut right behind the numbers
      {"", "xref\n0 3\n0000000000 65535 f \ntrailer\n<< /Size 3 /Root 1 0 R /Info 1 0 R >>\nstartxref\n9\n%%EOF\n",
       "/Info 1 0 R\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Between) + c.After);
    const std::string input = std::string("junk\n1 0 obj\n<< /Type /Catalog >>\nendobj\n") + c.Between +
                              "2 0 obj\n<< /Filter /Standard >>\nendobj\n" + c.After;
    EngineState state;
    const std::string out = Repaired(input, &state);
    EXPECT_EQ(out.rfind("%PDF-1.3\n%\xE2\xE3\xCF\xD3\njunk\n1 0 obj\n", 0), 0u);
    EXPECT_TRUE(Has(out, std::string("/Root 1 0 R\n") + c.Expected + ">>\nstartxref")) << out.substr(out.rfind("xref"));
    if (std::string_view(c.After).find(" obj") == std::string_view::npos) {
      EXPECT_TRUE(Has(out, "<< /Filter /Standard >>\nendobj\nxref\n0 3\n"));  // the tail is not copied
    }
    XrefTable table;
    int catalog = 0, generation = 0;
    ASSERT_EQ(ParseXrefChain(state, testing::ImageOf(out), table, catalog, generation), 1);
    EXPECT_EQ(state.EncryptRef.has_value(), std::string_view(c.Expected).find("/Encrypt") != std::string::npos);
  }
}

// What a damaged object's extent is: its data skipped whole, a missing "endobj" supplied where the
// next object begins, the scan ended quietly at absurd numbers, an unended object or the image end.
TEST(RepairImage, ObjectExtentsInDamagedFiles) {
  struct Case {
    const char* Objects;  // behind "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\n"
    std::vector<int> Numbers;
    const char* Closed;  // text that must stand in the output, or ""
  };
  const Case cases[] = {
      {"endobj\n2 0 obj\n<< /Length 54 >>\nstream\nbinary\nendobj\n9 0 obj\n<< /Type /Catalog >>\nendobj\n\x01\x02\x03\n"
       "\nendstream\nendobj\n", {1, 2}, ""},
      {"endobj\n2 0 obj\n<< /Length 4 0 R >>\nstream\nabc\nendstream\nendobj\n4 0 obj\n4\nendobj\n", {1, 2, 4}, ""},
      {"endobj\n2 0 obj\n<< /Length 999999 >>\nstream\nabc\nendstream\nendobj\n3 0 obj\n<< >>\nendobj\n", {1, 2, 3}, ""},
      {"endobj\n2 0 obj\n<< /Length 2 >>\nstream\nabc\nendstream\nendobj\n3 0 obj\n<< >>\nendobj\n", {1, 2, 3}, ""},
      {"endobj\n2 0 obj\n<< /T (line\n3 0 obj) >>\nendobj\n", {1, 2}, ""},
      {"endobj\n2 0 obj\n<< /Count 1 >>\n\n3 0 obj\n<< >>\n4 0 obj\n[1]endobj\n", {1, 2, 3, 4},
       "<< /Count 1 >>\n\nendobj\n3 0 obj\n<< >>\nendobj\n4 0 obj"},
      {"endobj\n2 0 obj\n<< /Length 4 >>\nstream\n4 0 obj\nendstream\n5 0 obj\n(x)\nendobj\n", {1, 2, 5},
       "endstream\nendobj\n5 0 obj"},
      {"endobj\n2000000000 0 obj\n<< >>\nendobj\n3 0 obj\n<< >>\nendobj\n", {1}, ""},
      {"endobj\n9999999 0 obj\n<< >>\nendobj\n3 0 obj\n<< >>\nendobj\n", {1}, ""},
      {"endobj\n2 0 obj\n<< /Broken 1", {1}, ""},
      {"endobj", {1}, ""},
      {"endobj\r\n  ", {1}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Objects);
    const std::string out = Repaired(std::string("%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\n") + c.Objects);
    EXPECT_TRUE(Has(out, "xref\n0 " + std::to_string(c.Numbers.back() + 1) + "\n")) << out.substr(out.rfind("xref"));
    EXPECT_TRUE(Has(out, c.Closed));
    EXPECT_EQ(ExpectParsesAndLocates(out, c.Numbers), 1);
  }
  // Failures before the first object leave the image unchanged.
  for (const auto& [input, code] : std::vector<std::pair<std::string, int>>{
           {"%PDF-1.4\nno objects here\n", -4}, {"", -4}, {"%PDF-1.4\n1 0 obj\n<< /A 1 >>\n", -5},
           {"%PDF-1.4\n99999999 0 obj\n<< >>\nendobj\n", -5}}) {
    EngineState state;
    FileImage image = testing::ImageOf(input);
    EXPECT_EQ(RepairImage(state, image), code) << input;
    EXPECT_EQ(std::string(image.Begin(), image.End()), input);
  }
}

// Damaged copies of files of several writers come back as files that qpdf accepts and whose pages
// pdfinfo counts in full.
TEST(RepairRealFiles, DamagedCopiesOfWritersFiles) {
  if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdfinfo") || !testing::HaveTool("gs")) {
    GTEST_SKIP() << "qpdf, pdfinfo or gs missing";
  }
  const std::string source = testing::WriteTempFile("repair-source.pdf", testing::SimplePdf(5));
  const std::string written = testing::TempDir() + "/repair-gs.pdf";
  const std::string rewritten = testing::TempDir() + "/repair-qpdf.pdf";
  ASSERT_EQ(testing::RunCommand("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + written + "' '" + source +
                                "' 2>&1").ExitCode, 0);
  ASSERT_NE(testing::RunCommand("qpdf --object-streams=disable '" + written + "' '" + rewritten + "'").ExitCode, 2);
  // Ours, ghostscript's (indirect stream lengths) and qpdf's (direct lengths, compressed data).
  for (const std::string& path : {source, written, rewritten}) {
    const std::string bytes = testing::ReadFile(path);
    const std::size_t xref = bytes.rfind("\nxref") + 1;
    for (const auto& [damage, input] : std::vector<std::pair<std::string, std::string>>{
             {"no-table", bytes.substr(0, xref) + bytes.substr(bytes.rfind("startxref"))},
             {"shifted", "GARBAGE BEFORE THE HEADER\r\n" + bytes},
             {"cut-in-table", bytes.substr(0, xref + 40)},
             {"cut-after-endobj", bytes.substr(0, bytes.rfind("endobj") + 6)}}) {
      SCOPED_TRACE(path + " " + damage);
      const std::string repaired = testing::WriteTempFile("repaired-" + damage + ".pdf", Repaired(input));
      testing::CommandResult check = testing::RunCommand("qpdf --check '" + repaired + "' 2>&1");
      EXPECT_EQ(check.ExitCode, 0) << check.Output.substr(0, 500);
      EXPECT_EQ(testing::PdfinfoPages(repaired), 5);
    }
  }
}

}  // namespace
}  // namespace folvex
