// The outline analysis, run as the open sequence runs it when outlines are kept: through the
// catalog and the page walk of a three-page document.
#include "engine/reading/outline.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "engine/reading/catalog.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using Objects = std::map<int, std::string>;
using Ints = std::vector<int>;

// Pages 3, 4, 5 under 2, a font (6), the catalog (1) carrying catalogEntries, and further objects.
std::string Document(const std::string& catalogEntries, const Objects& objects) {
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogEntries + " >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>");
  for (int page = 3; page <= 5; ++page) w.Object(page, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (const auto& [number, body] : objects) w.Object(number, body);
  w.Finish("/Size 5000 /Root 1 0 R");
  return w.Bytes();
}

struct Analysis {
  std::unique_ptr<testing::OpenedDocument> Doc;
  int Result = 0;
  const std::vector<OutlineItem>& Items() const { return Doc->Slot().OutlineItems; }
  std::string Text(int position, int length) const {
    return std::string(reinterpret_cast<const char*>(Doc->Slot().Image.Begin()) + position,
                       static_cast<std::size_t>(length));
  }
  Ints Field(int32_t OutlineItem::*field) const {
    Ints values;
    for (const OutlineItem& item : Items()) values.push_back(item.*field);
    return values;
  }
};

Analysis Analyze(const std::string& bytes, JobControl* control = nullptr) {
  Analysis a{testing::OpenBytes(bytes)};
  EXPECT_TRUE(a.Doc->Parsed);
  a.Doc->State.Job.KeepOutlines = 1;
  a.Doc->State.Control = control;
  a.Result = AnalyzeCatalog(a.Doc->State, a.Doc->Slot());
  return a;
}

std::string Outlines(const std::string& first) { return "<< /Type /Outlines /First " + first + " >>"; }

