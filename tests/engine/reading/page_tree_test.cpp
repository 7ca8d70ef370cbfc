#include "engine/reading/page_tree.h"

#include <gtest/gtest.h>

#include "engine/reading/catalog.h"
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

TEST(PageTreeWalk, CountIsTakenFromTheRoot) {
  // /Count 3 for a tree of 4 pages: the count is 3, the list has 4 lines.
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R 3 0 R] /Count 3 >>");
  w.Object(3, "<< /Type /Page >>");
  w.Finish("/Size 4 /Root 1 0 R");
  auto doc = OpenBytes(w.Bytes());
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), 3);
  EXPECT_EQ(doc->Slot().PageList.size(), 4u);

  // Without /Count the number of pages found is used.
  auto noCount = OpenBytes(TreeWith("<< /Type /Pages /Kids [3 0 R 4 0 R] >>"));
  EXPECT_EQ(AnalyzeCatalog(noCount->State, noCount->Slot()), 2);
}

TEST(PageTreeWalk, KidsCycleEndsTheWalk) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Pages /Kids [4 0 R 2 0 R] >>");
  w.Object(4, "<< /Type /Page >>");
  w.Finish("/Size 5 /Root 1 0 R");
  auto doc = OpenBytes(w.Bytes());
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), -1);
  EXPECT_EQ(doc->State.LastErrorCode, -144);

  PdfWriter self;
  self.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  self.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  self.Object(3, "<< /Type /Pages /Kids [3 0 R] >>");
  self.Finish("/Size 4 /Root 1 0 R");
  doc = OpenBytes(self.Bytes());
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), -1);
  EXPECT_EQ(doc->State.LastErrorCode, -144);
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

TEST(PageTreeWalk, CancelEndsTheWalk) {
  auto doc = OpenBytes(testing::SimplePdf(3));
  JobControl control;
  control.CancelFlag = 3;
  doc->State.Control = &control;
  EXPECT_EQ(AnalyzeCatalog(doc->State, doc->Slot()), -1);
}

}  // namespace
}  // namespace folvex
