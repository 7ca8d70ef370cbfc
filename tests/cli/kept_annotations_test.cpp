// Copies that keep their annotations, judged by what qpdf reads back (annotation_map.py): links
// land on the copied target page or are gone, comments and form fields come along with their
// pages, and nothing leads off a page.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const std::string kMap = std::string(FOLVEX_SOURCE_DIR) + "/tests/support/annotation_map.py";

// Three pages. Page 1: links to page 3 (/Dest) and, through a named destination, to page 2, a
// web link and a comment with its popup. Page 2: a filled text field whose mouse-up action goes
// to page 3, a radio button and a link to page 1 by a name of the /Dests tree, written /o#6Ee.
// Page 3: the radio group's other button and a GoTo action to page 1 whose /Next leads to page 2.
// The text field is in the form's calculation order.
std::string AnnotatedPdf() {
  PdfWriter pdf("1.7");
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R /Names << /Dests 30 0 R >> /AcroForm << /Fields [20 0 R 22 0 R] "
                "/DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv 40 0 R >> >> /NeedAppearances true /CO [20 0 R] >> >>");
  pdf.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 300 300] "
                "/Resources << /Font << /F1 40 0 R >> >> >>");
  const char* const annots[] = {"[10 0 R 11 0 R 12 0 R 13 0 R 14 0 R]", "[21 0 R 23 0 R 15 0 R]", "[24 0 R 16 0 R]"};
  const char* const words[] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) {
    pdf.Object(3 + i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(6 + i) + " 0 R /Annots " + annots[i] + " >>");
    pdf.Stream(6 + i, "", std::string("BT /F1 24 Tf 30 200 Td (Page ") + words[i] + ") Tj ET");
  }
  pdf.Object(10, "<< /Type /Annot /Subtype /Link /Rect [10 10 50 50] /Dest [5 0 R /XYZ 0 300 0] >>");
  pdf.Object(11, "<< /Type /Annot /Subtype /Link /Rect [60 10 100 50] /A << /S /GoTo /D (two) >> >>");
  pdf.Object(12, "<< /Type /Annot /Subtype /Link /Rect [110 10 150 50] /A << /S /URI /URI (https://example.com/) >> >>");
  pdf.Object(13, "<< /Type /Annot /Subtype /Text /Rect [160 10 180 30] /Contents (A comment) /P 3 0 R /Popup 14 0 R >>");
  pdf.Object(14, "<< /Type /Annot /Subtype /Popup /Rect [160 40 260 100] /Parent 13 0 R /P 3 0 R >>");
  pdf.Object(15, "<< /Type /Annot /Subtype /Link /Rect [10 60 50 100] /Dest /o#6Ee >>");
  pdf.Object(16, "<< /Type /Annot /Subtype /Link /Rect [10 60 50 100] /A 17 0 R >>");
  pdf.Object(17, "<< /S /GoTo /D [3 0 R /Fit] /Next << /S /GoTo /D [4 0 R /Fit] >> >>");
  pdf.Object(20, "<< /FT /Tx /T (name) /V (Alice) /Kids [21 0 R] >>");
  pdf.Object(21, "<< /Type /Annot /Subtype /Widget /Parent 20 0 R /Rect [10 150 200 180] /P 4 0 R /AP << /N 42 0 R >> "
                 "/AA << /U << /S /GoTo /D [5 0 R /Fit] >> >> >>");
  pdf.Object(22, "<< /FT /Btn /Ff 49152 /T (choice) /V /B /Kids [23 0 R 24 0 R] >>");
  pdf.Object(23, "<< /Type /Annot /Subtype /Widget /Parent 22 0 R /Rect [10 200 30 220] /AS /Off /AP << /N << /A 43 0 R /Off 44 0 R >> >> >>");
  pdf.Object(24, "<< /Type /Annot /Subtype /Widget /Parent 22 0 R /Rect [40 200 60 220] /AS /B /AP << /N << /B 43 0 R /Off 44 0 R >> >> >>");
  pdf.Object(30, "<< /Names [(one) [3 0 R /Fit] (two) 31 0 R] >>");
  pdf.Object(31, "<< /D [4 0 R /XYZ 0 300 0] >>");
  pdf.Object(40, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const std::string form = "/Subtype /Form /BBox [0 0 190 30] /Resources << /Font << /F1 40 0 R >> >>";
  pdf.Stream(42, form, "/Tx BMC BT /F1 12 Tf 2 8 Td (Alice) Tj ET EMC");
  pdf.Stream(43, form, "0 0 1 rg 2 2 16 16 re f");
  pdf.Stream(44, form, "");
  pdf.Finish("/Size 45 /Root 1 0 R");
  return pdf.Bytes();
}

