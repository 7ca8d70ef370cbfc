#include "engine/transfer/page_dicts.h"

#include <gtest/gtest.h>

#include "engine/reading/catalog.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

// A one-page file whose page object 4 has pageBody and whose /Pages root holds rootEntries.
std::string OnePageFile(const std::string& pageBody, const std::string& rootEntries) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [ 4 0 R ] /Count 1 " + rootEntries + " >>");
  w.Object(3, "<< /Font << >> >>");
  w.Object(4, pageBody);
  w.Finish("/Size 5 /Root 1 0 R");
  return w.Bytes();
}

struct CopyCase {
  const char* Name;
  std::string PageBody;
  std::string RootEntries;
  std::string Expected;
};

TEST(BuildPageDicts, CopiesLeaveOutAnnotationsAndBeadsAndWriteInheritedAttributes) {
  const std::vector<CopyCase> cases = {
      {"nothing to inherit", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Resources 3 0 R >>", "",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Resources 3 0 R >>\nendobj\n"},
      {"annotations as array and beads by reference",
       "<< /Type /Page /Annots [9 0 R 10 0 R] /Parent 2 0 R /B 7 0 R /Contents 5 0 R >>",
       "/Resources 3 0 R /MediaBox [0 0 595 842]",
       "<< /Type /Page /Parent 2 0 R /Contents 5 0 R /Resources 3 0 R\n/MediaBox [0 0 595 842]\n>>\nendobj\n"},
      {"annotations null leave no stray value", "<< /Type /Page /Annots null /Parent 2 0 R >>",
       "/MediaBox [0 0 1 1] /Resources 3 0 R", "<< /Type /Page /Parent 2 0 R /Resources 3 0 R\n/MediaBox [0 0 1 1]\n>>\nendobj\n"},
      {"nested annotations and look-alike keys stay",
       "<< /Type /Page /Parent 2 0 R /AA << /Annots 1 0 R >> /BleedBox [0 0 1 1] /BX 1 >>",
       "/MediaBox [0 0 1 1] /Resources 3 0 R",
       "<< /Type /Page /Parent 2 0 R /AA << /Annots 1 0 R >> /BleedBox [0 0 1 1] /BX 1 /Resources 3 0 R\n"
       "/MediaBox [0 0 1 1]\n>>\nendobj\n"},
      {"beads glued to their array", "<< /Type /Page /B[8 0 R] /Parent 2 0 R >>", "/MediaBox [0 0 1 1] /Resources 3 0 R",
       "<< /Type /Page /Parent 2 0 R /Resources 3 0 R\n/MediaBox [0 0 1 1]\n>>\nendobj\n"},
      {"the names /B and /Annots as values and in arrays stay",
       "<< /Type /Page /Foo [/B] /Bar /Annots /Tabs /S /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R >>", "",
       "<< /Type /Page /Foo [/B] /Bar /Annots /Tabs /S /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R >>\nendobj\n"},
      {"direct resources with nested dictionaries, crop box and rotation",
       "<< /Type /Page /Parent 2 0 R >>",
       "/Resources << /Font << /F1 << /Type /Font >> >> >> /MediaBox [0 0 612 792] /CropBox[1 1 600 780] /Rotate 90",
       "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 << /Type /Font >> >> >>\n/MediaBox [0 0 612 792]\n"
       "/CropBox[1 1 600 780]\n/Rotate 90\n>>\nendobj\n"},
      {"negative rotation", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R >>", "/Rotate -90",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R /Rotate -90\n>>\nendobj\n"},
      {"strings and comments are copied whole",
       "<< /Type /Page /Parent 2 0 R /PieceInfo (a >> b /Annots) % note /Annots\n /Resources 3 0 R /MediaBox [0 0 1 1] >>",
       "",
       "<< /Type /Page /Parent 2 0 R /PieceInfo (a >> b /Annots) % note /Annots\n /Resources 3 0 R /MediaBox [0 0 1 1] "
       ">>\nendobj\n"},
  };
  for (const CopyCase& c : cases) {
    auto opened = testing::OpenBytes(OnePageFile(c.PageBody, c.RootEntries));
    ASSERT_TRUE(opened->Parsed) << c.Name;
    ASSERT_EQ(AnalyzeCatalog(opened->State, opened->Slot()), 1) << c.Name;
    PageDictCopies copies;
    ASSERT_EQ(BuildPageDicts(opened->State, opened->Slot(), 1, copies), 1) << c.Name << " " << opened->State.LastErrorCode;
    EXPECT_EQ(copies[0], c.Expected) << c.Name;
  }
}

}  // namespace
}  // namespace folvex
