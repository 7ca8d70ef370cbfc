#include "engine/reading/outline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "engine/reading/catalog.h"
#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

// A document with three pages (objects 3, 4, 5 under 2), a font (object 6), a catalog (object 1)
// carrying catalogEntries, and further objects.
std::string Document(const std::string& catalogEntries, const std::map<int, std::string>& objects) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogEntries + " >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] >>");
  for (int page = 3; page <= 5; ++page) w.Object(page, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (const auto& [number, body] : objects) w.Object(number, body);
  const int size = objects.empty() ? 7 : std::max(7, objects.rbegin()->first + 1);
  w.Finish("/Size " + std::to_string(size) + " /Root 1 0 R");
  return w.Bytes();
}

struct Analysis {
  EngineState State;
  DocumentSlot Slot;
  int Result = 0;

  std::string Text(int position, int length) const {
    return std::string(reinterpret_cast<const char*>(Slot.Image.Begin()) + position, static_cast<std::size_t>(length));
  }
  std::string Title(std::size_t record) const {
    return Text(Slot.OutlineItems[record].TitlePosition, Slot.OutlineItems[record].TitleLength);
  }
  std::string View(std::size_t record) const {
    return Text(Slot.OutlineItems[record].ViewPosition, Slot.OutlineItems[record].ViewLength);
  }
  std::string Colour(std::size_t record) const {
    return Text(Slot.OutlineItems[record].ColourPosition, Slot.OutlineItems[record].ColourLength);
  }
  int Page(std::size_t record) const { return Slot.OutlineItems[record].PageIndex; }
};

// Parses bytes and runs the outline analysis with the page list 3, 4, 5.
void Analyze(Analysis& a, const std::string& bytes, JobControl* control = nullptr) {
  a.Slot.Image = testing::ImageOf(bytes);
  int catalogNumber = -1, catalogGeneration = 0;
  ASSERT_EQ(ParseXrefChain(a.State, a.Slot.Image, a.Slot.Xref, catalogNumber, catalogGeneration), 1);
  ASSERT_EQ(catalogNumber, 1);
  a.Slot.PageList = {PageEntry{3}, PageEntry{4}, PageEntry{5}};
  a.State.PageCount = 3;
  a.State.Control = control;
  int error = 0;
  const Byte* begin = a.Slot.Image.Begin();
  const Byte* end = a.Slot.Image.End();
  const Byte* body = LocateObject(begin, end, LookupObjectOffset(a.Slot.Xref, 1, error), 1, error);
  ASSERT_NE(body, nullptr);
  const Byte* catalogEnd = FindDictEnd(body + 2, end);
  ASSERT_NE(catalogEnd, nullptr);
  a.Result = AnalyzeOutlines(a.State, a.Slot, body + 2, catalogEnd);
}

std::string Outlines(const std::string& first) { return "<< /Type /Outlines /First " + first + " >>"; }

TEST(OutlineTest, ArrayDestinationGivesPageIndexAndView) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R",
                      {{10, "<< /Type /Outlines /First 11 0 R /Last 11 0 R /Count 1 >>"},
                       {11, "<< /Title (Third page) /Parent 10 0 R /Dest [5 0 R /XYZ 0 792 0] >>"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 2u);
  const OutlineItem& root = a.Slot.OutlineItems[0];
  EXPECT_EQ(root.Level, 0);
  EXPECT_EQ(root.Children, 1);
  EXPECT_EQ(root.Count, 1);
  EXPECT_EQ(root.TitleLength, 0);
  EXPECT_EQ(a.Slot.OutlineItems[1].Level, 1);
  EXPECT_EQ(a.Page(1), 2);
  EXPECT_EQ(a.View(1), "/XYZ 0 792 0");
  EXPECT_EQ(a.Title(1), "(Third page)");
  EXPECT_EQ(a.Slot.OutlineItems[1].Count, 0);
}

TEST(OutlineTest, CatalogWithoutOutlinesGivesNoRecords) {
  Analysis a;
  Analyze(a, Document("", {}));
  EXPECT_EQ(a.Result, 3);
  EXPECT_TRUE(a.Slot.OutlineItems.empty());
}

