// folvex split and the Linux tomlet, every page file judged by qpdf, pdftotext and pdftoppm
// against its source page.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

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

// A clean folder of its own under the test folder.
std::string FreshFolder(const std::string& name) {
  const std::string folder = TempDir() + "/" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// The page file shows the source page: one page, clean for qpdf (unless the source is not), the
// same text and the same pixels.
void ExpectPageFile(const std::string& pageFile, const std::string& input, int page, bool render = true,
                    const std::string& password = "") {
  SCOPED_TRACE(pageFile);
  ASSERT_TRUE(std::filesystem::exists(pageFile));
  const testing::QpdfCheck check = testing::CheckWithQpdf(pageFile, password);
  EXPECT_TRUE(check.Clean || !testing::CheckWithQpdf(input, password).Clean) << check.Output;
  if (password.empty()) {
    EXPECT_EQ(testing::PdfinfoPages(pageFile), 1);
  }
  testing::ExpectSamePage(pageFile, 1, input, page, password, render);
}

TEST(SplitCommand, EveryPageBesideTheInputWithoutOverwriting) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string folder = FreshFolder("split-all");
  const std::string input = folder + "/Report.PDF";
  testing::WriteTempFile("split-all/Report.PDF", SimplePdf(12));
  testing::CommandResult run = Folvex("split " + Quoted(input));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("12 page files written"), std::string::npos) << run.Output;
  std::set<std::string> expected{"Report.PDF"};
  for (int page = 1; page <= 12; ++page) {
    const std::string name = std::string("Report_") + (page < 10 ? "0" : "") + std::to_string(page) + ".pdf";
    expected.insert(name);
    ExpectPageFile(folder + "/" + name, input, page);
  }
  EXPECT_EQ(NamesIn(folder), expected);

  // Again with ranges: the taken names give way, the earlier files stay as they were.
  const std::string before = testing::ReadFile(folder + "/Report_03.pdf");
  run = Folvex("split " + Quoted(input) + " 3,12-11,3 --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output, "");
  EXPECT_EQ(testing::ReadFile(folder + "/Report_03.pdf"), before);
  ExpectPageFile(folder + "/Report_03 (2).pdf", input, 3, false);
  ExpectPageFile(folder + "/Report_12 (2).pdf", input, 12, false);
  ExpectPageFile(folder + "/Report_11 (2).pdf", input, 11, false);
  ExpectPageFile(folder + "/Report_03 (3).pdf", input, 3, false);
  EXPECT_EQ(NamesIn(folder).size(), expected.size() + 4);
}

