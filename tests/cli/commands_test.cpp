// The folvex commands (info, extract, split with the Linux tomlet, merge, protect and unprotect)
// run as processes on files on disk, their outputs judged by qpdf, pdfinfo, pdftotext, pdftoppm
// and mutool.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "app/jobs/output_names.h"
#include "engine/assembly/merge.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using testing::Folvex;
using testing::HaveTool;
using testing::PageText;
using testing::PdfText;
using testing::Quoted;
using testing::ReadFile;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext") && HaveTool("pdftoppm") && HaveTool("mutool"); }

// A clean folder of its own under the test folder.
std::string FreshFolder(const std::string& name) {
  const std::string folder = TempDir() + "/" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// The page file shows the source page: one page, clean for qpdf, the same text and (when render
// is set) the same pixels.
void ExpectPageFile(const std::string& pageFile, const std::string& input, int page, bool render = true) {
  SCOPED_TRACE(pageFile);
  ASSERT_TRUE(fs::exists(pageFile));
  const testing::QpdfCheck check = testing::CheckWithQpdf(pageFile);
  EXPECT_TRUE(check.Clean) << check.Output;
  EXPECT_EQ(testing::PdfinfoPages(pageFile), 1);
  testing::ExpectSamePage(pageFile, 1, input, page, "", render);
}

testing::CommandResult Info(const std::string& arguments) {
  return RunCommand(std::string(FOLVEX_CLI_PATH) + " " + arguments + " 2>/dev/null");
}

// One line per file with its page count or the state of a file it cannot count. Copies of a
// Ghostscript file without their cross-reference table, shifted, truncated or behind garbage are
// counted all the same.
TEST(InfoCommand, CountsAndStatesOfFiles) {
  if (!HaveTool("qpdf") || !HaveTool("gs")) GTEST_SKIP() << "qpdf or gs is not installed";
  const std::string twelve = WriteTempFile("info-protect.pdf", SimplePdf(12));
  const std::string classic = TempDir() + "/info-classic-enc.pdf", streams = TempDir() + "/info-streams-enc.pdf";
  for (const auto& [output, how] : {std::pair{classic, "disable --encrypt u o 128"}, std::pair{streams, "generate --encrypt u o 256"}}) {
    ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --object-streams=" + std::string(how) + " -- " + Quoted(twelve) + " " +
                         Quoted(output)).ExitCode, 0);
  }
  std::string ps = "%!PS\n/Helvetica findfont 24 scalefont setfont\n";
  for (int i = 1; i <= 6; ++i) ps += "72 700 moveto (Page " + std::to_string(i) + ") show showpage\n";
  const std::string gs = TempDir() + "/damage-gs.pdf";
  ASSERT_EQ(RunCommand("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=" + Quoted(gs) + " " +
                       Quoted(WriteTempFile("damage.ps", ps))).ExitCode, 0);
  const std::string original = ReadFile(gs);
  for (const auto& [path, text, status] : {
           std::tuple<std::string, const char*, int>{TempDir() + "/missing.pdf", "X Not Found", 2},
      {WriteTempFile("readme.txt", "Folvex works on whole PDF files.\n"), "X Not PDF?", 3},
      {WriteTempFile("ok.pdf", SimplePdf(2)), "2", 0},
      {TempDir(), "X Not Found", 2},  // a folder is no file
      {classic, "12 Encrypted", 0},
      {streams, "Encrypted", 3},  // a protected file that cannot be counted is unreadable
      {WriteTempFile("damage-stripped.pdf", original.substr(0, original.rfind("xref"))), "6", 0},
      {WriteTempFile("damage-shifted.pdf", "%PDF-1.4\n% junk junk junk\n" + original), "6", 0},
      {WriteTempFile("damage-truncated.pdf", original.substr(0, original.size() - 40)), "6", 0},
      {WriteTempFile("damage-prefixed.pdf", "garbage before the header\n" + original), "6", 0}}) {
    const testing::CommandResult run = Info("info " + Quoted(path));
    EXPECT_EQ(run.Output, text + ("\t" + path + "\n")) << path;
    EXPECT_EQ(run.ExitCode, status) << path;
  }
  const std::string a = WriteTempFile("multi-a.pdf", SimplePdf(1)), b = WriteTempFile("multi-b.pdf", SimplePdf(3));
  const testing::CommandResult several = Info("info " + Quoted(a) + " " + Quoted(b));
  EXPECT_EQ(several.Output, "1\t" + a + "\n3\t" + b + "\n");
  EXPECT_EQ(several.ExitCode, 0);
  const testing::CommandResult ja = Info("--lang ja info " + Quoted(TempDir() + "/missing.pdf"));
  EXPECT_EQ(ja.Output.substr(0, ja.Output.find('\t')), "X 不明");
  for (const char* arguments : {"info", "--lang fr info a.pdf", "--bogus info a.pdf", "frobnicate a.pdf", ""}) {
    EXPECT_EQ(Info(arguments).ExitCode, 1) << arguments;
  }
}