TEST(OutlineTest, OutlinesWithoutFirstGivesOneRecord) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R", {{10, "<< /Type /Outlines /Count 0 >>"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 1u);
  EXPECT_EQ(a.Slot.OutlineItems[0].Children, 0);
}

TEST(OutlineTest, DirectOutlinesDictionaryIsWalked) {
  Analysis a;
  Analyze(a, Document("/Outlines << /First 11 0 R /Count 1 >>", {{11, "<< /Title (A) /Dest [4 0 R /Fit] >>"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 2u);
  EXPECT_EQ(a.Slot.OutlineItems[0].Count, 1);
  EXPECT_EQ(a.Page(1), 1);
  EXPECT_EQ(a.View(1), "/Fit");
}

TEST(OutlineTest, ThreeLevelTreeIsRecordedDepthFirst) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R",
                      {{10, "<< /Type /Outlines /First 11 0 R /Last 15 0 R /Count 5 >>"},
                       {11, "<< /Title (A) /First 12 0 R /Next 15 0 R /Count -3 >>"},
                       {12, "<< /Title (A1) /First 13 0 R /Next 14 0 R /Count 1 >>"},
                       {13, "<< /Title (A1a) >>"},
                       {14, "<< /Title (A2) >>"},
                       {15, "<< /Title (B) >>"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 6u);
  const std::vector<std::string> titles = {"", "(A)", "(A1)", "(A1a)", "(A2)", "(B)"};
  const std::vector<int> levels = {0, 1, 2, 3, 2, 1};
  const std::vector<int> children = {2, 2, 1, 0, 0, 0};
  const std::vector<int> counts = {5, -3, 1, 0, 0, 0};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(a.Title(i), titles[i]) << i;
    EXPECT_EQ(a.Slot.OutlineItems[i].Level, levels[i]) << i;
    EXPECT_EQ(a.Slot.OutlineItems[i].Children, children[i]) << i;
    EXPECT_EQ(a.Slot.OutlineItems[i].Count, counts[i]) << i;
    EXPECT_EQ(a.Page(i), -1) << i;
  }
}

TEST(OutlineTest, PagesOutsideThePageListGiveMinusOne) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                           {11, "<< /Title (Font) /Dest [6 0 R /Fit] /Next 12 0 R >>"},
                                           {12, "<< /Title (Far) /Dest [999 0 R /Fit] /Next 13 0 R >>"},
                                           {13, "<< /Title (Number) /Dest [0 /Fit] /Next 14 0 R >>"},
                                           {14, "<< /Title (Huge) /Dest [2147483647 0 R /Fit] >>"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 5u);
  for (std::size_t i = 1; i < 5; ++i) EXPECT_EQ(a.Page(i), -1) << i;
  EXPECT_EQ(a.View(1), "/Fit");
  EXPECT_EQ(a.Slot.OutlineItems[3].ViewLength, 0);
}

TEST(OutlineTest, TitleColourAndFlagForms) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R",
                      {{10, Outlines("11 0 R")},
                       {11, "<< /Title 50 0 R /C [1 0 0.5] /F 2 /Next 12 0 R >>"},
                       {12, "<< /Title <FEFF0041> /C [] /F 51 0 R /Next 13 0 R >>"},
                       {13, "<< /Title /NotAString /F -1 /C 52 0 R >>"},
                       {50, "(Referenced (nested) title)"},
                       {51, "3"},
                       {52, "[0 0 1]"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 4u);
  EXPECT_EQ(a.Title(1), "(Referenced (nested) title)");
  EXPECT_EQ(a.Colour(1), "1 0 0.5");
  EXPECT_EQ(a.Slot.OutlineItems[1].Flags, 2);
  EXPECT_EQ(a.Title(2), "<FEFF0041>");
  EXPECT_EQ(a.Slot.OutlineItems[2].ColourLength, 0);
  EXPECT_EQ(a.Slot.OutlineItems[2].Flags, 3);
  EXPECT_EQ(a.Slot.OutlineItems[3].TitleLength, 0);
  EXPECT_EQ(a.Slot.OutlineItems[3].Flags, 0);
  EXPECT_EQ(a.Slot.OutlineItems[3].ColourLength, 0);
}

TEST(OutlineTest, GoToActionDestinations) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R",
                      {{10, Outlines("11 0 R")},
                       {11, "<< /A << /S /GoTo /D [4 0 R /Fit] >> /Dest [5 0 R /Fit] /Next 12 0 R >>"},
                       {12, "<< /A 30 0 R /Next 13 0 R >>"},
                       {13, "<< /A << /S /URI /URI (http://example.org/) >> /Dest [3 0 R /FitH 5] /Next 14 0 R >>"},
                       {14, "<< /A << /S /GoToR /F (other.pdf) /D [4 0 R /Fit] >> >>"},
                       {30, "<< /Type /Action /S /GoTo /D 31 0 R >>"},
                       {31, "[5 0 R /XYZ null null 0]"}}));
  ASSERT_EQ(a.Result, 3);
  ASSERT_EQ(a.Slot.OutlineItems.size(), 5u);
  EXPECT_EQ(a.Page(1), 1);
  EXPECT_EQ(a.Page(2), 2);
  EXPECT_EQ(a.View(2), "/XYZ null null 0");
  EXPECT_EQ(a.Page(3), 0);
  EXPECT_EQ(a.View(3), "/FitH 5");
  EXPECT_EQ(a.Page(4), -1);
}

