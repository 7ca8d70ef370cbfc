// The catalog analysis as the open sequence runs it: the catalog's own entries, the page-tree walk
// and, when outlines are kept, the outline and named destinations.
#include "engine/reading/catalog.h"

#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/reading/outline.h"
#include "engine/reading/page_tree.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using Objects = std::vector<std::pair<int, std::string>>;
using Ints = std::vector<int>;

// A file of the catalog (object 1, given whole) and further objects.
std::string File(const std::string& catalog, const Objects& objects) {
  testing::PdfWriter w;
  w.Object(1, catalog);
  for (const auto& [number, body] : objects) w.Object(number, body);
  w.Finish("/Size 100 /Root 1 0 R");
  return w.Bytes();
}

std::unique_ptr<testing::OpenedDocument> Open(const std::string& bytes) {
  auto doc = testing::OpenBytes(bytes);
  EXPECT_TRUE(doc->Parsed);
  return doc;
}

std::string Catalog(const std::string& entries = "") { return "<< /Type /Catalog /Pages 2 0 R " + entries + " >>"; }

// One page (3) under the root node 2.
const Objects kOnePage = {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}, {3, "<< /Type /Page >>"}};

Objects With(Objects objects, const Objects& more) {
  objects.insert(objects.end(), more.begin(), more.end());
  return objects;
}

int Analyze(testing::OpenedDocument& doc) { return AnalyzeCatalog(doc.State, doc.Slot()); }

TEST(AnalyzeCatalog, CatalogChecks) {
  const std::pair<const char*, int> cases[] = {
      // A /Root naming the page tree is the catalog without /Type or with a misspelt one, as
      // other readers take it; a page or page-tree node stays the wrong kind.
      {"<< /Type /Catalog /Pages 2 0 R >>", 0},   {"<< /Type /Catalogue /Pages 2 0 R >>", 0},
      {"<< /Pages 2 0 R >>", 0},                  {"<< /Type /Catalgg /Pages 2 0 R >>", 0},
      {"<< /Type /Catalogue >>", -118},           {"<< /Outlines 2 0 R >>", -115},
      {"<< /Type /Pages /Pages 2 0 R >>", -117},  {"<< /Type /Page /Pages 2 0 R >>", -117},
      {"<< /Type /Catalog >>", -119},             {"[ /Type /Catalog ]", -113},
  };
  for (const auto& [catalog, code] : cases) {
    auto doc = Open(File(catalog, kOnePage));
    EXPECT_EQ(Analyze(*doc), code == 0 ? 1 : -1) << catalog;
    EXPECT_EQ(doc->State.LastErrorCode, code) << catalog;
  }
  // Object 0 is no object, even when "0 0 obj" stands right behind the header comments.
  testing::PdfWriter zero;
  zero.Raw("0 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  zero.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  zero.Object(3, "<< /Type /Page >>");
  zero.Finish("/Size 4 /Root 0 0 R");
  auto objectZero = testing::OpenBytes(zero.Bytes());
  EXPECT_EQ(Analyze(*objectZero), -1);
  EXPECT_EQ(objectZero->State.LastErrorCode, -111);
}

// The job's "inherit" codes (layout 4, mode 5, direction 2) take the catalog's values, other codes
// stay; with the display scale "O" the catalog's open view and /FitWindow are taken as well.
TEST(AnalyzeCatalog, InheritedViewSettings) {
  struct Case {
    const char* Entries;
    std::array<int, 3> Job, Expected;  // layout, mode, direction
    const char* Scale;
    const char* View;  // the start of the inherited open view; "": none found; null: not checked
    int FitWindow;
  };
  const char* const gotoAction = "<< /S /GoTo /D [ 3 0 R   /FitH 700 ] >>";
  const Case cases[] = {
      {"/PageLayout /TwoColumnRight /PageMode /FullScreen /ViewerPreferences 4 0 R", {4, 5, 2}, {3, 4, 1}, "N", nullptr, 0},
      {"/PageMode /UseNone", {4, 5, 2}, {0, 0, 0}, "N", nullptr, 0},
      {"/PageMode /UseOutlines", {4, 3, 2}, {0, 3, 0}, "N", nullptr, 0},
      {"/PageMode /UseOutlines", {4, 5, 2}, {0, 1, 0}, "N", nullptr, 0},
      {"/OpenAction [3 0 R /XYZ 0 792 1.5]", {0, 0, 0}, {0, 0, 0}, "O", "/XYZ 0 792 1.5]", 0},
      {"/OpenAction 5 0 R", {0, 0, 0}, {0, 0, 0}, "O", "/FitH 700 ", 0},
      {"/OpenAction [(Chapter1) /Fit]", {0, 0, 0}, {0, 0, 0}, "O", "/Fit", 0},
      {"", {0, 0, 0}, {0, 0, 0}, "O", "", 0},
      {"/OpenAction 6 0 R", {0, 0, 0}, {0, 0, 0}, "O", "", 0},
      {"/ViewerPreferences << /FitWindow true >>", {0, 0, 0}, {0, 0, 0}, "O", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Entries);
    auto doc = Open(File(Catalog(c.Entries), With(kOnePage, {{4, "<< /Direction /R2L /FitWindow true >>"}, {5, gotoAction},
                                                             {6, "<< /S /JavaScript /JS (x) >>"}})));
    JobSettings& job = doc->State.Job;
    std::tie(job.JobPageLayout, job.JobPageMode, job.JobDirection) = std::tuple(c.Job[0], c.Job[1], c.Job[2]);
    doc->State.Settings.DispScale = c.Scale;
    ASSERT_EQ(Analyze(*doc), 1) << doc->State.LastErrorCode;
    EXPECT_EQ((std::array<int, 3>{job.JobPageLayout, job.JobPageMode, job.JobDirection}), c.Expected);
    EXPECT_EQ(job.FitWindow, c.FitWindow);  // adopted only when the open view is inherited
    const std::string view = c.View == nullptr ? "" : c.View;
    if (c.View != nullptr && view.empty()) {
      EXPECT_EQ(job.InheritedOpenAction, kOpenActionNoneFound);
    } else if (!view.empty()) {
      ASSERT_GE(job.InheritedOpenAction, 0);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(doc->Slot().Image.Begin()) + job.InheritedOpenAction,
                            view.size()), view);
    }
  }
}