TEST(SplitCommand, OutputFolderPaddingAndSettings) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string input = WriteTempFile("split-settings.pdf", SimplePdf(120));
  const std::string out = FreshFolder("split-settings-out");
  testing::CommandResult run = Folvex("split " + Quoted(input) + " 7,120 --output-dir " + Quoted(out) +
                                      " --open-view 150F --layout one-column --direction r2l --page-mode thumbs --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(NamesIn(out), (std::set<std::string>{"split-settings_007.pdf", "split-settings_120.pdf"}));
  ExpectPageFile(out + "/split-settings_007.pdf", input, 7);
  const std::string bytes = testing::ReadFile(out + "/split-settings_120.pdf");
  EXPECT_NE(bytes.find("/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true \n"
                       "/Direction /R2L >>\n/PageLayout /OneColumn\n/PageMode /UseThumbs\n>>\nendobj\n"),
            std::string::npos)
      << bytes;

  // The split's own outline and page-mode values come from a settings file.
  const std::string ini = WriteTempFile("split.ini", "[File Setting]\nPageModeS=1\nPageModeE=3\n");
  run = Folvex("split " + Quoted(input) + " 1 --output-dir " + Quoted(out) + " --settings " + Quoted(ini) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(testing::ReadFile(out + "/split-settings_001.pdf").find("/PageMode /UseOutlines\n"), std::string::npos);
}

TEST(SplitCommand, OutlinesOfEachPageAreKeptWhenAsked) {
  if (!HaveOracles() || !HaveTool("mutool")) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 9 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /MediaBox [0 0 200 200] /Rotate 90 >>");
  for (int i = 0; i < 3; ++i) {
    w.Object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(4 + 2 * i) + " 0 R >>");
    w.Stream(4 + 2 * i, "", "0 0 1 rg 10 10 " + std::to_string(50 + 40 * i) + " 50 re f");
  }
  w.Object(9, "<< /Type /Outlines /First 10 0 R /Last 11 0 R /Count 2 >>");
  w.Object(10, "<< /Title (First) /Parent 9 0 R /Next 11 0 R /Dest [3 0 R /Fit] >>");
  w.Object(11, "<< /Title (Third) /Parent 9 0 R /Prev 10 0 R /Dest [7 0 R /Fit] >>");
  w.Finish("/Size 12 /Root 1 0 R");
  const std::string folder = FreshFolder("split-outlines");
  const std::string input = folder + "/o.pdf";
  testing::WriteTempFile("split-outlines/o.pdf", w.Bytes());
  testing::CommandResult run = Folvex("split " + Quoted(input) + " --outlines keep --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  for (int page = 1; page <= 3; ++page) ExpectPageFile(folder + "/o_" + std::to_string(page) + ".pdf", input, page);
  EXPECT_EQ(RunCommand("mutool show " + Quoted(folder + "/o_1.pdf") + " outline").Output, "|\t\"First\"\t#page=1&view=Fit\n");
  EXPECT_EQ(RunCommand("mutool show " + Quoted(folder + "/o_2.pdf") + " outline").Output, "");
  EXPECT_EQ(RunCommand("mutool show " + Quoted(folder + "/o_3.pdf") + " outline").Output, "|\t\"Third\"\t#page=1&view=Fit\n");
  // The inherited rotation is written into each page.
  EXPECT_NE(testing::ReadFile(folder + "/o_2.pdf").find("/Rotate 90"), std::string::npos);
}

TEST(SplitCommand, ProtectedInputs) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string plain = WriteTempFile("split-plain.pdf", SimplePdf(3));
  const std::string folder = FreshFolder("split-locked");
  const std::string locked = folder + "/locked.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, locked, "user", "owner", "128 --use-aes=n"));

  testing::CommandResult refused = Folvex("split " + Quoted(locked) + " </dev/null");
  EXPECT_EQ(refused.ExitCode, 6) << refused.Output;
  EXPECT_NE(refused.Output.find("Can't Split\nThis PDF File is Encrypted"), std::string::npos) << refused.Output;
  EXPECT_EQ(NamesIn(folder).size(), 1u);

  testing::CommandResult run = Folvex("split " + Quoted(locked) + " 2-3 --password user --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  // Each page file is protected as the input was.
  for (int page : {2, 3}) {
    const std::string pageFile = folder + "/locked_" + std::to_string(page) + ".pdf";
    ExpectPageFile(pageFile, locked, page, false, "user");
    EXPECT_EQ(testing::QpdfEncryptionValue(pageFile, "owner", "R"), "3");
  }

  // Opened with the empty user password: no password needed.
  const std::string open = folder + "/open.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, open, "", "owner", "128 --use-aes=n"));
  run = Folvex("split " + Quoted(open) + " --quiet </dev/null");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  ExpectPageFile(folder + "/open_1.pdf", plain, 1, false);
}

TEST(SplitCommand, FailuresAndTheirStatuses) {
  const std::string one = WriteTempFile("split-one.pdf", SimplePdf(1));
  const std::string three = WriteTempFile("split-three.pdf", SimplePdf(3));
  struct Case {
    std::string Arguments;
    int Status;
    std::string Message;
  };
  for (const Case& c : {
           Case{Quoted(one), 1, "Can't Split\nThis PDF File has Only One Page"},
           Case{Quoted(TempDir() + "/no-such.pdf"), 2, "File Not Found"},
           Case{Quoted(three) + " 2-5", 1, "Bad Page Input"},
           Case{Quoted(three) + " --output-dir " + Quoted(TempDir() + "/no-such-folder"), 1,
                "The output folder does not exist."},
           Case{Quoted(three) + " --output-dir /proc", 4, "Can't Create New Files"},
           Case{Quoted(WriteTempFile("split-junk.pdf", "not a pdf at all")), 3, "Failed"},
       }) {
    SCOPED_TRACE(c.Arguments);
    const testing::CommandResult run = Folvex("split " + c.Arguments);
    EXPECT_EQ(run.ExitCode, c.Status) << run.Output;
    EXPECT_NE(run.Output.find(c.Message), std::string::npos) << run.Output;
  }
  const testing::CommandResult help = Folvex("--help");
  EXPECT_NE(help.Output.find("split"), std::string::npos);
  EXPECT_NE(help.Output.find("(split: a page file)"), std::string::npos);
}

// tomlet on Linux: the launch command lines with their list files.
class TomletLinux : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = FreshFolder(std::string("tomlet-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Tmp = Folder + "/tmp";
    std::filesystem::create_directories(Tmp);
  }
  testing::CommandResult Tomlet(const std::string& arguments, const std::string& directory = "") {
    return RunCommand("cd " + Quoted(directory.empty() ? Folder : directory) + " && TMP=" + Quoted(Tmp) + " " +
                      FOLVEX_TOMLET_PATH + " " + arguments + " </dev/null 2>&1; echo \"exit $?\"");
  }
  std::string Folder;
  std::string Tmp;
};

TEST_F(TomletLinux, CommandLinesAndListFiles) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string input = Folder + "/in put.pdf";
  testing::WriteTempFile(input.substr(TempDir().size() + 1), SimplePdf(4));

  // A list file in TMP with the options of a version-1000 launch.
  testing::WriteTempFile((Tmp + "/~tpfd0001.tmp").substr(TempDir().size() + 1), "/d150f /p2l /ok /nt \n" + input + "\n");
  testing::CommandResult run = Tomlet("-Bc123 ~tpfd0001.tmp");
  EXPECT_NE(run.Output.find("exit 0"), std::string::npos) << run.Output;
  for (int page = 1; page <= 4; ++page) ExpectPageFile(Folder + "/in put_" + std::to_string(page) + ".pdf", input, page, page == 1);
  const std::string bytes = testing::ReadFile(Folder + "/in put_2.pdf");
  EXPECT_NE(bytes.find("/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n"
                       "/PageLayout /TwoColumnLeft\n/PageMode /UseThumbs\n"),
            std::string::npos);

  // Page input with ranges, language forced; a second run takes the next free names.
  testing::WriteTempFile((Tmp + "/~tpfd0002.tmp").substr(TempDir().size() + 1), "\n" + input + "\n");
  run = Tomlet("--ranges 4-3 /jp-Bp ~tpfd0002.tmp");
  EXPECT_NE(run.Output.find("exit 0"), std::string::npos) << run.Output;
  ExpectPageFile(Folder + "/in put_4 (2).pdf", input, 4, false);
  ExpectPageFile(Folder + "/in put_3 (2).pdf", input, 3, false);
  EXPECT_FALSE(std::filesystem::exists(Folder + "/in put_1 (2).pdf"));

  // The older forms take the path itself; without TMP the list file is "~tpfd" in the current
  // directory.
  run = Tomlet("/us-Autop " + input);  // no terminal to ask: cancelled
  EXPECT_NE(run.Output.find("Canceled"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("exit 5"), std::string::npos) << run.Output;
  run = Tomlet("-Ac77 " + input);
  EXPECT_NE(run.Output.find("exit 0"), std::string::npos) << run.Output;
  ExpectPageFile(Folder + "/in put_1 (2).pdf", input, 1, false);
  ExpectPageFile(Folder + "/in put_3 (3).pdf", input, 3, false);
  testing::WriteTempFile((Folder + "/~tpfd").substr(TempDir().size() + 1), "/po \n" + input + "\n");
  run = RunCommand("cd " + Quoted(Folder) + " && env -u TMP " + FOLVEX_TOMLET_PATH + " -Bu ~tpfd 2>&1; echo \"exit $?\"");
  EXPECT_NE(run.Output.find("exit 0"), std::string::npos) << run.Output;
  ExpectPageFile(Folder + "/in put_2 (3).pdf", input, 2, false);
  ExpectPageFile(Folder + "/in put_4 (4).pdf", input, 4, false);
}

TEST_F(TomletLinux, StatusesOfFailedFiles) {
  const std::string one = Folder + "/one.pdf";
  testing::WriteTempFile(one.substr(TempDir().size() + 1), SimplePdf(1));
  const std::string plain = WriteTempFile("tomlet-plain.pdf", SimplePdf(3));
  const std::string locked = Folder + "/locked.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, locked, "user", "owner", "128 --use-aes=n"));
  struct Case {
    std::string Arguments;
    std::string Expected;
  };
  for (const Case& c : {
           Case{"-Auto " + one, "This PDF File has Only One Page\nexit 3"},
           Case{"-Auto " + locked, "This PDF File is Encrypted\nexit 2"},
           Case{"-Bu ~tpfd-missing.tmp", "The list file cannot be read\nexit 1"},
           Case{"-Auto " + Folder + "/missing.pdf", "Failed\nexit 1"},
           Case{"-Zz x", "usage: tomlet"},
       }) {
    const testing::CommandResult run = Tomlet(c.Arguments);
    EXPECT_NE(run.Output.find(c.Expected), std::string::npos) << c.Arguments << ": " << run.Output;
  }
  EXPECT_EQ(NamesIn(Folder), (std::set<std::string>{"one.pdf", "locked.pdf", "tmp"}));
}

}  // namespace
}  // namespace folvex