std::string Filled(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  return text;
}

TEST(ExtractCommand, RangesSettingsAndOutlines) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string input = WriteTempFile("cli-extract-25.pdf", SimplePdf(25));
  const std::string output = TempDir() + "/cli-extract-out.pdf";
  testing::CommandResult run =
      Folvex("extract " + Quoted(input) + " '1, 3 -5,12-9,20-' -o " + Quoted(output) + " --open-view 150F --layout one-column");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Done"), std::string::npos);
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean);
  const std::vector<int> pages = {1, 3, 4, 5, 12, 11, 10, 9, 20, 21, 22, 23, 24, 25};
  EXPECT_EQ(testing::PdfinfoPages(output), static_cast<int>(pages.size()));
  for (std::size_t k = 0; k < pages.size(); ++k) testing::ExpectSamePage(output, static_cast<int>(k) + 1, input, pages[k]);
  const std::string bytes = ReadFile(output);
  // Catalog (moved behind the pages) with its open action on the first page, 5 for 14 pages.
  EXPECT_NE(bytes.find("/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n"
                       "/PageLayout /OneColumn\n>>\nendobj\n"),
            std::string::npos);
  EXPECT_GT(bytes.find("\n1 0 obj\n"), bytes.find("\n2 0 obj\n"));

  // The same options from a settings file.
  const std::string ini = WriteTempFile("cli-extract.ini", "[File Setting]\nDispScale=A\nPageLayout=5\n");
  run = Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(output) + " --settings " + Quoted(ini) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(ReadFile(output).find("/OpenAction [ 4 0 R /Fit ]\n/PageLayout /SinglePage\n>>"), std::string::npos);
}

// Outline items pointing into the selection are kept (a named destination resolved), regrouped in
// output order by extract and one page file at a time by split; the inherited rotation is written
// into each page.
TEST(Outlines, ItemsOfTheSelectedPagesAreKeptWhenAsked) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 9 0 R /Names << /Dests 13 0 R >> >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 7 0 R] /Count 3 /MediaBox [0 0 200 200] /Rotate 90 >>");
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
  const std::string folder = FreshFolder("outlines"), input = WriteTempFile("outlines/o.pdf", w.Bytes());
  const std::string extracted = TempDir() + "/outlines-out.pdf";
  for (const std::string& command : {"extract " + Quoted(input) + " 3,2,1 -o " + Quoted(extracted) +
                                         " --outlines keep --page-mode outlines-or-none",
                                     "split " + Quoted(input) + " 1,3 --outlines keep"}) {
    const testing::CommandResult run = Folvex(command + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << command << run.Output;
  }
  // Extract: Third on page 1, then Second (level 2, so under the entry before it), then First.
  // Split: each page file with the items of its page (the child of First points elsewhere).
  for (const auto& [file, pages, outline] : {
           std::tuple<std::string, std::vector<int>, const char*>{extracted, {3, 2, 1}, "-\t\"Third\"\t#page=1&zoom=100,200,0\n|\t\t\"Second\"\t#page=2&view=Fit\n|\t\"First\"\t#page=3&view=Fit\n"},
      {folder + "/o_1.pdf", {1}, "|\t\"First\"\t#page=1&view=Fit\n"},
      {folder + "/o_3.pdf", {3}, "|\t\"Third\"\t#page=1&zoom=100,200,0\n"}}) {
    SCOPED_TRACE(file);
    const testing::QpdfCheck check = testing::CheckWithQpdf(file);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(testing::PdfinfoPages(file), static_cast<int>(pages.size()));
    for (std::size_t k = 0; k < pages.size(); ++k) testing::ExpectSamePage(file, static_cast<int>(k) + 1, input, pages[k]);
    EXPECT_EQ(RunCommand("mutool show " + Quoted(file) + " outline").Output, outline);
    EXPECT_NE(ReadFile(file).find("/Rotate 90"), std::string::npos);
  }
  EXPECT_NE(ReadFile(extracted).find("/PageMode /UseOutlines"), std::string::npos);
}

