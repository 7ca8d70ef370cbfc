#include "engine/reading/outline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "engine/reading/catalog.h"
#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;
using Objects = std::map<int, std::string>;

// A document with three pages (objects 3, 4, 5 under 2), a font (object 6), a catalog (object 1)
// carrying catalogEntries, and further objects.
std::string Document(const std::string& catalogEntries, const Objects& objects) {
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

  const OutlineItem& Item(std::size_t record) const { return Slot.OutlineItems[record]; }
  std::string Text(int position, int length) const {
    return std::string(reinterpret_cast<const char*>(Slot.Image.Begin()) + position, static_cast<std::size_t>(length));
  }
  std::string Title(std::size_t record) const { return Text(Item(record).TitlePosition, Item(record).TitleLength); }
  std::string View(std::size_t record) const { return Text(Item(record).ViewPosition, Item(record).ViewLength); }
  std::string Colour(std::size_t record) const { return Text(Item(record).ColourPosition, Item(record).ColourLength); }
  int Page(std::size_t record) const { return Item(record).PageIndex; }
  // One field of every record, the root's included.
  std::vector<int> Field(int32_t OutlineItem::*field) const {
    std::vector<int> values;
    for (const OutlineItem& item : Slot.OutlineItems) values.push_back(item.*field);
    return values;
  }
};

// Parses bytes and runs the outline analysis with the page list 3, 4, 5. False when the catalog
// dictionary cannot be found.
bool Analyze(Analysis& a, const std::string& bytes, JobControl* control = nullptr) {
  a.Slot.Image = testing::ImageOf(bytes);
  int catalogNumber = -1, catalogGeneration = 0, error = 0;
  if (ParseXrefChain(a.State, a.Slot.Image, a.Slot.Xref, catalogNumber, catalogGeneration) != 1 ||
      catalogNumber != 1) {
    ADD_FAILURE() << "the test document does not parse";
    return false;
  }
  a.Slot.PageList = {PageEntry{3}, PageEntry{4}, PageEntry{5}};
  a.State.PageCount = 3;
  a.State.Control = control;
  const Byte* end = a.Slot.Image.End();
  const Byte* body = LocateObject(a.Slot.Image.Begin(), end, LookupObjectOffset(a.Slot.Xref, 1, error), 1, error);
  if (body == nullptr || !StartsWith(body, end, "<<")) return false;
  const Byte* catalogEnd = FindDictEnd(body + 2, end);
  if (catalogEnd == nullptr) return false;
  a.Result = AnalyzeOutlines(a.State, a.Slot, body + 2, catalogEnd);
  return true;
}

std::unique_ptr<Analysis> Walk(const std::string& catalogEntries, const Objects& objects,
                               JobControl* control = nullptr) {
  auto a = std::make_unique<Analysis>();
  EXPECT_TRUE(Analyze(*a, Document(catalogEntries, objects), control));
  return a;
}

std::string Outlines(const std::string& first) { return "<< /Type /Outlines /First " + first + " >>"; }

using Ints = std::vector<int>;

TEST(OutlineTest, ArrayDestinationGivesPageIndexAndView) {
  auto a = Walk("/Outlines 10 0 R", {{10, "<< /Type /Outlines /First 11 0 R /Last 11 0 R /Count 1 >>"},
                                     {11, "<< /Title (Third page) /Parent 10 0 R /Dest [5 0 R /XYZ 0 792 0] >>"}});
  ASSERT_EQ(a->Result, 3);
  EXPECT_EQ(a->Field(&OutlineItem::Level), (Ints{0, 1}));
  EXPECT_EQ(a->Field(&OutlineItem::Children), (Ints{1, 0}));
  EXPECT_EQ(a->Field(&OutlineItem::Count), (Ints{1, 0}));
  EXPECT_EQ(a->Item(0).TitleLength, 0);
  EXPECT_EQ(a->Page(1), 2);
  EXPECT_EQ(a->View(1), "/XYZ 0 792 0");
  EXPECT_EQ(a->Title(1), "(Third page)");
}