constexpr int R = kInheritResources, M = kInheritMediaBox, C = kInheritCropBox, T = kInheritRotate;

TEST(PageTreeWalk, NeedsAndSourcesFollowThePath) {
  struct Page {
    int Number, Need;
    std::array<int, 4> Sources;  // /Resources, /MediaBox, /CropBox, /Rotate; zeros when Need is 0
  };
  struct Case {
    const char* Name;
    Objects Tree;
    std::vector<Page> Pages;
  };
  const Case cases[] = {
      {"nearest node defining each, state restored when a level ends",
       {{2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 /CropBox [0 0 2 2] >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] /Resources 9 0 R /Rotate 90 >>"},
        {4, "<< /Type /Pages /Kids [7 0 R] /MediaBox [0 0 1 1] /Resources << >> >>"},
        {5, "<< /Type /Page >>"}, {6, "<< /Type /Page /CropBox [0 0 1 1] >>"}, {7, "<< /Type /Page >>"}},
       {{7, R | M | C | T, {4, 4, 2, 3}}, {5, R | C | T, {3, 2, 2, 3}}, {6, 0, {}}}},
      {"each attribute of the page itself clears its bit",
       {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Resources << >> /MediaBox [0 0 1 1] "
            "/CropBox [0 0 1 1] /Rotate 0 >>"},
        {3, "<< /Type /Page /Resources << >> >>"}, {4, "<< /Type /Page /MediaBox [0 0 3 3] >>"},
        {5, "<< /Type /Page /CropBox [0 0 3 3] >>"}, {6, "<< /Type /Page /Rotate 180 >>"}},
       {{3, M | C | T, {2, 2, 2, 2}}, {4, R | C | T, {2, 2, 2, 2}}, {5, R | M | T, {2, 2, 2, 2}},
        {6, R | M | C, {2, 2, 2, 2}}}},
      // Node 5 and page 6 are met under two parents with different attributes: what the nodes hold
      // themselves is remembered, what the path gives them is not.
      {"shared nodes under parents with different attributes",
       {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R 6 0 R] >>"},
        {3, "<< /Type /Pages /Kids [5 0 R] /Rotate 90 >>"},
        {4, "<< /Type /Pages /Kids [5 0 R 6 0 R] /MediaBox [0 0 50 60] >>"},
        {5, "<< /Type /Pages /Kids [6 0 R] /CropBox [0 0 7 7] >>"}, {6, "<< /Type /Page /Resources << >> >>"}},
       {{6, C | T, {2, 2, 5, 3}}, {6, M | C, {2, 4, 5, 2}}, {6, M, {2, 4, 2, 2}}, {6, 0, {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto doc = Open(File(Catalog(), c.Tree));
    EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), static_cast<int>(c.Pages.size())) << doc->State.LastErrorCode;
    const auto& pages = doc->Slot().PageList;
    ASSERT_EQ(pages.size(), c.Pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(pages[i].Number, c.Pages[i].Number);
      EXPECT_EQ(pages[i].Need, c.Pages[i].Need);
      EXPECT_EQ(pages[i].Sources, c.Pages[i].Sources);
    }
  }
}