// Failed extract, split and merge runs name their reason, leave every file as it was and write
// nothing. An open end of a range is closed from the job's own opening of the input.
TEST(CommandFailures, NameTheirReasonAndLeaveEveryFileAsItWas) {
  const std::string dir = FreshFolder("failures");
  WriteTempFile("failures/eleven.pdf", SimplePdf(11));
  WriteTempFile("failures/one.pdf", SimplePdf(1));
  WriteTempFile("failures/notes.txt", "plain words, no PDF\n");
  WriteTempFile("failures/junk.pdf", "not a pdf at all");
  const auto contents = [&dir] {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) files[entry.path().string()] = ReadFile(entry.path().string());
    return files;
  };
  auto before = contents();
  // The arguments ({d} is the folder), the status and the message.
  for (const auto& [arguments, status, message] : {
      std::tuple{"extract {d}/eleven.pdf 10-12 -o {d}/out.pdf", 1, "Bad Page Input\n  \"10-12\""},
      {"extract {d}/eleven.pdf '3-0' -o {d}/out.pdf", 1, "Bad Page Input\n  \"3-0\""},
      {"extract {d}/one.pdf 1 -o {d}/out.pdf", 1, "This File has only 1 Page"},
      {"extract {d}/one.pdf 5- -o {d}/out.pdf", 1, "This File has only 1 Page"},
      {"extract {d}/eleven.pdf 'x-' -o {d}/out.pdf", 1, "Bad Page Input\n  \"x-11\""},
      {"extract {d}/eleven.pdf 0,3- -o {d}/out.pdf", 1, "Bad Page Input\n  \"0,3-11\""},
      {"extract {d}/absent.pdf 2- -o {d}/out.pdf", 2, "File Not Found"},
      {"extract {d}/notes.txt 2- -o {d}/out.pdf", 3, "Failure - Page Extract"},
      {"extract {d}/absent.pdf 1 -o {d}/out.pdf", 2, "File Not Found"},
      {"extract {d}/notes.txt 1,2 -o {d}/out.pdf", 3, "Failure - Page Extract"},
      {"extract {d}/eleven.pdf 1 -o {d}/no-such-folder/out.pdf", 4, "Can't Save"},
      {"extract {d}/eleven.pdf 1 -o {d}/eleven.pdf", 1, "the new file would replace a file of this job"},
      {"split {d}/one.pdf", 1, "Can't Split\nThis PDF File has Only One Page"},
      {"split {d}/absent.pdf", 2, "File Not Found"},
      {"split {d}/eleven.pdf 2-12", 1, "Bad Page Input"},
      {"split {d}/eleven.pdf --output-dir {d}/no-such-folder", 1, "The output folder does not exist."},
      {"split {d}/eleven.pdf --output-dir /proc", 4, "Can't Create New Files"},
      {"split {d}/junk.pdf", 3, "Failed"},
      {"merge {d}/one.pdf {d}/absent.pdf -o {d}/out.pdf", 2, "File Not Found\n  {d}/absent.pdf"},
      {"merge {d}/one.pdf {d}/notes.txt -o {d}/out.pdf", 3, "Failure - Merge\n  {d}/notes.txt"},
      {"merge {d}/one.pdf {d}/eleven.pdf -o {d}/eleven.pdf", 1, "the new file would replace a file of this job"},
      {"merge {d}/one.pdf {d}/one.pdf -o {d}/no-such-folder/out.pdf", 4, "Can't Save"}}) {
    SCOPED_TRACE(arguments);
    const testing::CommandResult run = Folvex(Filled(arguments, "{d}", dir));
    EXPECT_EQ(run.ExitCode, status) << run.Output;
    EXPECT_NE(run.Output.find(Filled(message, "{d}", dir)), std::string::npos) << run.Output;
    EXPECT_EQ(contents(), before);
  }

  // --backup keeps the old output as .bak on success, and puts it back after a failure.
  const std::string input = dir + "/eleven.pdf", kept = TempDir() + "/cli-extract-kept.pdf";
  fs::copy_file(input, kept);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 30 -o " + Quoted(kept) + " --backup").ExitCode, 1);
  EXPECT_EQ(ReadFile(kept), before[input]);
  EXPECT_FALSE(fs::exists(TempDir() + "/cli-extract-kept.bak"));
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(kept) + " --backup --quiet").ExitCode, 0);
  EXPECT_EQ(ReadFile(TempDir() + "/cli-extract-kept.bak"), before[input]);
  EXPECT_EQ(testing::PdfinfoPages(kept), HaveTool("pdfinfo") ? 1 : -1);
}