TEST(OutlineTest, AbsentEmptyAndDirectOutlines) {
  auto none = Walk("", {});
  EXPECT_EQ(none->Result, 3);
  EXPECT_TRUE(none->Slot.OutlineItems.empty());

  auto empty = Walk("/Outlines 10 0 R", {{10, "<< /Type /Outlines /Count 0 >>"}});
  EXPECT_EQ(empty->Result, 3);
  EXPECT_EQ(empty->Field(&OutlineItem::Children), (Ints{0}));

  auto direct = Walk("/Outlines << /First 11 0 R /Count 1 >>", {{11, "<< /Title (A) /Dest [4 0 R /Fit] >>"}});
  ASSERT_EQ(direct->Result, 3);
  EXPECT_EQ(direct->Field(&OutlineItem::Count), (Ints{1, 0}));
  EXPECT_EQ(direct->Page(1), 1);
  EXPECT_EQ(direct->View(1), "/Fit");
}

TEST(OutlineTest, ThreeLevelTreeIsRecordedDepthFirst) {
  auto a = Walk("/Outlines 10 0 R", {{10, "<< /Type /Outlines /First 11 0 R /Last 15 0 R /Count 5 >>"},
                                     {11, "<< /Title (A) /First 12 0 R /Next 15 0 R /Count -3 >>"},
                                     {12, "<< /Title (A1) /First 13 0 R /Next 14 0 R /Count 1 >>"},
                                     {13, "<< /Title (A1a) >>"}, {14, "<< /Title (A2) >>"}, {15, "<< /Title (B) >>"}});
  ASSERT_EQ(a->Result, 3);
  ASSERT_EQ(a->Slot.OutlineItems.size(), 6u);
  const std::vector<std::string> titles = {"", "(A)", "(A1)", "(A1a)", "(A2)", "(B)"};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(a->Title(i), titles[i]) << i;
  EXPECT_EQ(a->Field(&OutlineItem::Level), (Ints{0, 1, 2, 3, 2, 1}));
  EXPECT_EQ(a->Field(&OutlineItem::Children), (Ints{2, 2, 1, 0, 0, 0}));
  EXPECT_EQ(a->Field(&OutlineItem::Count), (Ints{5, -3, 1, 0, 0, 0}));
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), (Ints{-1, -1, -1, -1, -1, -1}));
}

TEST(OutlineTest, PagesOutsideThePageListGiveMinusOne) {
  auto a = Walk("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                     {11, "<< /Title (Font) /Dest [6 0 R /Fit] /Next 12 0 R >>"},
                                     {12, "<< /Title (Far) /Dest [999 0 R /Fit] /Next 13 0 R >>"},
                                     {13, "<< /Title (Number) /Dest [0 /Fit] /Next 14 0 R >>"},
                                     {14, "<< /Title (Huge) /Dest [2147483647 0 R /Fit] >>"}});
  ASSERT_EQ(a->Result, 3);
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), (Ints{-1, -1, -1, -1, -1}));
  EXPECT_EQ(a->View(1), "/Fit");
  EXPECT_EQ(a->Item(3).ViewLength, 0);
}

TEST(OutlineTest, TitleColourAndFlagForms) {
  auto a = Walk("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                     {11, "<< /Title 50 0 R /C [1 0 0.5] /F 2 /Next 12 0 R >>"},
                                     {12, "<< /Title <FEFF0041> /C [] /F 51 0 R /Next 13 0 R >>"},
                                     {13, "<< /Title /NotAString /F -1 /C 52 0 R >>"},
                                     {50, "(Referenced (nested) title)"}, {51, "3"}, {52, "[0 0 1]"}});
  ASSERT_EQ(a->Result, 3);
  ASSERT_EQ(a->Slot.OutlineItems.size(), 4u);
  EXPECT_EQ(a->Title(1), "(Referenced (nested) title)");
  EXPECT_EQ(a->Colour(1), "1 0 0.5");
  EXPECT_EQ(a->Title(2), "<FEFF0041>");
  EXPECT_EQ(a->Item(3).TitleLength, 0);
  EXPECT_EQ(a->Field(&OutlineItem::Flags), (Ints{0, 2, 3, 0}));
  EXPECT_EQ(a->Field(&OutlineItem::ColourLength), (Ints{0, 7, 0, 0}));
}