std::string Expect(const std::string& source, const std::string& pages, const std::string& copy,
                   const std::string& password = "") {
  return RunCommand("python3 " + Quoted(kMap) + " --expect " + Quoted(source) + " " + pages + " " + Quoted(copy) +
                    (password.empty() ? "" : " " + Quoted(password)))
      .Output;
}

class KeptAnnotations : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("qpdf") || !HaveTool("python3")) GTEST_SKIP() << "qpdf or python3 missing";
    Folder = TempDir() + "/kept-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }
  std::string Folder;
};

// Each command, and a protected input, on the hand-made file: the copy's annotations are what the
// source's become on the pages copied, and qpdf finds nothing wrong.
TEST_F(KeptAnnotations, LinksCommentsAndFieldsFollowThePages) {
  const std::string source = WriteTempFile("kept-annotations.pdf", AnnotatedPdf());
  ASSERT_TRUE(EncryptWithQpdf(source, Folder + "/locked.pdf", "u", "o", "128 --use-aes=y"));
  struct Case {
    std::string Arguments, Pages, Output, Password;
  };
  const Case cases[] = {
      {"extract SRC 2,1", "2,1", "out.pdf", ""},
      // The first listing of page 1 keeps the widgets' page; both listings get the links and comments.
      {"extract SRC 1,1,3", "1,1,3", "out.pdf", ""},
      {"extract SRC 3-1", "3,2,1", "out.pdf", ""},
      {"extract LOCKED 2,1 --password o", "2,1", "out.pdf", "u"},
      {"split SRC 2", "2", "kept-annotations_2.pdf", ""},
      {"split SRC", "3", "kept-annotations_3.pdf", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Arguments);
    std::string arguments = std::regex_replace(c.Arguments, std::regex("SRC"), Quoted(source));
    arguments = std::regex_replace(arguments, std::regex("LOCKED"), Quoted(Folder + "/locked.pdf"));
    const bool split = arguments.starts_with("split");
    const std::string output = Folder + "/" + c.Output;
    const CommandResult run = Folvex(arguments + " --keep-annotations --quiet " +
                                     (split ? "--output-dir " + Quoted(Folder) : "-o " + Quoted(output)));
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(Expect(source, c.Pages, output, c.Password), "same\n");
    // No page left out comes along through an action.
    if (c.Password.empty() && c.Pages.find('3') == std::string::npos) {
      EXPECT_EQ(ReadFile(output).find("Page three"), std::string::npos);
    }
    // Nor a field of a page left out through the form's calculation order.
    if (c.Password.empty() && c.Pages.find('2') == std::string::npos) {
      EXPECT_EQ(ReadFile(output).find("Alice"), std::string::npos);
    }
    EXPECT_TRUE(CheckWithQpdf(output, c.Password).Clean);
    if (!c.Password.empty()) {
      EXPECT_EQ(QpdfEncryptionValue(output, c.Password, "R"), "4");
    }
  }
  // Without the option the pages leave their annotations behind.
  ASSERT_EQ(Folvex("extract " + Quoted(source) + " 2,1 -o " + Quoted(Folder + "/plain.pdf")).ExitCode, 0);
  EXPECT_EQ(ReadFile(Folder + "/plain.pdf").find("/Annots"), std::string::npos);
  EXPECT_EQ(ReadFile(Folder + "/plain.pdf").find("/AcroForm"), std::string::npos);
}

