// Page dictionaries copied with what they inherit and without annotations and beads, by the
// bytes; pages copied with every object they reach, through RunExtract, judged by qpdf (which also
// finds a stream whose /Length is not its true length) and pdftotext and, where the bytes are the
// contract (rewritten references), by the bytes.
#include "engine/transfer/page_objects.h"

#include <gtest/gtest.h>

#include "engine/assembly/document_skeleton.h"
#include "engine/assembly/extract.h"
#include "engine/reading/catalog.h"
#include "engine/transfer/page_dicts.h"
#include "tests/support/open_helpers.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

// Three pages (objects 3, 4, 5) under root 2, which holds the resources and the media box. Page
// 3 reaches page 4 through a go-to action; content 7 has its length in object 12 and data that
// looks like references and keywords; content 9 declares a length too short and content 11 one
// too long; font 10 and its widths 13 refer to each other. Page 4 names object 14, which the
// table does not list (15, listed next, is never reached), and object 16, listed in use at offset
// 0: both name nothing.
std::string LinkedPages() {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /Resources 6 0 R /MediaBox [0 0 300 300] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R /Annots [20 0 R] /AA << /O 8 0 R >> >>");
  w.Object(4, "<< /Type /Page /Contents 9 0 R /Parent 2 0 R /Resources << /Font << /F1 10 0 R >> >> "
              "/Thumb 14 0 R /PieceInfo 16 0 R >>");
  w.Object(5, "<< /Type /Page /Parent 2 0 R /Contents [9 0 R 11 0 R] /Rotate 90 >>");
  w.Object(6, "<< /Font << /F1 10 0 R >> >>");
  const std::string data = "BT /F1 20 Tf 30 200 Td (One) Tj ET\n% 1 0 R endobj endstream";
  w.Object(7, "<< /Length 12 0 R >>\nstream\n" + data + "\nendstream");
  w.Object(8, "<< /S /GoTo /D [4 0 R /Fit] >>");
  w.Object(9, "<< /Length 5 >>\nstream\nBT /F1 20 Tf 30 150 Td (Two) Tj ET\nendstream");
  w.Object(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Widths 13 0 R /FirstChar 32 /LastChar 32 >>");
  w.Object(11, "<< /Length 999 >>\nstream\r\nBT /F1 20 Tf 30 100 Td (Three) Tj ET\r\nendstream");
  w.Object(12, std::to_string(data.size()));
  w.Object(13, "[ 278 ] % 10 0 R");
  w.Object(15, "<< /Marker (listed after the unlisted number) >>");
  w.Object(16, "<< /Marker (at offset zero) >>");
  w.Object(20, "<< /Type /Annot /Subtype /Text /Rect [0 0 10 10] /P 3 0 R >>");
  w.Finish("/Size 21 /Root 1 0 R");
  std::string bytes = w.Bytes();
  bytes.replace(bytes.rfind("\n15 2\n") + 6 + 20, 10, "0000000000");
  return bytes;
}

TEST(WritePageObjects, SelectionsOfLinkedPagesGiveSoundFiles) {
  const std::string input = testing::WriteTempFile("linked.pdf", LinkedPages());
  struct Case {
    std::vector<int> Pages;
    std::vector<const char*> Contains;
  };
  const std::vector<Case> cases = {
      // The action's target is written once, as the second page, and the action points at it;
      // references to nothing become null.
      {{0, 1}, {"/D [5 0 R /Fit]", "/Thumb null /PieceInfo null", "% 1 0 R endobj endstream\nendstream"}},
      // A repeated page gets a page object per listing; both share one content stream.
      {{1, 1, 0}, {"/Contents 7 0 R", "/Kids [ 4 0 R 5 0 R 6 0 R ]"}},
      // Selection order decides numbering: page 5's contents come first.
      {{2, 0}, {"6 0 obj\n<< /Length 34 >>\nstream\n", "/Rotate 90"}},
      // Page 4 is reached but not selected: an ordinary object whose /Parent names nothing.
      {{0}, {"/Parent null", "/Count 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Pages));
    ExtractJob job;
    job.InputPath = input;
    job.OutputPath = testing::TempDir() + "/linked-out.pdf";
    job.PageIndexList = c.Pages;
    job.CreationDateText = "20260102030405";
    job.ProducerText = "test";
    EngineState state;
    ASSERT_EQ(RunExtract(state, job), kExtractDone) << state.LastErrorCode;
    const std::string bytes = testing::ReadFile(job.OutputPath);
    for (const char* text : c.Contains) EXPECT_NE(bytes.find(text), std::string::npos) << text;
    EXPECT_EQ(bytes.find("/Annots"), std::string::npos);
    EXPECT_EQ(bytes.find("/Marker"), std::string::npos);
    if (!testing::HaveTool("qpdf")) continue;
    const testing::QpdfCheck check = testing::CheckWithQpdf(job.OutputPath);
    EXPECT_TRUE(check.Clean) << check.Output.substr(0, 500);
    EXPECT_EQ(testing::PdfinfoPages(job.OutputPath), static_cast<int>(c.Pages.size()));
    for (std::size_t k = 0; k < c.Pages.size(); ++k) {
      EXPECT_EQ(testing::PageText(job.OutputPath, static_cast<int>(k) + 1), testing::PageText(input, c.Pages[k] + 1))
          << "page " << k + 1;
    }
  }
}

// A stream whose dictionary does not close before "stream" (and whose /Length is missing) used to
// abort the copy: it is copied as it stands.
TEST(WritePageObjects, StreamWithAnOpenDictionaryIsCopiedAsItStands) {
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 200 200] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
  w.Object(4, "<< /Type /Page /Parent 2 0 R >>");
  const std::string broken = "<< /Filter << /Foo /Bar\nstream\nBT ET\nendstream";
  w.Object(5, broken);
  w.Object(6, "<< /Closing >>");
  w.Finish("/Size 7 /Root 1 0 R");
  ExtractJob job;
  job.InputPath = testing::WriteTempFile("open-dictionary.pdf", w.Bytes());
  job.OutputPath = testing::TempDir() + "/open-dictionary-out.pdf";
  job.PageIndexList = {1, 0};
  job.CreationDateText = "20260102030405";
  job.ProducerText = "test";
  EngineState state;
  ASSERT_EQ(RunExtract(state, job), kExtractDone) << state.LastErrorCode;
  EXPECT_NE(testing::ReadFile(job.OutputPath).find(broken), std::string::npos);
}

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
  std::string Expected;  // empty: the page dictionary as it was
};

TEST(BuildPageDicts, CopiesLeaveOutAnnotationsAndBeadsAndWriteInheritedAttributes) {
  const std::vector<CopyCase> cases = {
      {"nothing to inherit", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] /Resources 3 0 R >>", "", ""},
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
       "<< /Type /Page /Foo [/B] /Bar /Annots /Tabs /S /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R >>", "", ""},
      {"direct resources with nested dictionaries, crop box and rotation",
       "<< /Type /Page /Parent 2 0 R >>",
       "/Resources << /Font << /F1 << /Type /Font >> >> >> /MediaBox [0 0 612 792] /CropBox[1 1 600 780] /Rotate 90",
       "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 << /Type /Font >> >> >>\n/MediaBox [0 0 612 792]\n"
       "/CropBox[1 1 600 780]\n/Rotate 90\n>>\nendobj\n"},
      {"negative rotation", "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R >>", "/Rotate -90",
       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1 1] /Resources 3 0 R /Rotate -90\n>>\nendobj\n"},
      {"strings and comments are copied whole",
       "<< /Type /Page /Parent 2 0 R /PieceInfo (a >> b /Annots) % note /Annots\n /Resources 3 0 R /MediaBox [0 0 1 1] >>",
       "", ""},
  };
  for (const CopyCase& c : cases) {
    auto opened = testing::OpenBytes(OnePageFile(c.PageBody, c.RootEntries));
    ASSERT_TRUE(opened->Parsed) << c.Name;
    ASSERT_EQ(AnalyzeCatalog(opened->State, opened->Slot()), 1) << c.Name;
    PageDictCopies copies;
    ASSERT_EQ(BuildPageDicts(opened->State, opened->Slot(), 1, copies), 1) << c.Name << " " << opened->State.LastErrorCode;
    EXPECT_EQ(copies[0], c.Expected.empty() ? c.PageBody + "\nendobj\n" : c.Expected) << c.Name;
  }
}

// The table holds offsets up to ten digits; an object beyond them fails the output, with nothing
// appended, rather than a table line of eleven digits.
TEST(AppendXrefAndTrailer, TenDigitOffsetsAndNoMore) {
  for (const std::int64_t offset : {std::int64_t{2147483748}, std::int64_t{4294967396}, kMaxTableOffset,
                                    kMaxTableOffset + 1}) {
    SCOPED_TRACE(offset);
    TransferOutput output;
    output.Written = static_cast<std::size_t>(offset) + 100;
    output.RecordOffset(1, 15);
    output.RecordOffset(2, static_cast<std::size_t>(offset));
    output.NextObjectNumber = 3;
    const bool fits = offset <= kMaxTableOffset;
    EXPECT_EQ(AppendXrefAndTrailer(output), fits);
    if (!fits) {
      EXPECT_EQ(output.Text, "");
      continue;
    }
    const std::string line = std::to_string(offset) + " 00000 n \n";
    EXPECT_NE(output.Text.find("0000000015 00000 n \n" + line + "trailer"), std::string::npos) << output.Text;
    EXPECT_NE(output.Text.find("startxref\n" + std::to_string(offset + 100) + "\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace folvex
