// folvex extract, judged by qpdf, pdfinfo, pdftotext and pdftoppm.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Folvex;
using testing::HaveTool;
using testing::PageText;
using testing::Quoted;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext") && HaveTool("pdftoppm"); }

// Output page k shows input page pages[k - 1]: the same text and the same pixels.
void ExpectPagesOf(const std::string& output, const std::string& input, const std::vector<int>& pages) {
  EXPECT_EQ(testing::PdfinfoPages(output), static_cast<int>(pages.size())) << input;
  for (std::size_t k = 0; k < pages.size(); ++k) {
    testing::ExpectSamePage(output, static_cast<int>(k) + 1, input, pages[k]);
  }
}

TEST(ExtractCommand, RangesSettingsAndOutlines) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string input = WriteTempFile("cli-extract-25.pdf", SimplePdf(25));
  const std::string output = TempDir() + "/cli-extract-out.pdf";
  testing::CommandResult run =
      Folvex("extract " + Quoted(input) + " '1, 3 -5,12-9,20-' -o " + Quoted(output) + " --open-view 150F --layout one-column");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Done"), std::string::npos);
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean);
  ExpectPagesOf(output, input, {1, 3, 4, 5, 12, 11, 10, 9, 20, 21, 22, 23, 24, 25});
  const std::string bytes = testing::ReadFile(output);
  // Catalog (moved behind the pages) with its open action on the first page, 5 for 14 pages.
  EXPECT_NE(bytes.find("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n"
                       "/PageLayout /OneColumn\n>>\nendobj\n"),
            std::string::npos);
  EXPECT_GT(bytes.find("\n1 0 obj\n"), bytes.find("\n2 0 obj\n"));

  // The same options from a settings file.
  const std::string ini = WriteTempFile("cli-extract.ini", "[File Setting]\nDispScale=A\nPageLayout=5\n");
  run = Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(output) + " --settings " + Quoted(ini) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(testing::ReadFile(output).find("/OpenAction [ 4 0 R /Fit ]\n/PageLayout /SinglePage\n>>"), std::string::npos);
}