TEST(OutlineTest, GoToActionDestinations) {
  auto a = Walk("/Outlines 10 0 R",
                {{10, Outlines("11 0 R")},
                 {11, "<< /A << /S /GoTo /D [4 0 R /Fit] >> /Dest [5 0 R /Fit] /Next 12 0 R >>"},
                 {12, "<< /A 30 0 R /Next 13 0 R >>"},
                 {13, "<< /A << /S /URI /URI (http://example.org/) >> /Dest [3 0 R /FitH 5] /Next 14 0 R >>"},
                 {14, "<< /A << /S /GoToR /F (other.pdf) /D [4 0 R /Fit] >> >>"},
                 {30, "<< /Type /Action /S /GoTo /D 31 0 R >>"}, {31, "[5 0 R /XYZ null null 0]"}});
  ASSERT_EQ(a->Result, 3);
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), (Ints{-1, 1, 2, 0, -1}));
  EXPECT_EQ(a->View(2), "/XYZ null null 0");
  EXPECT_EQ(a->View(3), "/FitH 5");
}

TEST(OutlineTest, SharedDestinationsAreResolvedOnce) {
  struct SharedCase {
    const char* Name;
    std::string ItemDestination;  // the same in every item
    int Page;
    std::string View;
    long Scans;
  };
  std::string filler;
  for (int i = 0; i < 500; ++i) filler += " /K" + std::to_string(i) + " [1 2 3 4]";
  const Objects shared = {
      {30, "<< /S /GoTo" + filler + " /D [4 0 R /FitH 30] >>"},
      {31, "<< /S /GoTo /D 40 0 R" + filler + " >>"},
      {32, "<< /S /URI /URI (http://example.org/)" + filler + " >>"},
      {33, "<< /S /GoTo /D 99 0 R >>"},
      {40, "[5 0 R /XYZ 1 2 3]"},
      {41, "[3 0 R /Fit]"},
  };
  const SharedCase cases[] = {
      {"action object with a direct array", "/A 30 0 R", 1, "/FitH 30", 2},
      {"action object with a referenced array", "/A 31 0 R", 2, "/XYZ 1 2 3", 2},
      {"array object", "/Dest 40 0 R", 2, "/XYZ 1 2 3", 1},
      {"action and array object that name the same value", "/A 31 0 R /Dest 40 0 R", 2, "/XYZ 1 2 3", 2},
      {"an action that is no /GoTo gives way to /Dest", "/A 32 0 R /Dest 41 0 R", 0, "/Fit", 2},
      {"a /GoTo whose /D cannot be read does not", "/A 33 0 R /Dest 41 0 R", -1, "", 1},
  };
  const int count = 300;
  for (const SharedCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Objects objects = shared;
    objects[10] = Outlines("100 0 R");
    for (int i = 0; i < count; ++i) {
      std::string next = i + 1 < count ? " /Next " + std::to_string(101 + i) + " 0 R" : "";
      objects[100 + i] = "<< /Title (T) " + c.ItemDestination + next + " >>";
    }
    auto a = Walk("/Outlines 10 0 R", objects);
    ASSERT_EQ(a->Result, 3) << a->State.LastErrorCode;
    ASSERT_EQ(a->Slot.OutlineItems.size(), static_cast<std::size_t>(count + 1));
    for (std::size_t record : {std::size_t{1}, std::size_t{count}}) {
      EXPECT_EQ(a->Page(record), c.Page);
      EXPECT_EQ(a->View(record), c.View);
    }
    EXPECT_EQ(a->State.DestinationScans, c.Scans);
  }
}

const Objects kChapterObjects = {
    {20, "<< /Names [(Chapter10) 21 0 R (Chapter1) 22 0 R (Chapter1) 23 0 R <4E616D65> null] >>"}, {21, "[3 0 R /Fit]"},
    {22, "<< /D [5 0 R /FitH 700] >>"}, {23, "[4 0 R /Fit]"}};

TEST(OutlineTest, StringDestinationsUseTheFirstExactName) {
  Objects objects = kChapterObjects;
  objects.insert({{10, Outlines("11 0 R")}, {11, "<< /Dest (Chapter1) /Next 12 0 R >>"},
                  {12, "<< /Dest 40 0 R /Next 13 0 R >>"}, {13, "<< /Dest (Chapter) /Next 14 0 R >>"},
                  {14, "<< /Dest <4E616D65> /Next 15 0 R >>"},  // the name exists but its value is null
                  {15, "<< /A << /S /GoTo /D (Chapter1) >> >>"}, {40, "(Chapter10)"}});
  auto a = Walk("/Outlines 10 0 R /Names << /Dests 20 0 R >>", objects);
  ASSERT_EQ(a->Result, 3) << a->State.LastErrorCode;
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), (Ints{-1, 2, 0, -1, -1, 2}));
  EXPECT_EQ(a->View(1), "/FitH 700");
}

