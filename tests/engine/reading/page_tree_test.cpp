#include "engine/reading/page_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <filesystem>

#include "engine/reading/catalog.h"
#include "engine/reading/open_document.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::OpenBytes;
using testing::PdfWriter;

// Root 2 (/Resources) -> A 3 (/MediaBox) -> pages 5, 6; root -> B 4 -> page 7 (own /Resources, /Rotate).
std::string InheritanceTree() {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 3 /Resources << /Font << >> >> >>");
  w.Object(3, "<< /Type /Pages /Parent 2 0 R /Kids [5 0 R 6 0 R] /Count 2 /MediaBox [0 0 300 400] /CropBox [1 1 2 2] >>");
  w.Object(4, "<< /Type /Pages /Parent 2 0 R /Kids [7 0 R] /Count 1 /Rotate 90 >>");
  w.Object(5, "<< /Type /Page /Parent 3 0 R >>");
  w.Object(6, "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 10 20] /CropBox [0 0 5 5] >>");
  w.Object(7, "<< /Type /Page /Parent 4 0 R /Resources << >> /Rotate 0 /MediaBox [0 0 1 1] >>");
  w.Finish("/Size 8 /Root 1 0 R");
  return w.Bytes();
}

// A file whose catalog is object 1 and whose root /Pages node is object 2; objects is number
// and body, in writing order.
std::string TreeOf(const std::vector<std::pair<int, std::string>>& objects) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  int size = 2;
  for (const auto& [number, body] : objects) {
    w.Object(number, body);
    size = std::max(size, number + 1);
  }
  w.Finish("/Size " + std::to_string(size) + " /Root 1 0 R");
  return w.Bytes();
}

TEST(PageTreeWalk, RecordsNeedAndSourcesPerPage) {
  auto doc = OpenBytes(InheritanceTree());
  ASSERT_TRUE(doc->Parsed);
  ASSERT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 3) << doc->State.LastErrorCode;
  const auto& pages = doc->Slot().PageList;
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].Number, 5);
  EXPECT_EQ(pages[0].Need, kInheritResources | kInheritMediaBox | kInheritCropBox);
  EXPECT_EQ(pages[0].Sources, (std::array<int, 4>{2, 3, 3, 2}));
  EXPECT_EQ(pages[1].Need, kInheritResources);
  EXPECT_EQ(pages[1].Sources[kSourceResources], 2);
  // Under B the /MediaBox of A is no longer inherited; the page defines /Resources and /Rotate itself.
  EXPECT_EQ(pages[2].Number, 7);
  EXPECT_EQ(pages[2].Need, 0);
}

TEST(PageTreeWalk, PageBoxesFollowTheMediaBoxSource) {
  auto doc = OpenBytes(InheritanceTree());
  doc->State.Job.KeepOutlines = 0;
  doc->State.Settings.FileToOutline = 1;
  ASSERT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 3);
  const auto& boxes = doc->Slot().PageBoxes;
  ASSERT_GE(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].Box, (std::array<float, 4>{0, 0, 300, 400}));
  EXPECT_EQ(boxes[1].Box, (std::array<float, 4>{0, 0, 10, 20}));
  EXPECT_EQ(boxes[2].Box, (std::array<float, 4>{0, 0, 1, 1}));
  ASSERT_EQ(doc->State.PagesBoxTable.size(), 1u);
  EXPECT_EQ(doc->State.PagesBoxTable[0].Node, 3);
}

TEST(PageTreeWalk, PageBoxesAreWorkedOutPerPath) {
  // Node 5 and its page 6 sit under 3 (no /MediaBox, so the root's applies), under 4 (a direct
  // box) and under 7 (a box given by reference, which gives no numbers).
  auto doc = OpenBytes(TreeOf({
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

TEST(PageTreeWalk, NoInheritableAttributesGiveNumberAndGenerationOnly) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 2 R] /Count 2 >>");
  w.Object(3, "<< /Type /Page >>");
  w.Object(4, "<< /Type /Page >>", 2);
  w.Finish("/Size 5 /Root 1 0 R");
  auto doc = OpenBytes(w.Bytes());
  ASSERT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 2);
  for (const PageEntry& page : doc->Slot().PageList) EXPECT_EQ(page.Need, 0);
  // The page list carries the generation of the reference in /Kids.
  EXPECT_EQ(doc->Slot().PageList[1].Generation, 2);
  EXPECT_EQ(doc->Slot().PageList[1].Number, 4);
}

std::string TreeWith(const std::string& root, const std::string& extra = "") {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, root);
  w.Object(3, "<< /Type /Page >>");
  w.Object(4, "<< /Type /Page >>");
  w.Object(5, extra.empty() ? "[3 0 R]" : extra);
  w.Object(6, "[3 0 R 4 0 R]");
  w.Finish("/Size 7 /Root 1 0 R");
  return w.Bytes();
}