const std::map<int, std::string> kChapterObjects = {
    {20, "<< /Names [(Chapter10) 21 0 R (Chapter1) 22 0 R (Chapter1) 23 0 R <4E616D65> null] >>"},
    {21, "[3 0 R /Fit]"},
    {22, "<< /D [5 0 R /FitH 700] >>"},
    {23, "[4 0 R /Fit]"}};

TEST(OutlineTest, StringDestinationsUseTheFirstExactName) {
  std::map<int, std::string> objects = kChapterObjects;
  objects[10] = Outlines("11 0 R");
  objects[11] = "<< /Dest (Chapter1) /Next 12 0 R >>";
  objects[12] = "<< /Dest 40 0 R /Next 13 0 R >>";
  objects[13] = "<< /Dest (Chapter) /Next 14 0 R >>";
  objects[14] = "<< /Dest <4E616D65> /Next 15 0 R >>";
  objects[15] = "<< /A << /S /GoTo /D (Chapter1) >> >>";
  objects[40] = "(Chapter10)";
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R /Names << /Dests 20 0 R >>", objects));
  ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
  ASSERT_EQ(a.Slot.OutlineItems.size(), 6u);
  EXPECT_EQ(a.Page(1), 2);
  EXPECT_EQ(a.View(1), "/FitH 700");
  EXPECT_EQ(a.Page(2), 0);
  EXPECT_EQ(a.Page(3), -1);
  EXPECT_EQ(a.Page(4), -1);  // the name exists but its value is null
  EXPECT_EQ(a.Page(5), 2);
}

TEST(OutlineTest, OldDestsDictionaryByName) {
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R /Dests 40 0 R",
                      {{10, Outlines("11 0 R")},
                       {11, "<< /Dest /Later /Next 12 0 R >>"},
                       {12, "<< /Dest /Intro /Next 13 0 R >>"},
                       {13, "<< /Dest /Boxed /Next 14 0 R >>"},
                       {14, "<< /Dest /Intr /Next 15 0 R >>"},
                       {15, "<< /Dest /Nope >>"},
                       {40, "<< /Intro [3 0 R /Fit] /Later 41 0 R /Boxed << /D [5 0 R /FitB] >> /Intro [5 0 R] >>"},
                       {41, "[4 0 R /XYZ 10 20 null]"}}));
  ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
  ASSERT_EQ(a.Slot.OutlineItems.size(), 6u);
  EXPECT_EQ(a.Page(1), 1);
  EXPECT_EQ(a.View(1), "/XYZ 10 20 null");
  EXPECT_EQ(a.Page(2), 0);
  EXPECT_EQ(a.View(2), "/Fit");
  EXPECT_EQ(a.Page(3), 2);
  EXPECT_EQ(a.View(3), "/FitB");
  EXPECT_EQ(a.Page(4), -1);
  EXPECT_EQ(a.Page(5), -1);
}