TEST(SplitCommand, PageFilesTheirNamesAndSettings) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string folder = FreshFolder("split-all"), input = WriteTempFile("split-all/Report.PDF", SimplePdf(12));
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
  for (const auto& [name, page] : std::vector<std::pair<std::string, int>>{
           {"Report_03 (2)", 3}, {"Report_12 (2)", 12}, {"Report_11 (2)", 11}, {"Report_03 (3)", 3}}) {
    ExpectPageFile(folder + "/" + name + ".pdf", input, page, false);
    expected.insert(name + ".pdf");
  }
  EXPECT_EQ(NamesIn(folder), expected);

  // Into a folder, padded to three digits, with the viewer settings.
  const std::string wide = WriteTempFile("split-settings.pdf", SimplePdf(120)), out = FreshFolder("split-settings-out");
  run = Folvex("split " + Quoted(wide) + " 7,120 --output-dir " + Quoted(out) +
               " --open-view 150F --layout one-column --direction r2l --page-mode thumbs --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(NamesIn(out), (std::set<std::string>{"split-settings_007.pdf", "split-settings_120.pdf"}));
  ExpectPageFile(out + "/split-settings_007.pdf", wide, 7);
  const std::string bytes = testing::ReadFile(out + "/split-settings_120.pdf");
  EXPECT_NE(bytes.find("/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true \n"
                       "/Direction /R2L >>\n/PageLayout /OneColumn\n/PageMode /UseThumbs\n>>\nendobj\n"),
            std::string::npos)
      << bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), 400));

  // The split's own outline and page-mode values come from a settings file.
  const std::string ini = WriteTempFile("split.ini", "[File Setting]\nPageModeS=1\nPageModeE=3\n");
  run = Folvex("split " + Quoted(wide) + " 1 --output-dir " + Quoted(out) + " --settings " + Quoted(ini) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(testing::ReadFile(out + "/split-settings_001.pdf").find("/PageMode /UseOutlines\n"), std::string::npos);
}

// A protected input is refused without its password; with it, extract and split write outputs
// protected as the input was. An empty user password needs no password, for merge too.
TEST(ProtectedInputs, OutputsAreProtectedAsTheInputWas) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string plain = WriteTempFile("split-plain.pdf", SimplePdf(4));
  const std::string folder = FreshFolder("split-locked");
  const std::string locked = folder + "/locked.pdf", extracted = TempDir() + "/extracted.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, locked, "user", "owner", "128 --use-aes=n"));

  EXPECT_EQ(Folvex("extract " + Quoted(locked) + " 2,1 -o " + Quoted(extracted)).ExitCode, 6);
  const testing::CommandResult refused = Folvex("split " + Quoted(locked));
  EXPECT_EQ(refused.ExitCode, 6) << refused.Output;
  EXPECT_NE(refused.Output.find("Can't Split\nThis PDF File is Encrypted"), std::string::npos) << refused.Output;
  EXPECT_FALSE(fs::exists(extracted));
  EXPECT_EQ(NamesIn(folder).size(), 1u);

  for (const std::string& command : {"extract " + Quoted(locked) + " 4,1 -o " + Quoted(extracted),
                                     "split " + Quoted(locked) + " 2-3"}) {
    const testing::CommandResult run = Folvex(command + " --password user --quiet");
    ASSERT_EQ(run.ExitCode, 0) << command << run.Output;
  }
  const std::string lockedP = testing::QpdfEncryptionValue(locked, "user", "P");
  for (const auto& [output, pages] : std::vector<std::pair<std::string, std::vector<int>>>{
           {extracted, {4, 1}}, {folder + "/locked_2.pdf", {2}}, {folder + "/locked_3.pdf", {3}}}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(testing::QpdfEncryptionValue(output, "owner", "R"), "3");
    EXPECT_EQ(testing::QpdfEncryptionValue(output, "user", "P"), lockedP);
    EXPECT_TRUE(testing::CheckWithQpdf(output, "user").Clean);
    for (std::size_t k = 0; k < pages.size(); ++k) {
      EXPECT_EQ(PageText(output, static_cast<int>(k) + 1, "user"), PageText(plain, pages[k]));
    }
  }

  const std::string open = folder + "/open.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, open, "", "owner", "128 --use-aes=n"));
  const testing::CommandResult run = Folvex("split " + Quoted(open) + " --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  ExpectPageFile(folder + "/open_1.pdf", plain, 1, false);

  // Merged inputs must be protected alike (the message names the first that is not); the merged
  // file is protected as they were.
  const std::string other = folder + "/other.pdf", merged = TempDir() + "/merged.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, other, "", "another", "128 --use-aes=n"));
  for (const auto& [first, second, named] : {std::tuple{open, plain, plain}, {plain, open, open}, {open, other, other}}) {
    const testing::CommandResult refused = Folvex("merge " + Quoted(first) + " " + Quoted(second) + " -o " + Quoted(merged));
    EXPECT_EQ(refused.ExitCode, 10) << refused.Output;
    EXPECT_NE(refused.Output.find("Some Files have Different Security\n  " + named), std::string::npos) << refused.Output;
    EXPECT_FALSE(fs::exists(merged));
  }
  ASSERT_EQ(Folvex("merge " + Quoted(open) + " " + Quoted(open) + " -o " + Quoted(merged)).ExitCode, 0);
  EXPECT_EQ(testing::QpdfEncryptionValue(merged, "owner", "R"), "3");
  EXPECT_TRUE(testing::CheckWithQpdf(merged).Clean);
  EXPECT_EQ(PageText(merged, 6), PageText(plain, 2));
}