TEST(PageTreeWalk, PageBoxesAreWorkedOutPerPath) {
  // Node 5 and its page 6 sit under 3 (no /MediaBox, so the root's applies), under 4 (a direct
  // box) and under 7 (a box given by reference, which gives no numbers).
  auto doc = Open(File(Catalog(), {
      {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 7 0 R 4 0 R 8 0 R 9 0 R] /MediaBox [0 0 5 5] >>"},
      {3, "<< /Type /Pages /Kids [5 0 R] /Rotate 90 >>"},
      {4, "<< /Type /Pages /Kids [5 0 R] /MediaBox [0 0 50 60] >>"},
      {5, "<< /Type /Pages /Kids [6 0 R] /CropBox [0 0 1 1] >>"},
      {6, "<< /Type /Page >>"},
      {7, "<< /Type /Pages /Kids [5 0 R] /MediaBox 10 0 R >>"},
      {8, "<< /Type /Page /MediaBox [1 2 3 4] >>"},
      {9, "<< /Type /Page /MediaBox 10 0 R >>"},
      {10, "[0 0 70 80]"},
  }));
  doc->State.Settings.FileToOutline = 1;
  ASSERT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 6) << doc->State.LastErrorCode;
  const std::vector<std::array<float, 4>> expected = {
      {0, 0, 5, 5}, {0, 0, 50, 60}, {-1, -1, -1, -1}, {0, 0, 50, 60}, {1, 2, 3, 4}, {-1, -1, -1, -1}};
  const auto& boxes = doc->Slot().PageBoxes;
  ASSERT_EQ(boxes.size(), expected.size() + 1);
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(boxes[i].Box, expected[i]) << i;
  std::vector<int> nodes;
  for (const PagesBoxEntry& entry : doc->State.PagesBoxTable) nodes.push_back(entry.Node);
  EXPECT_EQ(nodes, (std::vector<int>{2, 4}));
}

// Nodes 3 .. 2 + depth, each listing the next one twice; the last lists page 99.
Objects SharedChain(int depth) {
  Objects objects = {{2, "<< /Type /Pages /Kids [3 0 R] >>"}};
  for (int n = 3; n < 3 + depth; ++n) {
    std::string next = std::to_string(n + 1 < 3 + depth ? n + 1 : 99);
    objects.push_back({n, "<< /Type /Pages /Kids [" + next + " 0 R " + next + " 0 R] >>"});
  }
  objects.push_back({99, "<< /Type /Page >>"});
  return objects;
}

// A root node and page 3 (and page 4 of generation 2).
Objects RootOver(const std::string& root) {
  return {{2, root}, {3, "<< /Type /Page >>"}, {4, "<< /Type /Page >>"}, {6, "[3 0 R 4 2 R]"}};
}