TEST(PageTreeWalk, RootKidsMayBeIndirectButNotDeeper) {
  auto doc = OpenBytes(TreeWith("<< /Type /Pages /Kids 6 0 R /Count 2 >>"));
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 2) << doc->State.LastErrorCode;

  doc = OpenBytes(TreeWith("<< /Type /Pages /Kids [5 0 R] /Count 1 >>",
                           "<< /Type /Pages /Kids 6 0 R /Count 2 >>"));
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), -1);
  EXPECT_EQ(doc->State.LastErrorCode, -144);
}

TEST(PageTreeWalk, TypeNamesAreMatchedByPrefix) {
  auto pagesx = OpenBytes(TreeWith("<< /Type /Pages /Kids [5 0 R] /Count 1 >>",
                                   "<< /Type /Pagesx /Kids [3 0 R] >>"));
  EXPECT_EQ(AnalyzeCatalog(pagesx->State, pagesx->Slot()), 1) << pagesx->State.LastErrorCode;

  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Pagex >>");
  w.Finish("/Size 4 /Root 1 0 R");
  auto pagex = OpenBytes(w.Bytes());
  EXPECT_EQ(AnalyzeCatalog(pagex->State, pagex->Slot()), -1);
  EXPECT_EQ(pagex->State.LastErrorCode, -144);
  InheritState inherit;
  int need = 0;
  EXPECT_EQ(PageNodeInfo(pagex->State, pagex->Slot().Image.Begin(), pagex->Slot().Image.End(),
                         pagex->Slot().Xref[3].Offset, 3, inherit, need, nullptr),
            -110);
}

struct ExpectedPage {
  int Number;
  int Need;
  std::array<int, 4> Sources;  // /Resources, /MediaBox, /CropBox, /Rotate; zeros when Need is 0
};

struct TreeCase {
  const char* Name;
  std::vector<std::pair<int, std::string>> Objects;
  int PageCount;
  std::vector<ExpectedPage> Pages;
};

constexpr int R = kInheritResources, M = kInheritMediaBox, C = kInheritCropBox, T = kInheritRotate;

TEST(PageTreeWalk, NeedsAndSourcesFollowThePath) {
  const std::vector<TreeCase> cases = {
      {"state restored when a level ends",
       {{2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] /Resources 9 0 R /Rotate 90 >>"},
        {4, "<< /Type /Pages /Kids [7 0 R] /MediaBox [0 0 1 1] >>"},
        {5, "<< /Type /Page >>"}, {6, "<< /Type /Page >>"}, {7, "<< /Type /Page >>"}},
       3,
       {{7, R | M | T, {3, 4, 2, 3}}, {5, R | T, {3, 2, 2, 3}}, {6, 0, {}}}},
      {"nearest definition wins",
       {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /Resources << >> /CropBox [0 0 2 2] >>"},
        {3, "<< /Type /Pages /Kids [4 0 R] /Resources << >> >>"},
        {4, "<< /Type /Page >>"}},
       1,
       {{4, R | C, {3, 2, 2, 2}}}},
      {"each attribute of the page itself clears its bit",
       {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 /Resources << >> /MediaBox [0 0 1 1] "
            "/CropBox [0 0 1 1] /Rotate 0 >>"},
        {3, "<< /Type /Page /Resources << >> >>"},
        {4, "<< /Type /Page /MediaBox [0 0 3 3] >>"},
        {5, "<< /Type /Page /CropBox [0 0 3 3] >>"},
        {6, "<< /Type /Page /Rotate 180 >>"}},
       4,
       {{3, M | C | T, {2, 2, 2, 2}}, {4, R | C | T, {2, 2, 2, 2}}, {5, R | M | T, {2, 2, 2, 2}},
        {6, R | M | C, {2, 2, 2, 2}}}},
      // Node 5 and page 6 are met under two parents with different attributes: what the nodes hold
      // themselves is remembered, what the path gives them is not.
      {"shared nodes under parents with different attributes",
       {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R 6 0 R] /Count 3 >>"},
        {3, "<< /Type /Pages /Kids [5 0 R] /Rotate 90 >>"},
        {4, "<< /Type /Pages /Kids [5 0 R 6 0 R] /MediaBox [0 0 50 60] >>"},
        {5, "<< /Type /Pages /Kids [6 0 R] /CropBox [0 0 7 7] >>"},
        {6, "<< /Type /Page /Resources << >> >>"}},
       3,
       {{6, C | T, {2, 2, 5, 3}}, {6, M | C, {2, 4, 5, 2}}, {6, M, {2, 4, 2, 2}}, {6, 0, {}}}},
  };
  for (const TreeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto doc = OpenBytes(TreeOf(c.Objects));
    ASSERT_TRUE(doc->Parsed);
    EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), c.PageCount) << doc->State.LastErrorCode;
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