// tomlet on Linux, run in the input's folder: the launch command lines with their list files (in
// TMP, or without TMP "~tpfd" in the current directory; the older forms take the path itself),
// each run taking the next free names, and the statuses of failed files.
TEST(TomletLinux, CommandLinesListFilesAndStatuses) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string folder = FreshFolder("tomlet"), tmp = folder + "/tmp", input = folder + "/in put.pdf";
  fs::create_directories(tmp);
  WriteTempFile("tomlet/in put.pdf", SimplePdf(4));
  WriteTempFile("tomlet/one.pdf", SimplePdf(1));
  ASSERT_TRUE(testing::EncryptWithQpdf(WriteTempFile("tomlet-plain.pdf", SimplePdf(3)), folder + "/locked.pdf", "user",
                                       "owner", "128 --use-aes=n"));
  // The options of a version-1000 launch; page input with ranges, language forced; a page mode.
  WriteTempFile("tomlet/tmp/~tpfd0001.tmp", "/d150f /p2l /ok /nt \n" + input + "\n");
  WriteTempFile("tomlet/tmp/~tpfd0002.tmp", "\n" + input + "\n");
  WriteTempFile("tomlet/~tpfd", "/po \n" + input + "\n");
  const std::string withTmp = "TMP=" + Quoted(tmp);
  const struct {
    std::string Environment, Arguments, Says;
    std::vector<std::pair<std::string, int>> Written;  // page file, source page
  } runs[] = {
      {withTmp, "-Bc123 ~tpfd0001.tmp", "exit 0", {{"in put_1", 1}, {"in put_2", 2}, {"in put_3", 3}, {"in put_4", 4}}},
      {withTmp, "--ranges 4-3 /jp-Bp ~tpfd0002.tmp", "exit 0", {{"in put_4 (2)", 4}, {"in put_3 (2)", 3}}},
      {withTmp, "/us-Autop " + Quoted(input), "Canceled\nexit 5", {}},  // no terminal to ask
      {withTmp, "-Ac77 " + Quoted(input), "exit 0", {{"in put_1 (2)", 1}, {"in put_2 (2)", 2}, {"in put_3 (3)", 3}, {"in put_4 (3)", 4}}},
      {"env -u TMP", "-Bu ~tpfd", "exit 0", {{"in put_1 (3)", 1}, {"in put_2 (3)", 2}, {"in put_3 (4)", 3}, {"in put_4 (4)", 4}}},
      {withTmp, "-Auto " + folder + "/one.pdf", "This PDF File has Only One Page\nexit 3", {}},
      {withTmp, "-Auto " + folder + "/locked.pdf", "This PDF File is Encrypted\nexit 2", {}},
      {withTmp, "-Bu ~tpfd-missing.tmp", "The list file cannot be read\nexit 1", {}},
      {withTmp, "-Auto " + folder + "/missing.pdf", "Failed\nexit 1", {}},
      {withTmp, "-Zz x", "usage: tomlet", {}},
  };
  std::set<std::string> expected = NamesIn(folder);
  for (const auto& run : runs) {
    SCOPED_TRACE(run.Arguments);
    const testing::CommandResult result = RunCommand("cd " + Quoted(folder) + " && " + run.Environment + " " +
                                                     FOLVEX_TOMLET_PATH + " " + run.Arguments + " </dev/null 2>&1; echo \"exit $?\"");
    EXPECT_NE(result.Output.find(run.Says), std::string::npos) << result.Output;
    for (const auto& [name, page] : run.Written) {
      ExpectPageFile(folder + "/" + name + ".pdf", input, page, page == 1 && run.Written.size() == 4);
      expected.insert(name + ".pdf");
    }
  }
  expected.erase("~tpfd");  // a list file is removed once read
  EXPECT_EQ(NamesIn(folder), expected);
  EXPECT_NE(testing::ReadFile(folder + "/in put_2.pdf")
                .find("/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n"
                      "/PageLayout /TwoColumnLeft\n/PageMode /UseThumbs\n"),
            std::string::npos);
}