TEST(OutlineTest, NameTreeKidsAreWalkedWithAlternatingProgress) {
  std::map<int, std::string> objects = {
      {10, Outlines("11 0 R")},
      {11, "<< /Dest (beta) /Next 12 0 R >>"},
      {12, "<< /Dest (zeta) /Next 13 0 R >>"},
      {13, "<< /Dest (alpha) >>"},
      {20, "<< /Kids [21 0 R 24 0 R] >>"},
      {21, "<< /Kids [22 0 R 23 0 R] /Limits [(alpha) (beta)] >>"},
      {22, "<< /Limits [(alpha) (alpha)] /Names [(alpha) 30 0 R] >>"},
      {23, "<< /Names [(beta) 31 0 R] >>"},
      {24, "<< /Names [(zeta) [3 0 R /Fit]] >>"},
      {30, "[3 0 R /Fit]"},
      {31, "[4 0 R /Fit]"}};
  const std::string bytes = Document("/Outlines 10 0 R /Names << /Dests 20 0 R >>", objects);

  for (bool japanese : {false, true}) {
    JobControl control;
    control.Japanese = japanese;
    std::vector<std::pair<int, std::string>> reports;
    control.ProgressSink = [&](int percent, const std::string& label) { reports.emplace_back(percent, label); };
    Analysis a;
    a.State.ProgressFileIndex = 2;
    a.State.ProgressFileCount = 3;
    Analyze(a, bytes, &control);
    ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
    EXPECT_EQ(a.Page(1), 1);
    EXPECT_EQ(a.Page(2), 0);
    EXPECT_EQ(a.View(2), "/Fit");
    EXPECT_EQ(a.Page(3), 0);
    const std::string longLabel = japanese ? "しおり構造解析中" : "Analyzing Outline";
    const std::string shortLabel = japanese ? "しおり構造" : "Analyzing";
    const std::vector<std::pair<int, std::string>> expected = {
        {7, longLabel}, {7, shortLabel}, {7, longLabel}, {7, shortLabel}};
    EXPECT_EQ(reports, expected);
  }
}

TEST(OutlineTest, NameTreeIsReadOnlyWhenAStringDestinationOccurs) {
  JobControl control;
  int reports = 0;
  control.ProgressSink = [&](int, const std::string&) { ++reports; };
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 99 0 R",
                      {{10, Outlines("11 0 R")}, {11, "<< /Dest [3 0 R /Fit] >>"}, {20, "<< /Kids 25 0 R >>"}}),
          &control);
  EXPECT_EQ(a.Result, 3);
  EXPECT_EQ(a.Page(1), 0);
  EXPECT_EQ(reports, 0);
}

TEST(OutlineTest, ManyNamesKeepFirstMatchSemantics) {
  std::string names;
  std::map<int, std::string> objects = {{10, Outlines("11 0 R")}};
  const int count = 3000;
  for (int i = 0; i < count; ++i) names += "(N" + std::to_string(i) + ") " + std::to_string(200 + i % 3) + " 0 R ";
  names += "(N7) 202 0 R ";
  objects[20] = "<< /Names [" + names + "] >>";
  objects[200] = "[3 0 R /Fit]";
  objects[201] = "[4 0 R /Fit]";
  objects[202] = "[5 0 R /Fit]";
  const int items = 400;
  for (int i = 0; i < items; ++i) {
    std::string next = i + 1 < items ? " /Next " + std::to_string(1000 + i + 1) + " 0 R" : "";
    objects[1000 + i] = "<< /Dest (N" + std::to_string(i * 7) + ")" + next + " >>";
  }
  objects[10] = Outlines("1000 0 R");
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R /Names << /Dests 20 0 R >>", objects));
  ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
  ASSERT_EQ(a.Slot.OutlineItems.size(), static_cast<std::size_t>(items + 1));
  EXPECT_EQ(a.Slot.OutlineItems[0].Children, items);
  for (int i = 0; i < items; ++i) EXPECT_EQ(a.Page(1 + i), (i * 7) % 3) << i;
}

