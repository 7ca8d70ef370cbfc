#include "engine/transfer/page_objects.h"

#include <gtest/gtest.h>

#include <regex>

#include "engine/assembly/extract.h"
#include "engine/reading/catalog.h"
#include "engine/transfer/page_dicts.h"
#include "tests/support/open_helpers.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

TEST(WritePageObjects, PageAndItsObjectsUnderNewNumbers) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 12 0 R >>");
  w.Object(5, "<< /Type /Page /Parent 12 0 R /Contents 6 0 R /Resources 7 0 R /MediaBox [0 0 612 792] >>");
  w.Object(6, "<< /Length 0 >>\nstream\n\nendstream");
  w.Object(7, "<< >>");
  w.Object(12, "<< /Type /Pages /Kids [5 0 R] /Count 1 >>");
  w.Finish("/Size 13 /Root 1 0 R");
  auto opened = testing::OpenBytes(w.Bytes());
  ASSERT_EQ(AnalyzeCatalog(opened->State, opened->Slot()), 1);
  PageDictCopies copies;
  ASSERT_EQ(BuildPageDicts(opened->State, opened->Slot(), 1, copies), 1);

  TransferOutput output;
  output.Text = "head\n";
  output.NextObjectNumber = 5;
  const int pageIndex[] = {0}, pageNumber[] = {4}, parentNumber[] = {3};
  ASSERT_EQ(WritePageObjects(opened->State, opened->Slot(), copies, {pageIndex, pageNumber, parentNumber},
                             TransferProgress{}, output),
            1);
  EXPECT_EQ(output.Text,
            "head\n"
            "4 0 obj\n<< /Type /Page /Parent 3 0 R /Contents 5 0 R /Resources 6 0 R /MediaBox [0 0 612 792] >>\nendobj\n"
            "5 0 obj\n<< /Length 0 >>\nstream\n\nendstream\nendobj\n"
            "6 0 obj\n<< >>\nendobj\n");
  EXPECT_EQ(output.NextObjectNumber, 7);
  ASSERT_EQ(output.Offsets.size(), 6u);
  for (int number = 4; number <= 6; ++number) {
    EXPECT_EQ(output.Text.compare(output.Offsets[static_cast<std::size_t>(number - 1)], 8, std::to_string(number) + " 0 obj\n"), 0)
        << number;
  }
}

// Three pages (objects 3, 4, 5) under root 2, which holds the resources and the media box. Page
// 3 reaches page 4 through a go-to action; content 7 has its length in object 12 and data that
// looks like references and keywords; font 10 and its widths 13 refer to each other; page 4 names
// an object that does not exist.
std::string LinkedPages() {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /Resources 6 0 R /MediaBox [0 0 300 300] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R /Annots [20 0 R] /AA << /O 8 0 R >> >>");
  w.Object(4, "<< /Type /Page /Contents 9 0 R /Parent 2 0 R /Resources << /Font << /F1 10 0 R >> >> /Thumb 99 0 R >>");
  w.Object(5, "<< /Type /Page /Parent 2 0 R /Contents [9 0 R 11 0 R] /Rotate 90 >>");
  w.Object(6, "<< /Font << /F1 10 0 R >> >>");
  const std::string data = "BT /F1 20 Tf 30 200 Td (One) Tj ET\n% 1 0 R endobj endstream\n";
  w.Object(7, "<< /Length 12 0 R >>\nstream\n" + data + "endstream");
  w.Object(8, "<< /S /GoTo /D [4 0 R /Fit] >>");
  w.Stream(9, "", "BT /F1 20 Tf 30 150 Td (Two) Tj ET");
  w.Object(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Widths 13 0 R /FirstChar 32 /LastChar 32 >>");
  w.Stream(11, "", "BT /F1 20 Tf 30 100 Td (Three) Tj ET");
  w.Object(12, std::to_string(data.size()));
  w.Object(13, "[ 278 ] % 10 0 R");
  w.Object(20, "<< /Type /Annot /Subtype /Text /Rect [0 0 10 10] /P 3 0 R >>");
  w.Finish("/Size 21 /Root 1 0 R");
  return w.Bytes();
}

std::string Extracted(const std::string& input, std::vector<int> pages, int& result) {
  static int count = 0;
  ExtractJob job;
  job.InputPath = input;
  job.OutputPath = testing::TempDir() + "/linked-" + std::to_string(++count) + ".pdf";
  job.PageIndexList = std::move(pages);
  job.CreationDateText = "20260102030405";
  job.ProducerText = "test";
  EngineState state;
  result = RunExtract(state, job);
  return job.OutputPath;
}

TEST(WritePageObjects, SelectionsOfLinkedPagesGiveSoundFiles) {
  const std::string input = testing::WriteTempFile("linked.pdf", LinkedPages());
  struct Case {
    std::vector<int> Pages;
    std::vector<const char*> Contains;
  };
  const std::vector<Case> cases = {
      // The action's target is written once, as the second page, and the action points at it.
      {{0, 1}, {"/D [5 0 R /Fit]", "/Thumb null", "% 1 0 R endobj endstream\nendstream"}},
      // A repeated page gets a page object per listing; both share one content stream.
      {{1, 1, 0}, {"/Contents 7 0 R", "/Kids [ 4 0 R 5 0 R 6 0 R ]"}},
      // Selection order decides numbering: page 5's contents come first.
      {{2, 0}, {"6 0 obj\n<<  /Length 34 >>", "/Rotate 90"}},
      // Page 4 is reached but not selected: an ordinary object whose /Parent names nothing.
      {{0}, {"/Parent null", "/Count 1"}},
  };
  for (const Case& c : cases) {
    int result = -99;
    const std::string output = Extracted(input, c.Pages, result);
    ASSERT_EQ(result, kExtractDone);
    const std::string bytes = testing::ReadFile(output);
    for (const char* text : c.Contains) EXPECT_NE(bytes.find(text), std::string::npos) << text << "\n" << bytes;
    EXPECT_EQ(bytes.find("/Annots"), std::string::npos);
    if (!testing::HaveTool("qpdf")) continue;
    const testing::QpdfCheck check = testing::CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(testing::PdfinfoPages(output), static_cast<int>(c.Pages.size()));
    for (std::size_t k = 0; k < c.Pages.size(); ++k) {
      EXPECT_EQ(testing::PageText(output, static_cast<int>(k) + 1), testing::PageText(input, c.Pages[k] + 1)) << "page " << k + 1;
    }
  }
}

TEST(WritePageObjects, CancelWritesNothingFurther) {
  auto opened = testing::OpenBytes(LinkedPages());
  ASSERT_EQ(AnalyzeCatalog(opened->State, opened->Slot()), 3);
  PageDictCopies copies;
  ASSERT_EQ(BuildPageDicts(opened->State, opened->Slot(), 3, copies), 1);
  JobControl control;
  control.CancelFlag = 3;
  opened->State.Control = &control;
  TransferOutput output;
  const int pageIndex[] = {0, 1}, pageNumber[] = {4, 5}, parentNumber[] = {3, 3};
  EXPECT_EQ(WritePageObjects(opened->State, opened->Slot(), copies, {pageIndex, pageNumber, parentNumber},
                             TransferProgress{}, output),
            0);
  EXPECT_TRUE(output.Text.empty());
}

}  // namespace
}  // namespace folvex