// A one-page file of the given header version and comment line (empty: none). The catalog of a
// merged file moves behind the pages, so the information dictionary follows the header.
std::string VersionedPdf(const std::string& version, const std::string& comment) {
  std::string pdf = SimplePdf(1);
  const std::size_t firstLine = pdf.find('\n') + 1;
  const std::size_t secondLine = pdf.find('\n', firstLine) + 1;
  const std::string head = "%PDF-" + version + "\n" + (comment.empty() ? "" : comment + "\n");
  // Keep the offsets of the table right: pad the new head to the old one's length.
  std::string padded = head + std::string(secondLine > head.size() ? secondLine - head.size() : 0, ' ');
  return padded + pdf.substr(secondLine);
}

TEST(MergeCommand, HeaderComesFromTheNewestVersionAndTheFirstCommentLine) {
  // The version and comment line (empty: none) of each of two inputs, and the merged file's head.
  for (const auto& [version1, comment1, version2, comment2, head] : {
           std::tuple<std::string, std::string, std::string, std::string, std::string>{
               "1.3", "", "1.4", "%\xE2\xE3\xCF\xD3", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n2 0 obj\n"},
           {"1.4", "", "1.3", "%first comment", "%PDF-1.4\n%first comment\n2 0 obj\n"},
           // A header line with more than the version is written as the version alone.
           {"1.4 tail", "%a", "1.4", "%b", "%PDF-1.4\n%a\n2 0 obj\n"},
           {"1.6" + std::string(2000, ' ') + "x", "", "1.5", "", "%PDF-1.6\n2 0 obj\n"},
           {"1.10", "", "1.9", "", "%PDF-1.10\n2 0 obj\n"},
       }) {
    const std::string first = WriteTempFile("merge-version-1.pdf", VersionedPdf(version1, comment1));
    const std::string second = WriteTempFile("merge-version-2.pdf", VersionedPdf(version2, comment2));
    const std::string output = TempDir() + "/merge-version-out.pdf";
    const testing::CommandResult run = Folvex("merge " + Quoted(first) + " " + Quoted(second) + " -o " + Quoted(output) + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(output).substr(0, head.size()), head);
    EXPECT_TRUE(!HaveTool("qpdf") || testing::CheckWithQpdf(output).Clean);
  }
}

TEST(MergeCommand, FileNameOutlinesAboveTheKeptOutlines) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 300 400] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(4, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(6, "<< /First 7 0 R /Last 7 0 R /Count 1 >>");
  w.Object(7, "<< /Title (Chapter) /Parent 6 0 R /Dest [4 0 R /Fit] >>");
  w.Finish("/Size 8 /Root 1 0 R");
  const std::vector<std::string> inputs = {WriteTempFile("日本語 ファイル.pdf", w.Bytes()),
                                           WriteTempFile("report.pdf", SimplePdf(2))};
  const std::string output = TempDir() + "/merge-outlines.pdf";
  testing::CommandResult run =
      Folvex("merge " + Quoted(inputs[0]) + " " + Quoted(inputs[1]) + " -o " + Quoted(output) +
             " --file-outlines --outlines keep --outlines-under-files --file-outlines-closed --outline-color FF0000 "
             "--outline-bold --outline-italic --page-mode outlines-or-thumbs --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(testing::CheckWithQpdf(output).Clean) << testing::CheckWithQpdf(output).Output;
  const std::string outline = RunCommand("mutool show " + Quoted(output) + " outline").Output;
  EXPECT_EQ(outline,
            "+\t\"日本語 ファイル\"\t#page=1&zoom=nan,300,0\n"
            "|\t\t\"Chapter\"\t#page=2&view=Fit\n"
            "|\t\"report\"\t#page=3&zoom=nan,612,0\n")
      << outline;
  const std::string bytes = testing::ReadFile(output);
  EXPECT_NE(bytes.find("/C [ 1.000000 0.000000 0.000000 ]\n/F 3\n"), std::string::npos);
  EXPECT_NE(bytes.find("/PageMode /UseOutlines\n/Outlines "), std::string::npos);
}

TEST(SecurityOutputPath, NamesBesideTheInputOrInTheFolder) {
  for (const auto& [input, folder, expected] :
       {std::tuple{"/a/b/report.pdf", "", "/a/b/report-s.pdf"}, {"REPORT.PDF", "", "REPORT-s.pdf"}, {"notes", "", "notes-s.pdf"},
        {"/a/b/report.pdf", "/out", "/out/report-s.pdf"}, {"/a/b/report.pdf", "/out/", "/out/report-s.pdf"},
        {"C:\\docs\\report.pdf", "D:\\out", "D:\\out\\report-s.pdf"}}) {
    EXPECT_EQ(SecurityOutputPath(input, folder, "-s.pdf"), expected) << input;
  }
}

// RC4 128-bit copies are revision 3, AES-256 ones revision 6; both open in qpdf with either
// password, carry the chosen permissions and show the input's text, and folvex removes their
// protection again with the owner password. A protected copy is not protected twice.
TEST(ProtectCommand, CopiesHaveTheChosenMethodAndPermissions) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string input = WriteTempFile("cli-aes.pdf", SimplePdf(3));
  const std::string output = TempDir() + "/cli-aes-s.pdf";
  // The method option, the passwords, the permissions and their /P.
  for (const auto& [method, user, owner, allow, permissions] : {
           std::tuple<std::string, std::string, std::string, const char*, const char*>{
               "", "user", "owner", "--allow print,modify", "-820"},
           {"--aes256", "user", "owner", "--allow print,modify", "-820"},
           {"--aes256", "user", "owner", "", "-3904"},
           {"--aes256", "", "owner", "--allow copy", "-3376"},
           {"--aes256", "p\u00E4ss", "\u00F6wner", "--allow annotate", "-3616"}}) {
    SCOPED_TRACE(method + " " + allow + " " + user);
    fs::remove(output);
    const testing::CommandResult run = Folvex("protect " + method + " " + Quoted(input) + " --user-password " +
                                              Quoted(user) + " --owner-password " + Quoted(owner) + " " + allow);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("Done"), std::string::npos);
    const std::string shown = RunCommand("qpdf --show-encryption --password=" + Quoted(owner) + " " + Quoted(output)).Output;
    const bool aes = !method.empty();
    EXPECT_NE(shown.find(aes ? "R = 6" : "R = 3"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("stream encryption method: AESv3") != std::string::npos, aes) << shown;
    EXPECT_NE(shown.find(std::string("P = ") + permissions + "\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Supplied password is owner password"), std::string::npos) << shown;
    for (const std::string& password : {user, owner}) {
      EXPECT_TRUE(testing::CheckWithQpdf(output, password).Clean) << password;
    }
    EXPECT_EQ(PdfText(output, user), PdfText(input));
    const testing::CommandResult back = Folvex("unprotect " + Quoted(output) + " --password " + Quoted(owner));
    EXPECT_EQ(back.ExitCode, 0) << back.Output;
    EXPECT_EQ(PdfText(TempDir() + "/cli-aes-s-r.pdf"), PdfText(input));
  }
  const testing::CommandResult twice = Folvex("protect " + Quoted(output) + " --user-password u --owner-password o");
  EXPECT_EQ(twice.ExitCode, 9) << twice.Output;
  EXPECT_FALSE(fs::exists(TempDir() + "/cli-aes-s-s.pdf"));

  // Equal user and owner passwords need consent, and then the protection may not be removed.
  fs::remove(output);
  const testing::CommandResult refused = Folvex("protect " + Quoted(input) + " --user-password pw --owner-password pw");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Output.find("Owner Password is Not setting."), std::string::npos) << refused.Output;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(Folvex("protect " + Quoted(input) + " --user-password pw --owner-password pw --same-passwords-ok").ExitCode, 0);
  const testing::CommandResult removal = Folvex("unprotect " + Quoted(output) + " --password pw");
  EXPECT_EQ(removal.ExitCode, 8) << removal.Output;
  EXPECT_NE(removal.Output.find("File is Not Permitted"), std::string::npos);
}

