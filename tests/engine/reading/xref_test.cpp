// Classic cross-reference tables: the chain of sections as written and damaged, and the table
// rebuilt from the objects when there is none to read.
#include "engine/reading/xref.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/reading/repair.h"
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
    std::int64_t LastOffset;
  };
  const Case cases[] = {
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
      {"offsets past 2 GiB and 4 GiB",
       file("xref\n0 3\n0000000000 65535 f \n2147483748 00000 n \n4294967396 00000 n \ntrailer<</Root 1 0 R>>" + end),
       {0, 1, 2}, 4294967396},
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
      // 2^32 + 9: cut to 32 bits it would name the section at 9.
      {free0 + "trailer\n<< >>\nstartxref\n4294967305\n%%EOF\n", -18, 0},
      {streams + "startxref\n9\n%%EOF\n", -18, 1},
      {free0 + "startxref\n9\n%%EOF\n", -81, 0},
      {"xref\n0 1\n0000000000 65535 x \ntrailer\n<< >>\nstartxref\n9\n%%EOF\n", -27, 0},
      {free0 + "trailer\n<< /Prev x >>\nstartxref\n9\n%%EOF\n", -89, 0},
      {free0 + "trailer\n<< /Root 1 0 R\nstartxref\n9\n%%EOF\n", -87, 0},
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
}

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
  auto p = Parse(bytes);
  EXPECT_EQ(p->Result, 1) << p->State.LastErrorCode;
  const FileImage image = testing::ImageOf(bytes);
  for (int number : numbers) {
    int error = 0;
    const std::int64_t offset = LookupObjectOffset(p->Table, number, error);
    EXPECT_NE(LocateObject(image.Begin(), image.End(), offset, number, error), nullptr) << "object " << number;
  }
  return p->Catalog;
}

std::string TableLine(std::size_t offset, int generation) {
  char line[32];
  std::snprintf(line, sizeof line, "%010zu %05d n \n", offset, generation);
  return line;
}

bool Has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

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
// (the first valid one, never one left from an earlier repair) and, for a protected file, the
// newest /Encrypt with its /ID; the old table and trailer behind the last object are read but not
// copied, nor the line break behind the last "endobj".
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
    state.InfoNumber = 12;
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