TEST(OutlineTest, LoopsTerminate) {
  {
    Analysis a;
    Analyze(a, Document("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                             {11, "<< /Title (A) /Next 12 0 R >>"},
                                             {12, "<< /Title (B) /Next 11 0 R >>"}}));
    ASSERT_EQ(a.Result, 3);
    ASSERT_EQ(a.Slot.OutlineItems.size(), 3u);
    EXPECT_EQ(a.Slot.OutlineItems[0].Children, 2);
  }
  {
    Analysis a;
    Analyze(a, Document("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                             {11, "<< /Title (A) /First 12 0 R /Next 10 0 R >>"},
                                             {12, "<< /Title (A1) /First 11 0 R /Next 12 0 R >>"}}));
    ASSERT_EQ(a.Result, 3);
    ASSERT_EQ(a.Slot.OutlineItems.size(), 3u);
    EXPECT_EQ(a.Slot.OutlineItems[2].Level, 2);
    EXPECT_EQ(a.Slot.OutlineItems[1].Children, 1);
  }
  {
    Analysis a;
    Analyze(a, Document("/Outlines 10 0 R /Names << /Dests 20 0 R >>",
                        {{10, Outlines("11 0 R")},
                         {11, "<< /Dest (x) >>"},
                         {20, "<< /Kids [21 0 R] >>"},
                         {21, "<< /Kids [20 0 R 21 0 R 22 0 R] >>"},
                         {22, "<< /Names [(x) 23 0 R] >>"},
                         {23, "[5 0 R /Fit]"}}));
    ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
    EXPECT_EQ(a.Page(1), 2);
  }
}

TEST(OutlineTest, CancelEndsTheWalk) {
  JobControl control;
  control.CancelFlag = 3;
  Analysis a;
  Analyze(a, Document("/Outlines 10 0 R", {{10, Outlines("11 0 R")}, {11, "<< /Title (A) >>"}}), &control);
  EXPECT_EQ(a.Result, -1);
  EXPECT_EQ(a.State.LastErrorCode, 0);
  EXPECT_TRUE(a.Slot.OutlineItems.empty());
}

struct FailureCase {
  const char* Name;
  std::string CatalogEntries;
  std::map<int, std::string> Objects;
  int Code;
};

TEST(OutlineTest, StructuralFailuresSetTheirCodes) {
  const std::string names = "/Outlines 10 0 R /Names << /Dests 20 0 R >>";
  const std::map<int, std::string> stringItem = {{10, Outlines("11 0 R")}, {11, "<< /Dest (x) >>"}};
  auto with = [](std::map<int, std::string> objects, int number, const std::string& body) {
    objects[number] = body;
    return objects;
  };
  const std::vector<FailureCase> cases = {
      {"outlines number 0", "/Outlines 0 0 R", {}, -161},
      {"outlines not a number", "/Outlines /None", {}, -161},
      {"outlines without R", "/Outlines 10 0", {{10, "<< >>"}}, -164},
      {"outlines object missing", "/Outlines 10 0 R", {}, -151},
      {"outlines not a dictionary", "/Outlines 10 0 R", {{10, "[1 2 3]"}}, -153},
      {"item missing", "/Outlines 10 0 R", {{10, Outlines("12 0 R")}}, -151},
      {"first without generation", "/Outlines 10 0 R", {{10, "<< /First 11 /Count 1 >>"}}, -156},
      {"next without R", "/Outlines 10 0 R", {{10, Outlines("11 0 R")}, {11, "<< /Next 12 0 >>"}}, -160},
      {"root kids not an array", names, with(stringItem, 20, "<< /Kids 25 0 R >>"), -1583},
      {"name not a string", names, with(stringItem, 20, "<< /Names [/x 21 0 R] >>"), -151},
      {"names value unreadable", names, with(stringItem, 20, "<< /Names [(x) /Fit] >>"), -1620},
      {"names not an array", names, with(stringItem, 20, "<< /Names 7 >>"), -1625},
      {"kid missing", names, with(stringItem, 20, "<< /Kids [29 0 R] >>"), -1624},
      {"kid entry not a reference", names, with(stringItem, 20, "<< /Kids [(a)] >>"), -1623},
      {"named value missing", names, with(stringItem, 20, "<< /Names [(x) 29 0 R] >>"), -1629},
      {"catalog names unreadable", "/Outlines 10 0 R /Names 29 0 R", stringItem, -1621},
      {"dests unreadable", "/Outlines 10 0 R /Dests [1]",
       {{10, Outlines("11 0 R")}, {11, "<< /Dest /x >>"}}, -1626},
      {"dests value unreadable", "/Outlines 10 0 R /Dests << /x (y) >>",
       {{10, Outlines("11 0 R")}, {11, "<< /Dest /x >>"}}, -1627},
      {"dests without page reference", "/Outlines 10 0 R /Dests << /x [0 /Fit] >>",
       {{10, Outlines("11 0 R")}, {11, "<< /Dest /x >>"}}, -1628},
  };
  for (const FailureCase& c : cases) {
    Analysis a;
    Analyze(a, Document(c.CatalogEntries, c.Objects));
    EXPECT_EQ(a.Result, -1) << c.Name;
    EXPECT_EQ(a.State.LastErrorCode, c.Code) << c.Name;
    EXPECT_TRUE(a.Slot.OutlineItems.empty()) << c.Name;
  }
}