// Nodes 3 .. 2 + depth, each listing the next one twice; the last lists page 99.
std::vector<std::pair<int, std::string>> SharedChain(int depth) {
  std::vector<std::pair<int, std::string>> objects = {{2, "<< /Type /Pages /Kids [3 0 R] >>"}};
  for (int n = 3; n < 3 + depth; ++n) {
    std::string next = std::to_string(n + 1 < 3 + depth ? n + 1 : 99);
    objects.push_back({n, "<< /Type /Pages /Kids [" + next + " 0 R " + next + " 0 R] >>"});
  }
  objects.push_back({99, "<< /Type /Page >>"});
  return objects;
}

struct ListCase {
  const char* Name;
  std::vector<std::pair<int, std::string>> Objects;
  int Result;                // AnalyzeCatalog's result
  int Error;                 // LastErrorCode when Result is -1
  std::vector<int> Numbers;  // the page list
};

TEST(PageTreeWalk, LoopsAreSkippedSharedNodesWalkedAgain) {
  const std::vector<ListCase> cases = {
      {"kid back to the root",
       {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 2 0 R 5 0 R] >>"},
        {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
       1, 0, {4, 5}},
      {"node listing itself",
       {{2, "<< /Type /Pages /Kids [3 0 R] >>"}, {3, "<< /Type /Pages /Kids [3 0 R 4 0 R] >>"},
        {4, "<< /Type /Page >>"}},
       1, 0, {4}},
      {"two nodes listing each other",
       {{2, "<< /Type /Pages /Kids [3 0 R 6 0 R] >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
        {4, "<< /Type /Pages /Kids [3 0 R 7 0 R] >>"},
        {5, "<< /Type /Page >>"}, {6, "<< /Type /Page >>"}, {7, "<< /Type /Page >>"}},
       3, 0, {7, 5, 6}},
      {"a loop and nothing else",
       {{2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"}, {3, "<< /Type /Pages /Kids [3 0 R] >>"}},
       -1, -149, {}},
      {"subtree listed twice",
       {{2, "<< /Type /Pages /Kids [3 0 R 5 0 R 3 0 R] >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
        {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
       5, 0, {4, 5, 5, 4, 5}},
      {"shared chain ten deep", SharedChain(10), 1024, 0, std::vector<int>(1024, 99)},
      {"shared chain fourteen deep", SharedChain(14), -1, -144, {}},
      {"shared chain forty deep", SharedChain(40), -1, -144, {}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto doc = OpenBytes(TreeOf(c.Objects));
    ASSERT_TRUE(doc->Parsed);
    EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), c.Result);
    if (c.Result < 0) {
      EXPECT_EQ(doc->State.LastErrorCode, c.Error);
    }
    std::vector<int> numbers;
    for (const PageEntry& page : doc->Slot().PageList) numbers.push_back(page.Number);
    EXPECT_EQ(numbers, c.Numbers);
  }
}

TEST(PageTreeWalk, CountGivesWayOnlyToFewerPages) {
  struct CountCase {
    const char* Root;
    int PageCount;
    std::size_t Lines;
  };
  const CountCase cases[] = {
      {"<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R 3 0 R] /Count 3 >>", 3, 4},
      {"<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] /Count 4 >>", 3, 3},
      {"<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 2 >>", 2, 2},
      {"<< /Type /Pages /Kids [3 0 R] /Count 99999999999999 >>", 1, 1},
      {"<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 6 0 R >>", 2, 2},
      {"<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] >>", 3, 3},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.Root);
    auto doc = OpenBytes(TreeOf({{2, c.Root}, {3, "<< /Type /Page >>"}}));
    EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), c.PageCount);
    EXPECT_EQ(doc->State.PageCount, c.PageCount);
    EXPECT_EQ(doc->Slot().PageList.size(), c.Lines);
  }
}

TEST(PageTreeWalk, EachNodeIsExaminedOnce) {
  struct WorkCase {
    const char* Name;
    std::vector<std::pair<int, std::string>> Objects;
    std::size_t Pages;
    long Scans;
  };
  std::string manyKids = "<< /Type /Pages /Kids [";
  for (int i = 0; i < 40000; ++i) manyKids += "3 0 R ";
  manyKids += "] >>";
  std::string large = "<< /Type /Page /MediaBox [0 0 612 792]";
  for (int i = 0; i < 2000; ++i) large += " /K" + std::to_string(i) + " [1 2 3 4]";
  large += " >>";
  const std::vector<WorkCase> cases = {
      {"one page listed 40000 times", {{2, manyKids}, {3, large}}, 40000, 1},
      {"shared subtree",
       {{2, "<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R] >>"},
        {3, "<< /Type /Pages /Kids [4 0 R 5 0 R] >>"},
        {4, "<< /Type /Page >>"}, {5, "<< /Type /Page >>"}},
       6, 3},
      {"shared chain", SharedChain(10), 1024, 11},
  };
  for (const WorkCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int keepBoxes = 0; keepBoxes < 2; ++keepBoxes) {
      auto doc = OpenBytes(TreeOf(c.Objects));
      doc->State.Settings.FileToOutline = keepBoxes;
      EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), static_cast<int>(c.Pages));
      EXPECT_EQ(doc->Slot().PageList.size(), c.Pages);
      EXPECT_EQ(doc->State.PageNodeScans, c.Scans);
    }
  }
}