TEST(ExtractCommand, OutlinesPointingIntoTheSelectionAreKept) {
  if (!HaveOracles() || !HaveTool("mutool")) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 9 0 R /Names << /Dests 13 0 R >> >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /MediaBox [0 0 200 200] >>");
  for (int i = 0; i < 3; ++i) {
    w.Object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
    w.Stream(4 + 2 * i, "", "0 0 1 rg 10 10 " + std::to_string(50 + 40 * i) + " 50 re f");
  }
  w.Object(9, "<< /Type /Outlines /First 10 0 R /Last 11 0 R /Count 3 >>");
  w.Object(10, "<< /Title (First) /Parent 9 0 R /Next 11 0 R /Dest [3 0 R /Fit] /First 12 0 R /Last 12 0 R /Count -1 >>");
  w.Object(11, "<< /Title (Third) /Parent 9 0 R /Prev 10 0 R /Dest [7 0 R /XYZ 0 200 0] >>");
  w.Object(12, "<< /Title (Second) /Parent 10 0 R /Dest (second) >>");
  w.Object(13, "<< /Names [(second) [5 0 R /Fit]] >>");
  w.Finish("/Size 14 /Root 1 0 R");
  const std::string input = WriteTempFile("cli-outlines.pdf", w.Bytes());
  const std::string output = TempDir() + "/cli-outlines-out.pdf";
  testing::CommandResult run =
      Folvex("extract " + Quoted(input) + " 3,2,1 -o " + Quoted(output) + " --outlines keep --page-mode outlines-or-none --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean) << testing::CheckWithQpdf(output).Output;
  // Regrouped in output order: Third on page 1, then Second (its named destination resolved; level
  // 2, so under the entry before it), then First on page 3.
  const std::string outline = RunCommand("mutool show " + Quoted(output) + " outline").Output;
  EXPECT_EQ(outline,
            "-\t\"Third\"\t#page=1&zoom=100,0,0\n"
            "|\t\t\"Second\"\t#page=2&view=Fit\n"
            "|\t\"First\"\t#page=3&view=Fit\n")
      << outline;
  EXPECT_NE(testing::ReadFile(output).find("/PageMode /UseOutlines"), std::string::npos);
}

TEST(ExtractCommand, ProtectedInputGivesAnOutputProtectedTheSameWay) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string plain = WriteTempFile("cli-extract-plain.pdf", SimplePdf(4));
  const std::string locked = TempDir() + "/cli-extract-locked.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, locked, "user", "owner", "128 --use-aes=n"));
  const std::string output = TempDir() + "/cli-extract-locked-out.pdf";

  testing::CommandResult refused = Folvex("extract " + Quoted(locked) + " 2,1 -o " + Quoted(output));
  EXPECT_EQ(refused.ExitCode, 6) << refused.Output;
  EXPECT_FALSE(std::filesystem::exists(output));

  testing::CommandResult run = Folvex("extract " + Quoted(locked) + " 4,1 -o " + Quoted(output) + " --password user --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(testing::QpdfEncryptionValue(output, "owner", "R"), "3");
  EXPECT_EQ(testing::QpdfEncryptionValue(output, "user", "P"), testing::QpdfEncryptionValue(locked, "user", "P"));
  EXPECT_TRUE(testing::CheckWithQpdf(output, "user").Clean) << testing::CheckWithQpdf(output, "user").Output;
  EXPECT_EQ(PageText(output, 1, "user"), PageText(plain, 4));
  EXPECT_EQ(PageText(output, 2, "user"), PageText(plain, 1));
}

TEST(ExtractCommand, FailuresLeaveNoOutputAndNameTheirReason) {
  const std::string input = WriteTempFile("cli-extract-fail.pdf", SimplePdf(11));
  const std::string single = WriteTempFile("cli-extract-single.pdf", SimplePdf(1));
  const std::string output = TempDir() + "/cli-extract-fail-out.pdf";
  struct Case {
    std::string Arguments;
    int Status;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {Quoted(input) + " 10-12 -o " + Quoted(output), 1, "Bad Page Input\n  \"10-12\""},
      {Quoted(input) + " '3-0' -o " + Quoted(output), 1, "Bad Page Input\n  \"3-0\""},
      {Quoted(single) + " 1 -o " + Quoted(output), 1, "This File has only 1 Page"},
      {Quoted(single) + " 5- -o " + Quoted(output), 1, "This File has only 1 Page"},
      // An open end is closed from the job's own opening of the input.
      {Quoted(input) + " 'x-' -o " + Quoted(output), 1, "Bad Page Input\n  \"x-11\""},
      {Quoted(input) + " 0,3- -o " + Quoted(output), 1, "Bad Page Input\n  \"0,3-11\""},
      {Quoted(TempDir() + "/absent.pdf") + " 2- -o " + Quoted(output), 2, "File Not Found"},
      {Quoted(WriteTempFile("cli-notes-open.txt", "plain words\n")) + " 2- -o " + Quoted(output), 3, "Failure - Page Extract"},
      {Quoted(TempDir() + "/absent.pdf") + " 1 -o " + Quoted(output), 2, "File Not Found"},
      {Quoted(WriteTempFile("cli-notes.txt", "plain words\n")) + " 1,2 -o " + Quoted(output), 3, "Failure - Page Extract"},
      {Quoted(input) + " 1 -o " + Quoted(TempDir() + "/no-such-folder/out.pdf"), 4, "Can't Save"},
      {Quoted(input) + " 1 -o " + Quoted(input), 1, "the new file would replace a file of this job"},
  };
  const std::string before = testing::ReadFile(input);
  for (const Case& c : cases) {
    testing::CommandResult run = Folvex("extract " + c.Arguments);
    EXPECT_EQ(run.ExitCode, c.Status) << c.Arguments << ": " << run.Output;
    EXPECT_NE(run.Output.find(c.Message), std::string::npos) << c.Arguments << ": " << run.Output;
    EXPECT_FALSE(std::filesystem::exists(output)) << c.Arguments;
  }
  EXPECT_EQ(testing::ReadFile(input), before);
  for (const auto& entry : std::filesystem::directory_iterator(TempDir())) {
    EXPECT_EQ(entry.path().extension(), entry.path().extension() == ".part" ? ".none" : entry.path().extension())
        << "a temporary file was left: " << entry.path();
  }

  // --backup keeps the old output as .bak on success, and puts it back after a failure.
  const std::string kept = TempDir() + "/cli-extract-kept.pdf";
  std::filesystem::copy_file(input, kept, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 30 -o " + Quoted(kept) + " --backup").ExitCode, 1);
  EXPECT_EQ(testing::ReadFile(kept), before);
  EXPECT_FALSE(std::filesystem::exists(TempDir() + "/cli-extract-kept.bak"));
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(kept) + " --backup --quiet").ExitCode, 0);
  EXPECT_EQ(testing::ReadFile(TempDir() + "/cli-extract-kept.bak"), before);
  EXPECT_EQ(testing::PdfinfoPages(kept), HaveTool("pdfinfo") ? 1 : -1);
}

}  // namespace
}  // namespace folvex