// A file merged with itself: the second copy's fields are renamed and keep their values, and its
// links land on its own pages.
TEST_F(KeptAnnotations, MergedFormsKeepEachFilesValues) {
  const std::string source = WriteTempFile("kept-annotations.pdf", AnnotatedPdf());
  const std::string output = Folder + "/merged.pdf";
  ASSERT_EQ(Folvex("merge " + Quoted(source) + " " + Quoted(source) + " -o " + Quoted(output) + " --keep-annotations").ExitCode, 0);
  EXPECT_TRUE(CheckWithQpdf(output).Clean);
  EXPECT_EQ(RunCommand("python3 " + Quoted(kMap) + " " + Quoted(output)).Output,
            R"({"pages": [["Link>3", "Link>2", "Link:URI", "Text", "Popup"], ["Widget", "Widget", "Link>1"], )"
            R"(["Widget", "Link>1"], ["Link>6", "Link>5", "Link:URI", "Text", "Popup"], ["Widget", "Widget", "Link>4"], )"
            R"(["Widget", "Link>4"]], "fields": ["choice=\"/B\"@2", "choice=\"/B\"@3", "choice_2=\"/B\"@5", )"
            R"("choice_2=\"/B\"@6", "name=\"u:Alice\"@2", "name_2=\"u:Alice\"@5"], "problems": []})"
            "\n");
  if (!fs::exists(RealWorldDir())) return;
  // Real forms: a name already taken gives way to "_2_2"; two roots sharing a name keep sharing it.
  const std::pair<const char*, const char*> forms[] = {
      {"pypdf__libreoffice-form", R"("First Name=\"u:Alice\"@1", "First Name_2=\"u:Bob\"@1", )"
                                  R"("First Name_2_2=\"u:Alice\"@2", "First Name_2_2_2=\"u:Bob\"@2")"},
      {"qpdf__annotations-out", R"("Text Box 1=\"u:Formy field\"@1", "Text Box 1=\"u:Rot-ccw field\"@1", )"
                                R"("Text Box 1_2=\"u:Formy field\"@5", "Text Box 1_2=\"u:Rot-ccw field\"@5")"},
  };
  for (const auto& [name, fields] : forms) {
    const std::string input = RealWorldDir() + "/" + name + ".pdf";
    ASSERT_EQ(Folvex("merge " + Quoted(input) + " " + Quoted(input) + " -o " + Quoted(output) + " --keep-annotations").ExitCode, 0);
    EXPECT_NE(RunCommand("python3 " + Quoted(kMap) + " " + Quoted(output)).Output.find(fields), std::string::npos) << name;
  }
  // A form whose fields take their alignment from the form, after a form without one and alone
  // twice, and one with a calculated field: each copy of its page reads and looks as the source
  // does, and the calculation order keeps both copies.
  const std::string aligned = RealWorldDir() + "/qpdf__default-da-q.pdf";
  ASSERT_EQ(Folvex("merge " + Quoted(source) + " " + Quoted(aligned) + " -o " + Quoted(output) + " --keep-annotations").ExitCode, 0);
  ExpectSamePage(output, 4, aligned, 1, "", true, true);
  for (const char* name : {"qpdf__default-da-q", "pdfjs__issue15753"}) {
    SCOPED_TRACE(name);
    const std::string input = RealWorldDir() + "/" + name + ".pdf";
    ASSERT_EQ(Folvex("merge " + Quoted(input) + " " + Quoted(input) + " -o " + Quoted(output) + " --keep-annotations").ExitCode, 0);
    ExpectSamePage(output, 1, input, 1, "", true, true);
    ExpectSamePage(output, 2, input, 1, "", true, true);
  }
  EXPECT_NE(RunCommand("qpdf --qdf " + Quoted(output) + " - | tr -s ' \\n' ' '").Output.find("/CO [ 3 0 R 4 0 R ]"),
            std::string::npos);
}

// Real files with links, forms and comments, reversed with the last page again: every page keeps
// its annotations as they become in the copy, shows the same text and, annotations rendered, the
// same pixels; qpdf finds the copy no worse than the file.
TEST_F(KeptAnnotations, RealFiles) {
  if (!fs::exists(RealWorldDir()) || !HaveTool("pdftoppm")) GTEST_SKIP() << "no real-world files or poppler";
  // A filled tax form, form demos, named-destination links, comments and highlights, fields over
  // two pages, a long manual full of links.
  const char* const files[] = {"pdfjs__prefilled_f1040", "pdfcpu__german", "qpdf__link-annots", "pdfjs__comments",
                               "qpdf__fields-two-pages", "qpdf__overlay-copy-annotations", "pdfjs__highlights",
                               "local__libtasn1", "pypdf__outlines-with-invalid-destinations"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const std::string input = RealWorldDir() + "/" + name + ".pdf", output = Folder + "/" + name + ".pdf";
    const int count = PdfinfoPages(input);
    ASSERT_GE(count, 2);
    std::string pages;
    for (int page = count; page >= 1; --page) pages += std::to_string(page) + ",";
    pages += std::to_string(count);
    const CommandResult run = Folvex("extract " + Quoted(input) + " " + pages + " -o " + Quoted(output) + " --keep-annotations");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(Expect(input, pages, output), "same\n");
    EXPECT_TRUE(CheckWithQpdf(output).Clean || !CheckWithQpdf(input).Clean);
    ExpectSamePage(output, 1, input, count, "", true, true);
    ExpectSamePage(output, count, input, 1, "", true, true);
  }
}

}  // namespace
}  // namespace folvex