TEST(OutlineTest, NodeWhoseHeaderDoesNotMatchFailsWithMinus152) {
  std::string bytes = Document("/Outlines 10 0 R", {{10, "<< /Type /Outlines >>"}});
  bytes.replace(bytes.find("10 0 obj"), 8, "13 0 obj");
  Analysis a;
  Analyze(a, bytes);
  EXPECT_EQ(a.Result, -1);
  EXPECT_EQ(a.State.LastErrorCode, -152);
}

// qpdf resolves destinations on its own; its page positions, in the same depth-first order, must
// match ours for array, name-tree and old /Dests destinations.
TEST(OutlineTest, PageIndexesAgreeWithQpdf) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string bytes =
      Document("/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 40 0 R",
               {{10, "<< /Type /Outlines /First 11 0 R /Count 7 >>"},
                {11, "<< /Title (A) /Parent 10 0 R /Dest (Chapter1) /First 14 0 R /Next 12 0 R >>"},
                {12, "<< /Title (B) /Parent 10 0 R /Dest /Later /Next 13 0 R >>"},
                {13, "<< /Title (C) /Parent 10 0 R /A << /S /GoTo /D [4 0 R /Fit] >> /First 16 0 R >>"},
                {14, "<< /Title (A1) /Parent 11 0 R /Dest [5 0 R /XYZ 0 0 0] /Next 15 0 R >>"},
                {15, "<< /Title (A2) /Parent 11 0 R /Dest (Nowhere) >>"},
                {16, "<< /Title (C1) /Parent 13 0 R /Dest (Chapter10) /First 17 0 R >>"},
                {17, "<< /Title (C1a) /Parent 16 0 R /Dest /Early >>"},
                {20, "<< /Kids [21 0 R] >>"},
                {21, "<< /Limits [(Chapter1) (Chapter10)] /Names [(Chapter1) 22 0 R (Chapter10) 23 0 R] >>"},
                {22, "[5 0 R /FitH 700]"},
                {23, "[3 0 R /Fit]"},
                {40, "<< /Later [4 0 R /Fit] /Early 41 0 R >>"},
                {41, "[3 0 R /FitV 10]"}});
  Analysis a;
  Analyze(a, bytes);
  ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;

  const std::string path = testing::WriteTempFile("outline-oracle.pdf", bytes);
  const testing::CommandResult json = testing::RunCommand("qpdf --json --json-key=outlines '" + path + "'");
  ASSERT_EQ(json.ExitCode, 0);
  const std::regex position("\"destpageposfrom1\": (null|[0-9]+)");
  std::vector<int> expected;
  for (auto it = std::sregex_iterator(json.Output.begin(), json.Output.end(), position); it != std::sregex_iterator();
       ++it) {
    expected.push_back((*it)[1] == "null" ? -1 : std::stoi((*it)[1]) - 1);
  }
  ASSERT_EQ(expected.size() + 1, a.Slot.OutlineItems.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(a.Page(i + 1), expected[i]) << a.Title(i + 1);
}