TEST(PageTreeWalk, PagesCountsLoopsAndFailures) {
  struct Case {
    const char* Name;
    Objects Tree;
    int Result;                // AnalyzeCatalog's result: the page count, or -1
    int Error;                 // LastErrorCode when Result is -1
    std::vector<int> Numbers;  // the page list
    long Scans = 0;            // nodes examined (0: not checked)
  };
  std::string manyKids = "<< /Type /Pages /Kids [";
  for (int i = 0; i < 40000; ++i) manyKids += "3 0 R ";
  const Case cases[] = {
      // /Count gives way to fewer pages found, not to more.
      {"count smaller", RootOver("<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] /Count 2 >>"), 2, 0, {3, 3, 3}},
      {"count larger", RootOver("<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] /Count 4 >>"), 3, 0, {3, 3, 3}},
      {"count huge", RootOver("<< /Type /Pages /Kids [3 0 R] /Count 99999999999999 >>"), 1, 0, {3}},
      {"no count", RootOver("<< /Type /Pages /Kids [3 0 R 4 2 R] >>"), 2, 0, {3, 4}},
      {"root kids indirect", RootOver("<< /Type /Pages /Kids 6 0 R /Count 2 >>"), 2, 0, {3, 4}},
      {"kid back to the root",
       {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}, {3, "<< /Type /Pages /Kids [4 0 R 2 0 R 5 0 R] >>"},
        {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
       1, 0, {4, 5}},
      {"two nodes listing each other",
       {{2, "<< /Type /Pages /Kids [3 0 R 6 0 R] >>"}, {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
        {4, "<< /Type /Pages /Kids [3 0 R 7 0 R] >>"}, {5, "<< /Type /Page >>"}, {6, "<< /Type /Page >>"},
        {7, "<< /Type /Page >>"}},
       3, 0, {7, 5, 6}},
      {"a loop and nothing else",
       {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}, {3, "<< /Type /Pages /Kids [3 0 R] >>"}}, -1, -149, {}},
      {"subtree listed twice, each node examined once",
       {{2, "<< /Type /Pages /Kids [3 0 R 5 0 R 3 0 R] >>"}, {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
        {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
       5, 0, {4, 5, 5, 4, 5}, 3},
      {"one page listed 40000 times", {{2, manyKids + "] >>"}, {3, "<< /Type /Page >>"}}, 40000, 0,
       std::vector<int>(40000, 3), 1},
      {"shared chain ten deep", SharedChain(10), 1024, 0, std::vector<int>(1024, 99), 11},
      {"shared chain fourteen deep: beyond the visits allowed", SharedChain(14), -1, -144, {}},
      // Without /Type a node is told by its /Kids and a page by having none; a /Kids that lost
      // its "[" is read up to its "]".
      {"no types", {{2, "<< /Kids [5 0 R 4 2 R] >>"}, {4, "<< /Zype /Page >>"}, {5, "<< /Kids [3 0 R] >>"}, {3, "<< >>"}},
       2, 0, {3, 4}},
      {"kids without their bracket", RootOver("<< /Type /Pages /Kids 3 0 R 4 2 R] >>"), 2, 0, {3, 4}},
      // A page may stand in /Kids itself (listed with number 0); a node may not.
      {"direct pages", RootOver("<< /Type /Pages /Kids [<< /Type /Page /Kids 1 >> 3 0 R <</Rotate 90>>] >>"), 3, 0, {0, 3, 0}},
      {"direct node", RootOver("<< /Type /Pages /Kids [3 0 R << /Type /Pages /Kids [4 2 R] >>] >>"), -1, -144, {}},
      {"kid of another type",
       {{2, "<< /Type /Pages /Kids [3 0 R 5 0 R] >>"}, {3, "<< >>"}, {5, "<< /Type /Font /Kids [3 0 R] >>"}}, -1, -144, {}},
      {"root of another type", RootOver("<< /Type /Page /Kids [3 0 R] >>"), -1, -130, {}},
      {"no kids", RootOver("<< /Type /Pages /Count 1 >>"), -1, -132, {}},
      {"neither type nor kids at the root", RootOver("<< /Count 1 >>"), -1, -128, {}},
      {"missing kid", RootOver("<< /Type /Pages /Kids [9 0 R] >>"), -1, -143, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int keepBoxes = 0; keepBoxes < 2; ++keepBoxes) {
      auto doc = Open(File(Catalog(), c.Tree));
      doc->State.Settings.FileToOutline = keepBoxes;
      EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), c.Result);
      if (c.Result < 0) {
        EXPECT_EQ(doc->State.LastErrorCode, c.Error);
      }
      std::vector<int> numbers;
      for (const PageEntry& page : doc->Slot().PageList) numbers.push_back(page.Number);
      EXPECT_TRUE(numbers == c.Numbers) << numbers.size() << " pages listed";
      if (c.Scans != 0) {
        EXPECT_EQ(doc->State.PageNodeScans, c.Scans);
      }
    }
  }
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

// Pages 3, 4, 5 under 2, a font (6) and further objects; the catalog carries catalogEntries.
std::string Document(const std::string& catalogEntries, const Objects& objects) {
  return File(Catalog(catalogEntries), With({{2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>"},
                                             {3, "<< /Type /Page /Parent 2 0 R >>"}, {4, "<< /Type /Page /Parent 2 0 R >>"},
                                             {5, "<< /Type /Page /Parent 2 0 R >>"},
                                             {6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}},
                                            objects));
}

// The outline analysis, run as the open sequence runs it when outlines are kept.
Analysis Analyze(const std::string& bytes, JobControl* control = nullptr) {
  Analysis a{Open(bytes)};
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

}  // namespace
}  // namespace folvex