TEST(OutlineTest, OldDestsDictionaryByName) {
  auto a = Walk("/Outlines 10 0 R /Dests 40 0 R",
                {{10, Outlines("11 0 R")}, {11, "<< /Dest /Later /Next 12 0 R >>"},
                 {12, "<< /Dest /Intro /Next 13 0 R >>"}, {13, "<< /Dest /Boxed /Next 14 0 R >>"},
                 {14, "<< /Dest /Intr /Next 15 0 R >>"}, {15, "<< /Dest /Nope >>"},
                 {40, "<< /Intro [3 0 R /Fit] /Later 41 0 R /Boxed << /D [5 0 R /FitB] >> /Intro [5 0 R] >>"},
                 {41, "[4 0 R /XYZ 10 20 null]"}});
  ASSERT_EQ(a->Result, 3) << a->State.LastErrorCode;
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), (Ints{-1, 1, 0, 2, -1, -1}));
  EXPECT_EQ(a->View(1), "/XYZ 10 20 null");
  EXPECT_EQ(a->View(2), "/Fit");
  EXPECT_EQ(a->View(3), "/FitB");
}

TEST(OutlineTest, NameTreeKidsAreWalkedWithAlternatingProgress) {
  const std::string bytes = Document("/Outlines 10 0 R /Names << /Dests 20 0 R >>",
                                     {{10, Outlines("11 0 R")}, {11, "<< /Dest (beta) /Next 12 0 R >>"},
                                      {12, "<< /Dest (zeta) /Next 13 0 R >>"}, {13, "<< /Dest (alpha) >>"},
                                      {20, "<< /Kids [21 0 R 24 0 R] >>"},
                                      {21, "<< /Kids [22 0 R 23 0 R] /Limits [(alpha) (beta)] >>"},
                                      {22, "<< /Limits [(alpha) (alpha)] /Names [(alpha) 30 0 R] >>"},
                                      {23, "<< /Names [(beta) 31 0 R] >>"}, {24, "<< /Names [(zeta) [3 0 R /Fit]] >>"},
                                      {30, "[3 0 R /Fit]"}, {31, "[4 0 R /Fit]"}});
  for (bool japanese : {false, true}) {
    JobControl control;
    control.Japanese = japanese;
    std::vector<std::pair<int, std::string>> reports;
    control.ProgressSink = [&](int percent, const std::string& label) { reports.emplace_back(percent, label); };
    Analysis a;
    a.State.ProgressFileIndex = 2;
    a.State.ProgressFileCount = 3;
    ASSERT_TRUE(Analyze(a, bytes, &control));
    ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;
    EXPECT_EQ(a.Field(&OutlineItem::PageIndex), (Ints{-1, 1, 0, 0}));
    EXPECT_EQ(a.View(2), "/Fit");
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
  auto a = Walk("/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 99 0 R",
                {{10, Outlines("11 0 R")}, {11, "<< /Dest [3 0 R /Fit] >>"}, {20, "<< /Kids 25 0 R >>"}}, &control);
  EXPECT_EQ(a->Result, 3);
  EXPECT_EQ(a->Page(1), 0);
  EXPECT_EQ(reports, 0);
}

TEST(OutlineTest, ManyNamesKeepFirstMatchSemantics) {
  const int count = 3000, items = 400;
  std::string names;
  for (int i = 0; i < count; ++i) names += "(N" + std::to_string(i) + ") " + std::to_string(200 + i % 3) + " 0 R ";
  Objects objects = {{10, Outlines("1000 0 R")}, {20, "<< /Names [" + names + "(N7) 202 0 R ] >>"},
                     {200, "[3 0 R /Fit]"}, {201, "[4 0 R /Fit]"}, {202, "[5 0 R /Fit]"}};
  Ints expected = {-1};
  for (int i = 0; i < items; ++i) {
    std::string next = i + 1 < items ? " /Next " + std::to_string(1000 + i + 1) + " 0 R" : "";
    objects[1000 + i] = "<< /Dest (N" + std::to_string(i * 7) + ")" + next + " >>";
    expected.push_back((i * 7) % 3);
  }
  auto a = Walk("/Outlines 10 0 R /Names << /Dests 20 0 R >>", objects);
  ASSERT_EQ(a->Result, 3) << a->State.LastErrorCode;
  EXPECT_EQ(a->Item(0).Children, items);
  EXPECT_EQ(a->Field(&OutlineItem::PageIndex), expected);
}

TEST(OutlineTest, LoopsTerminate) {
  auto siblings = Walk("/Outlines 10 0 R", {{10, Outlines("11 0 R")}, {11, "<< /Title (A) /Next 12 0 R >>"},
                                            {12, "<< /Title (B) /Next 11 0 R >>"}});
  ASSERT_EQ(siblings->Result, 3);
  EXPECT_EQ(siblings->Field(&OutlineItem::Children), (Ints{2, 0, 0}));

  auto children = Walk("/Outlines 10 0 R", {{10, Outlines("11 0 R")},
                                            {11, "<< /Title (A) /First 12 0 R /Next 10 0 R >>"},
                                            {12, "<< /Title (A1) /First 11 0 R /Next 12 0 R >>"}});
  ASSERT_EQ(children->Result, 3);
  EXPECT_EQ(children->Field(&OutlineItem::Level), (Ints{0, 1, 2}));
  EXPECT_EQ(children->Item(1).Children, 1);

  auto names = Walk("/Outlines 10 0 R /Names << /Dests 20 0 R >>",
                    {{10, Outlines("11 0 R")}, {11, "<< /Dest (x) >>"}, {20, "<< /Kids [21 0 R] >>"},
                     {21, "<< /Kids [20 0 R 21 0 R 22 0 R] >>"}, {22, "<< /Names [(x) 23 0 R] >>"},
                     {23, "[5 0 R /Fit]"}});
  ASSERT_EQ(names->Result, 3) << names->State.LastErrorCode;
  EXPECT_EQ(names->Page(1), 2);
}

TEST(OutlineTest, CancelEndsTheWalk) {
  JobControl control;
  control.CancelFlag = 3;
  auto a = Walk("/Outlines 10 0 R", {{10, Outlines("11 0 R")}, {11, "<< /Title (A) >>"}}, &control);
  EXPECT_EQ(a->Result, -1);
  EXPECT_EQ(a->State.LastErrorCode, 0);
  EXPECT_TRUE(a->Slot.OutlineItems.empty());
}

TEST(OutlineTest, StructuralFailuresSetTheirCodes) {
  struct Case {
    const char* Name;
    std::string CatalogEntries;
    Objects Bodies;
    int Code;
  };
  const std::string names = "/Outlines 10 0 R /Names << /Dests 20 0 R >>";
  const Objects stringItem = {{10, Outlines("11 0 R")}, {11, "<< /Dest (x) >>"}};
  const Objects nameItem = {{10, Outlines("11 0 R")}, {11, "<< /Dest /x >>"}};
  auto with = [](Objects objects, int number, const std::string& body) {
    objects[number] = body;
    return objects;
  };
  const std::vector<Case> cases = {
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
      {"catalog names unreadable", "/Outlines 10 0 R /Names 29 0 R", stringItem, -1621},
      {"dests unreadable", "/Outlines 10 0 R /Dests [1]", nameItem, -1626},
      {"dests value unreadable", "/Outlines 10 0 R /Dests << /x (y) >>", nameItem, -1627},
      {"header of another object", "/Outlines 10 0 R", {{10, "<< /Type /Outlines >>"}}, -152},
  };
  for (const Case& c : cases) {
    std::string bytes = Document(c.CatalogEntries, c.Bodies);
    if (c.Code == -152) bytes.replace(bytes.find("10 0 obj"), 8, "13 0 obj");  // a header that does not match
    Analysis a;
    ASSERT_TRUE(Analyze(a, bytes)) << c.Name;
    EXPECT_EQ(a.Result, -1) << c.Name;
    EXPECT_EQ(a.State.LastErrorCode, c.Code) << c.Name;
    EXPECT_TRUE(a.Slot.OutlineItems.empty()) << c.Name;
  }

  // A named destination whose value is no destination is not a failure: its item is unresolved.
  const std::vector<Case> unresolved = {
      {"named value missing", names, with(stringItem, 20, "<< /Names [(x) 29 0 R] >>"), 0},
      {"named value not an array", names, with(with(stringItem, 20, "<< /Names [(x) 21 0 R] >>"), 21, "(y)"), 0},
      {"dests without page reference", "/Outlines 10 0 R /Dests << /x [0 /Fit] >>", nameItem, 0},
      {"dests value missing", "/Outlines 10 0 R /Dests << /x 29 0 R >>", nameItem, 0},
  };
  for (const Case& c : unresolved) {
    Analysis a;
    ASSERT_TRUE(Analyze(a, Document(c.CatalogEntries, c.Bodies))) << c.Name;
    EXPECT_GE(a.Result, 1) << c.Name;
    ASSERT_EQ(a.Slot.OutlineItems.size(), 2u) << c.Name;
    EXPECT_EQ(a.Slot.OutlineItems[1].PageIndex, -1) << c.Name;
  }
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
                {17, "<< /Title (C1a) /Parent 16 0 R /Dest /Early >>"}, {20, "<< /Kids [21 0 R] >>"},
                {21, "<< /Limits [(Chapter1) (Chapter10)] /Names [(Chapter1) 22 0 R (Chapter10) 23 0 R] >>"},
                {22, "[5 0 R /FitH 700]"}, {23, "[3 0 R /Fit]"}, {40, "<< /Later [4 0 R /Fit] /Early 41 0 R >>"},
                {41, "[3 0 R /FitV 10]"}});
  Analysis a;
  ASSERT_TRUE(Analyze(a, bytes));
  ASSERT_EQ(a.Result, 3) << a.State.LastErrorCode;

  const std::string path = testing::WriteTempFile("outline-oracle.pdf", bytes);
  const testing::CommandResult json = testing::RunCommand("qpdf --json --json-key=outlines '" + path + "'");
  ASSERT_EQ(json.ExitCode, 0);
  const std::regex position("\"destpageposfrom1\": (null|[0-9]+)");
  Ints expected = {-1};  // the root
  for (auto it = std::sregex_iterator(json.Output.begin(), json.Output.end(), position); it != std::sregex_iterator();
       ++it) {
    expected.push_back((*it)[1] == "null" ? -1 : std::stoi((*it)[1]) - 1);
  }
  EXPECT_EQ(a.Field(&OutlineItem::PageIndex), expected);
}