// Every byte of the objects replaced by bytes that open or close strings, arrays and dictionaries:
// the analysis ends with its page count or a code, never with a crash or a hang.
TEST(OutlineTest, DamagedBytesEndInResultOrCode) {
  std::map<int, std::string> objects = kChapterObjects;
  objects[10] = "<< /Type /Outlines /First 11 0 R /Count 3 >>";
  objects[11] = "<< /Title (A) /Dest (Chapter1) /First 12 0 R /Next 13 0 R /C [1 0 0] /F 51 0 R >>";
  objects[12] = "<< /Title <41> /A << /S /GoTo /D [4 0 R /Fit] >> /Count -1 >>";
  objects[13] = "<< /Title 50 0 R /Dest /Later >>";
  objects[40] = "<< /Later [4 0 R /Fit] /Boxed << /D [5 0 R] >> >>";
  objects[50] = "(Title)";
  objects[51] = "2";
  const std::string original = Document("/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 40 0 R", objects);
  const std::size_t first = original.find("1 0 obj");
  const std::size_t last = original.find("xref");
  for (std::size_t i = first; i < last; ++i) {
    for (char c : std::string("([<>]) 0/")) {
      std::string bytes = original;
      bytes[i] = c;
      Analysis a;
      a.Slot.Image = testing::ImageOf(bytes);
      int catalogNumber = -1, generation = 0;
      ASSERT_EQ(ParseXrefChain(a.State, a.Slot.Image, a.Slot.Xref, catalogNumber, generation), 1);
      a.Slot.PageList = {PageEntry{3}, PageEntry{4}, PageEntry{5}};
      a.State.PageCount = 3;
      int error = 0;
      const Byte* begin = a.Slot.Image.Begin();
      const Byte* end = a.Slot.Image.End();
      const Byte* body = LocateObject(begin, end, LookupObjectOffset(a.Slot.Xref, 1, error), 1, error);
      if (body == nullptr || !StartsWith(body, end, "<<")) continue;
      const Byte* catalogEnd = FindDictEnd(body + 2, end);
      if (catalogEnd == nullptr) continue;
      int result = AnalyzeOutlines(a.State, a.Slot, body + 2, catalogEnd);
      if (result == -1) {
        EXPECT_NE(a.State.LastErrorCode, 0) << i << " " << c;
      } else {
        ASSERT_EQ(result, 3) << i << " " << c;
        for (const OutlineItem& item : a.Slot.OutlineItems) {
          EXPECT_GE(item.PageIndex, -1);
          EXPECT_LT(item.PageIndex, 3);
          EXPECT_LE(static_cast<std::size_t>(item.TitlePosition + item.TitleLength), bytes.size());
          EXPECT_LE(static_cast<std::size_t>(item.ViewPosition + item.ViewLength), bytes.size());
          EXPECT_LE(static_cast<std::size_t>(item.ColourPosition + item.ColourLength), bytes.size());
        }
      }
    }
  }
}

TEST(OutlineTest, AnalyzeCatalogCollectsOutlinesWhenKept) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 7 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 10 0 R] /Count 3 >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
  w.Object(7, "<< /Type /Outlines /First 8 0 R /Count 2 >>");
  w.Object(8, "<< /Title (Last) /Dest [12 0 R /Fit] /Next 9 0 R >>");
  w.Object(9, "<< /Title (Second) /Dest [11 0 R /Fit] >>");
  w.Object(10, "<< /Type /Pages /Parent 2 0 R /Kids [11 0 R 12 0 R] /Count 2 /MediaBox [0 0 100 100] >>");
  w.Object(11, "<< /Type /Page /Parent 10 0 R >>");
  w.Object(12, "<< /Type /Page /Parent 10 0 R >>");
  w.Finish("/Size 13 /Root 1 0 R");
  EngineState state;
  state.Job.KeepOutlines = 1;
  DocumentSlot slot;
  slot.Image = testing::ImageOf(w.Bytes());
  int generation = 0;
  ASSERT_EQ(ParseXrefChain(state, slot.Image, slot.Xref, slot.CatalogNumber, generation), 1);
  ASSERT_EQ(AnalyzeCatalog(state, slot), 3) << state.LastErrorCode;
  ASSERT_EQ(slot.OutlineItems.size(), 3u);
  EXPECT_EQ(slot.OutlineItems[1].PageIndex, 2);
  EXPECT_EQ(slot.OutlineItems[2].PageIndex, 1);
}

}  // namespace
}  // namespace folvex