// Files qpdf protected come back whole with their owner password (given or read from the first
// line of a file); failures have their status and write nothing.
TEST(UnprotectCommand, FilesProtectedByQpdfComeBackWholeFailuresWriteNothing) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string input = WriteTempFile("cli-plain.pdf", SimplePdf(4)), dir = TempDir(), out = dir + "/unprotected";
  const std::string passwordFile = WriteTempFile("cli-password.txt", "owner pw\nsecond line\n");
  fs::create_directories(out);
  for (const auto& [name, user, encrypt, option] :
       {std::tuple<const char*, const char*, const char*, std::string>{"cli-r2", "user", "40", "--password 'owner pw'"},
        {"cli-r3", "", "128 --use-aes=n --modify=none", "--password-file " + Quoted(passwordFile)},
        {"cli-r3-empty", "", "128 --use-aes=n", "--password 'owner pw'"}}) {
    const std::string protectedPath = dir + "/" + name + ".pdf", output = out + "/" + name + "-r.pdf";
    ASSERT_TRUE(testing::EncryptWithQpdf(input, protectedPath, user, "owner pw", encrypt));
    const testing::CommandResult run = Folvex("unprotect " + Quoted(protectedPath) + " " + option + " --output-dir " + Quoted(out));
    ASSERT_EQ(run.ExitCode, 0) << name << run.Output;
    EXPECT_TRUE(testing::CheckWithQpdf(output).Clean) << name;
    EXPECT_EQ(RunCommand("qpdf --show-encryption " + Quoted(output)).Output.find("R = "), std::string::npos) << name;
    EXPECT_EQ(PdfText(output), PdfText(input)) << name;
  }

  const std::string rc4 = dir + "/cli-fail-rc4.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(input, rc4, "u", "o", "128 --use-aes=n"));
  ASSERT_TRUE(testing::EncryptWithQpdf(input, dir + "/cli-aes-r6.pdf", "u", "o", "256"));
  // A revision of AES protection that does not exist.
  std::string bytes = ReadFile(dir + "/cli-aes-r6.pdf");
  ASSERT_NE(bytes.find("/R 6"), std::string::npos);
  bytes.replace(bytes.find("/R 6"), 4, "/R 7");
  const std::string aes = WriteTempFile("cli-fail-aes.pdf", bytes);
  // Nothing is written, not even in part.
  const std::set<std::string> before = NamesIn(dir);
  for (const auto& [arguments, status, says] :
       {std::tuple{Quoted(rc4) + " --password wrong", 6, "does not open"}, {Quoted(rc4), 6, "A password is needed"},
        {Quoted(aes) + " --password o", 3, "revision of AES"}, {Quoted(input) + " --password o", 9, "File is Not Encrypted"},
        {Quoted(dir + "/absent.pdf") + " --password o", 2, "File Not Found"},
        {Quoted(rc4) + " --password-file " + Quoted(dir + "/no-such-file"), 6, "cannot be read"}}) {
    const testing::CommandResult run = Folvex("unprotect " + arguments);
    EXPECT_EQ(run.ExitCode, status) << arguments << "\n" << run.Output;
    EXPECT_NE(run.Output.find(says), std::string::npos) << arguments << "\n" << run.Output;
    EXPECT_EQ(NamesIn(dir), before) << arguments;
  }
  // Several files: one message for all, the worst status.
  testing::CommandResult several = Folvex("unprotect " + Quoted(rc4) + " " + Quoted(input) + " --password o");
  EXPECT_EQ(several.ExitCode, 9) << several.Output;
  EXPECT_NE(several.Output.find("Some Files are Not Encrypted"), std::string::npos) << several.Output;
  EXPECT_TRUE(fs::exists(dir + "/cli-fail-rc4-r.pdf"));
  // Two failures: the message is the first file's, the status the worst.
  for (const auto& [first, second, says] : {std::tuple{Quoted(dir + "/absent.pdf"), Quoted(input), "Some Files Not Found"},
                                            std::tuple{Quoted(input), Quoted(dir + "/absent.pdf"), "Some Files are Not Encrypted"}}) {
    several = Folvex("unprotect " + first + " " + second + " --password o");
    EXPECT_EQ(several.ExitCode, 9) << several.Output;
    EXPECT_EQ(several.Output.substr(several.Output.rfind('\n', several.Output.size() - 2) + 1), std::string(says) + "\n");
  }
}

}  // namespace
}  // namespace folvex
