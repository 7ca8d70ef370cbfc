#include "engine/reading/page_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/reading/catalog.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using Objects = std::vector<std::pair<int, std::string>>;

// A file whose catalog is object 1 (its root /Pages node is object 2), then objects in order.
std::unique_ptr<testing::OpenedDocument> TreeOf(const Objects& objects) {
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  for (const auto& [number, body] : objects) w.Object(number, body);
  w.Finish("/Size 100 /Root 1 0 R");
  auto doc = testing::OpenBytes(w.Bytes());
  EXPECT_TRUE(doc->Parsed);
  return doc;
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
    auto doc = TreeOf(c.Tree);
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
  auto doc = TreeOf({
      {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 7 0 R 4 0 R 8 0 R 9 0 R] /MediaBox [0 0 5 5] >>"},
      {3, "<< /Type /Pages /Kids [5 0 R] /Rotate 90 >>"},
      {4, "<< /Type /Pages /Kids [5 0 R] /MediaBox [0 0 50 60] >>"},
      {5, "<< /Type /Pages /Kids [6 0 R] /CropBox [0 0 1 1] >>"},
      {6, "<< /Type /Page >>"},
      {7, "<< /Type /Pages /Kids [5 0 R] /MediaBox 10 0 R >>"},
      {8, "<< /Type /Page /MediaBox [1 2 3 4] >>"},
      {9, "<< /Type /Page /MediaBox 10 0 R >>"},
      {10, "[0 0 70 80]"},
  });
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
      {"count indirect", RootOver("<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 6 0 R >>"), 2, 0, {3, 3}},
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
      {"type names matched by prefix",
       {{2, "<< /Type /Pages /Kids [5 0 R] >>"}, {5, "<< /Type /Pagesx /Kids [3 0 R] >>"}, {3, "<< /Type /Page >>"}},
       1, 0, {3}},
      {"a kid of another type", {{2, "<< /Type /Pages /Kids [3 0 R] >>"}, {3, "<< /Type /Pagex >>"}}, -1, -144, {}},
      {"an indirect /Kids below the root",
       {{2, "<< /Type /Pages /Kids [5 0 R] >>"}, {5, "<< /Type /Pages /Kids 6 0 R >>"}, {6, "[3 0 R]"},
        {3, "<< /Type /Page >>"}},
       -1, -144, {}},
      {"no kids", RootOver("<< /Type /Pages /Count 1 >>"), -1, -132, {}},
      {"empty kids", RootOver("<< /Type /Pages /Kids [] /Count 0 >>"), -1, -149, {}},
      {"count not a number", RootOver("<< /Type /Pages /Kids [3 0 R] /Count x >>"), -1, -131, {}},
      {"missing kid", RootOver("<< /Type /Pages /Kids [9 0 R] >>"), -1, -143, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int keepBoxes = 0; keepBoxes < 2; ++keepBoxes) {
      auto doc = TreeOf(c.Tree);
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

TEST(PageTreeWalk, CancelStopsTheWalkItself) {
  for (int cancelAfter : {1, 3}) {
    SCOPED_TRACE(cancelAfter);
    auto doc = testing::OpenBytes(testing::SimplePdf(50));
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

}  // namespace
}  // namespace folvex