// Every kind of title, colour, flag and destination in one outline, its page positions judged by
// qpdf as well.
TEST(OutlineTest, EveryItemWithItsTitleTargetAndViewAgreesWithQpdf) {
  const std::string bytes = Document(
      "/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 40 0 R",
      {{10, "<< /Type /Outlines /First 11 0 R /Last 15 0 R /Count 6 >>"},
       {11, "<< /Title (Chapter) /Dest [5 0 R /XYZ 0 792 0] /First 12 0 R /Next 15 0 R /Count -3 /C [1 0 0.5] /F 2 >>"},
       {12, "<< /Title 50 0 R /A << /S /GoTo /D [4 0 R /FitH 5] >> /First 13 0 R /Next 14 0 R /Count 1 >>"},
       {13, "<< /Title <FEFF0041> /A 30 0 R /F 51 0 R >>"},
       {14, "<< /Title /NotAString /Dest (Chapter1) /C 52 0 R /F -1 >>"},
       {15, "<< /Title (Old) /Dest /Later /Next 16 0 R >>"},
       {16, "<< /Dest /Boxed /Next 17 0 R >>"},
       {17, "<< /A << /S /URI /URI (http://example.org/) >> /Dest [3 0 R /Fit] /Next 18 0 R >>"},
       {18, "<< /A << /S /GoToR /F (other.pdf) /D [4 0 R /Fit] >> /Next 19 0 R >>"},
       {19, "<< /Dest [6 0 R /Fit] /Next 26 0 R >>"},
       {26, "<< /Dest (zeta) /Next 27 0 R >>"},
       {27, "<< /Dest <4E616D65> /Next 28 0 R >>"},  // the name exists, its value is null
       {28, "<< /Dest [999 0 R /Fit] /Next 29 0 R >>"},
       {29, "<< /Dest (Nowhere) >>"},
       {20, "<< /Kids [21 0 R 24 0 R] >>"},
       {21, "<< /Kids [22 0 R 23 0 R] /Limits [(Chapter1) (Chapter10)] >>"},
       {22, "<< /Names [(Chapter10) 32 0 R (Chapter1) 33 0 R (Chapter1) [3 0 R /Fit]] >>"},
       {23, "<< /Names [<4E616D65> null] >>"},
       {24, "<< /Names [(zeta) [3 0 R /FitV 10]] >>"},
       {30, "<< /Type /Action /S /GoTo /D 31 0 R >>"}, {31, "[5 0 R /XYZ null null 0]"},
       {32, "[3 0 R /Fit]"}, {33, "<< /D [5 0 R /FitH 700] >>"},
       {40, "<< /Intro [3 0 R /Fit] /Later 41 0 R /Boxed << /D [5 0 R /FitB] >> >>"}, {41, "[4 0 R /XYZ 10 20 null]"},
       {50, "(Referenced (nested) title)"}, {51, "3"}, {52, "[0 0 1]"}});
  JobControl control;
  std::vector<std::string> reports;
  control.ProgressSink = [&](int percent, const std::string& label) {
    reports.push_back(std::to_string(percent) + " " + label);
  };
  const Analysis a = Analyze(bytes, &control);
  ASSERT_EQ(a.Result, 3) << a.Doc->State.LastErrorCode;
  struct Item {
    const char* Title;
    int Level, Children, Count, Page;
    const char* View;
    const char* Colour;
    int Flags;
  };
  const Item expected[] = {
      {"", 0, 10, 6, -1, "", "", 0},
      {"(Chapter)", 1, 2, -3, 2, "/XYZ 0 792 0", "1 0 0.5", 2},
      {"(Referenced (nested) title)", 2, 1, 1, 1, "/FitH 5", "", 0},
      {"<FEFF0041>", 3, 0, 0, 2, "/XYZ null null 0", "", 3},
      {"", 2, 0, 0, 2, "/FitH 700", "", 0},
      {"(Old)", 1, 0, 0, 1, "/XYZ 10 20 null", "", 0},
      {"", 1, 0, 0, 2, "/FitB", "", 0},
      {"", 1, 0, 0, 0, "/Fit", "", 0},
      {"", 1, 0, 0, -1, "", "", 0},
      {"", 1, 0, 0, -1, "/Fit", "", 0},
      {"", 1, 0, 0, 0, "/FitV 10", "", 0},
      {"", 1, 0, 0, -1, "", "", 0},
      {"", 1, 0, 0, -1, "/Fit", "", 0},
      {"", 1, 0, 0, -1, "", "", 0},
  };
  ASSERT_EQ(a.Items().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const OutlineItem& item = a.Items()[i];
    const Item& e = expected[i];
    EXPECT_EQ(a.Text(item.TitlePosition, item.TitleLength), e.Title);
    EXPECT_EQ(Ints({item.Level, item.Children, item.Count, item.PageIndex, item.Flags}),
              Ints({e.Level, e.Children, e.Count, e.Page, e.Flags}));
    EXPECT_EQ(a.Text(item.ViewPosition, item.ViewLength), e.View);
    EXPECT_EQ(a.Text(item.ColourPosition, item.ColourLength), e.Colour);
  }
  // The name tree is read once, each node visited reported in alternating words.
  EXPECT_EQ(reports, (std::vector<std::string>{"8 Analyzing Outline", "8 Analyzing", "8 Analyzing Outline",
                                               "8 Analyzing"}));

  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string path = testing::WriteTempFile("outline-oracle.pdf", bytes);
  const testing::CommandResult json = testing::RunCommand("qpdf --json --json-key=outlines '" + path + "' 2>/dev/null");
  ASSERT_TRUE(json.ExitCode == 0 || json.ExitCode == 3);  // 3: warnings about the odd items
  const std::regex position("\"destpageposfrom1\": (null|[0-9]+)");
  Ints pages = {-1};  // the root
  for (auto it = std::sregex_iterator(json.Output.begin(), json.Output.end(), position); it != std::sregex_iterator();
       ++it) {
    pages.push_back((*it)[1] == "null" ? -1 : std::stoi((*it)[1]) - 1);
  }
  // qpdf leaves destinations given as a dictionary with /D unresolved; where it finds a page, ours is the same.
  ASSERT_EQ(pages.size(), a.Items().size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (pages[i] >= 0) {
      EXPECT_EQ(a.Items()[i].PageIndex, pages[i]) << i;
    }
  }
}