TEST(PageTreeWalk, StructuralFailures) {
  auto noKids = OpenBytes(TreeWith("<< /Type /Pages /Count 1 >>"));
  EXPECT_EQ(AnalyzeCatalog(noKids->State, noKids->Slot()), -1);
  EXPECT_EQ(noKids->State.LastErrorCode, -132);
  auto emptyKids = OpenBytes(TreeWith("<< /Type /Pages /Kids [] /Count 0 >>"));
  EXPECT_EQ(AnalyzeCatalog(emptyKids->State, emptyKids->Slot()), -1);
  EXPECT_EQ(emptyKids->State.LastErrorCode, -149);
  auto badCount = OpenBytes(TreeWith("<< /Type /Pages /Kids [3 0 R] /Count x >>"));
  EXPECT_EQ(AnalyzeCatalog(badCount->State, badCount->Slot()), -1);
  EXPECT_EQ(badCount->State.LastErrorCode, -131);
  auto missingKid = OpenBytes(TreeWith("<< /Type /Pages /Kids [9 0 R] /Count 1 >>"));
  EXPECT_EQ(AnalyzeCatalog(missingKid->State, missingKid->Slot()), -1);
  EXPECT_EQ(missingKid->State.LastErrorCode, -143);
}

TEST(PageTreeWalk, CancelStopsTheWalkItself) {
  for (int cancelAfter : {1, 3}) {
    SCOPED_TRACE(cancelAfter);
    auto doc = OpenBytes(testing::SimplePdf(50));
    JobControl control;
    doc->State.Control = &control;
    doc->State.PageNodeScanHook = [&] {
      if (doc->State.PageNodeScans == cancelAfter) control.CancelFlag = 3;
    };
    EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), -1);
    EXPECT_EQ(doc->State.PageNodeScans, cancelAfter);
    EXPECT_TRUE(doc->Slot().PageList.empty());
  }
}

TEST(PageTreeWalk, RealWorldLoopsAndCounts) {
  const std::string dir = testing::RealWorldDir() + "/";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no real-world files";
  struct RealCase {
    const char* File;
    int Pages;
    std::size_t Lines;
  };
  // A loop below the only page; a loop without pages next to one page under /Count 2.
  const RealCase cases[] = {{"qpdf__pages-loop.pdf", 1, 1}, {"pdfjs__Pages-tree-refs.pdf", 1, 1}};
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.File);
    if (!std::filesystem::exists(dir + c.File)) continue;
    EngineState state;
    PrepareDocumentSlots(state, 1);
    EXPECT_EQ(OpenDocument(state, 0, dir + c.File, DecryptDocument{}), c.Pages) << state.LastErrorCode;
    ASSERT_EQ(state.Slots.size(), 1u);
    EXPECT_EQ(state.Slots[0].PageList.size(), c.Lines);
  }
}

}  // namespace
}  // namespace folvex