// Every byte of the objects replaced by bytes that open or close strings, arrays and dictionaries:
// the analysis ends with its page count or a code, never with a crash or a hang.
TEST(OutlineTest, DamagedBytesEndInResultOrCode) {
  Objects objects = kChapterObjects;
  objects.insert({{10, "<< /Type /Outlines /First 11 0 R /Count 3 >>"},
                  {11, "<< /Title (A) /Dest (Chapter1) /First 12 0 R /Next 13 0 R /C [1 0 0] /F 51 0 R >>"},
                  {12, "<< /Title <41> /A << /S /GoTo /D [4 0 R /Fit] >> /Count -1 >>"},
                  {13, "<< /Title 50 0 R /Dest /Later >>"}, {40, "<< /Later [4 0 R /Fit] /Boxed << /D [5 0 R] >> >>"},
                  {50, "(Title)"}, {51, "2"}});
  const std::string original = Document("/Outlines 10 0 R /Names << /Dests 20 0 R >> /Dests 40 0 R", objects);
  for (std::size_t i = original.find("1 0 obj"); i < original.find("xref"); ++i) {
    for (char c : std::string("([<>]) 0/")) {
      std::string bytes = original;
      bytes[i] = c;
      Analysis a;
      if (!Analyze(a, bytes)) continue;
      if (a.Result == -1) {
        EXPECT_NE(a.State.LastErrorCode, 0) << i << " " << c;
        continue;
      }
      ASSERT_EQ(a.Result, 3) << i << " " << c;
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
  auto doc = testing::OpenBytes(w.Bytes());
  ASSERT_TRUE(doc->Parsed);
  doc->State.Job.KeepOutlines = 1;
  ASSERT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 3) << doc->State.LastErrorCode;
  ASSERT_EQ(doc->Slot().OutlineItems.size(), 3u);
  EXPECT_EQ(doc->Slot().OutlineItems[1].PageIndex, 2);
  EXPECT_EQ(doc->Slot().OutlineItems[2].PageIndex, 1);
}

}  // namespace
}  // namespace folvex