// Outlines of odd shapes: the records' levels and children counts.
TEST(OutlineTest, AbsentEmptyDirectAndLoopingOutlines) {
  struct Case {
    const char* Name;
    std::string CatalogEntries;
    Objects Bodies;
    Ints Levels, Children;
  };
  const Case cases[] = {
      {"none", "", {}, {}, {}},
      {"empty", "/Outlines 10 0 R", {{10, "<< /Type /Outlines /Count 0 >>"}}, {0}, {0}},
      {"direct", "/Outlines << /First 11 0 R /Count 1 >>", {{11, "<< /Title (A) /Dest [4 0 R /Fit] >>"}}, {0, 1}, {1, 0}},
      {"looping siblings", "/Outlines 10 0 R",
       {{10, Outlines("11 0 R")}, {11, "<< /Next 12 0 R >>"}, {12, "<< /Next 11 0 R >>"}}, {0, 1, 1}, {2, 0, 0}},
      {"looping children", "/Outlines 10 0 R",
       {{10, Outlines("11 0 R")}, {11, "<< /First 12 0 R /Next 10 0 R >>"}, {12, "<< /First 11 0 R /Next 12 0 R >>"}},
       {0, 1, 2}, {1, 1, 0}},
      {"looping name tree", "/Outlines 10 0 R /Names << /Dests 20 0 R >>",
       {{10, Outlines("11 0 R")}, {11, "<< /Dest (x) >>"}, {20, "<< /Kids [21 0 R] >>"},
        {21, "<< /Kids [20 0 R 21 0 R 22 0 R] >>"}, {22, "<< /Names [(x) [5 0 R /Fit]] >>"}},
       {0, 1}, {1, 0}},
      // Without string destinations the name tree is not read, whatever it holds.
      {"unread name tree", "/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 99 0 R",
       {{10, Outlines("11 0 R")}, {11, "<< /Dest [3 0 R /Fit] >>"}, {20, "<< /Kids 25 0 R >>"}}, {0, 1}, {1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Analysis a = Analyze(Document(c.CatalogEntries, c.Bodies));
    ASSERT_EQ(a.Result, 3) << a.Doc->State.LastErrorCode;
    EXPECT_EQ(a.Field(&OutlineItem::Level), c.Levels);
    EXPECT_EQ(a.Field(&OutlineItem::Children), c.Children);
  }
  JobControl cancel;
  cancel.CancelFlag = 3;
  const Analysis cancelled = Analyze(Document("/Outlines 10 0 R", {{10, Outlines("11 0 R")}, {11, "<< >>"}}), &cancel);
  EXPECT_EQ(cancelled.Result, -1);
  EXPECT_TRUE(cancelled.Items().empty());
}

// Every byte of the objects replaced by bytes that open or close strings, arrays and dictionaries:
// the analysis ends with its page count or a code, never with a crash or a hang.
TEST(OutlineTest, DamagedBytesEndInResultOrCode) {
  const std::string original = Document(
      "/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 40 0 R",
      {{10, "<< /Type /Outlines /First 11 0 R /Count 3 >>"},
       {11, "<< /Title (A) /Dest (Chapter1) /First 12 0 R /Next 13 0 R /C [1 0 0] /F 51 0 R >>"},
       {12, "<< /Title <41> /A << /S /GoTo /D [4 0 R /Fit] >> /Count -1 >>"}, {13, "<< /Title 50 0 R /Dest /Later >>"},
       {20, "<< /Names [(Chapter10) 21 0 R (Chapter1) 22 0 R] >>"}, {21, "[3 0 R /Fit]"}, {22, "<< /D [5 0 R /FitH 700] >>"},
       {40, "<< /Later [4 0 R /Fit] /Boxed << /D [5 0 R] >> >>"}, {50, "(Title)"}, {51, "2"}});
  for (std::size_t i = original.find("10 0 obj"); i < original.find("xref"); ++i) {
    for (char c : std::string("([<>]) 0/")) {
      std::string bytes = original;
      bytes[i] = c;
      const Analysis a = Analyze(bytes);
      if (a.Result == -1) {
        EXPECT_NE(a.Doc->State.LastErrorCode, 0) << i << " " << c;
        continue;
      }
      ASSERT_EQ(a.Result, 3) << i << " " << c;
      for (const OutlineItem& item : a.Items()) {
        EXPECT_GE(item.PageIndex, -1);
        EXPECT_LT(item.PageIndex, 3);
        EXPECT_LE(static_cast<std::size_t>(item.TitlePosition + item.TitleLength), bytes.size());
        EXPECT_LE(static_cast<std::size_t>(item.ViewPosition + item.ViewLength), bytes.size());
        EXPECT_LE(static_cast<std::size_t>(item.ColourPosition + item.ColourLength), bytes.size());
      }
    }
  }
}

}  // namespace
}  // namespace folvex
