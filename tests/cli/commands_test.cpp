// The folvex commands (info, extract, split with the Linux tomlet, merge, protect and unprotect)
// run as processes on files on disk, their outputs judged by qpdf, pdfinfo, pdftotext, pdftoppm
// and mutool.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

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

std::string Filled(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  return text;
}

// Runs folvex with arguments; true when it succeeded (a failure is reported with its output).
bool Ran(const std::string& arguments) {
  const CommandResult run = Folvex(arguments);
  EXPECT_EQ(run.ExitCode, 0) << arguments << "\n" << run.Output.substr(0, 2000);
  return run.ExitCode == 0;
}

// The file's bytes hold fragment.
::testing::AssertionResult Holds(const std::string& path, const std::string& fragment) {
  if (ReadFile(path).find(fragment) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " lacks " << fragment;
}

// The page file shows the source page: one page, clean for qpdf, the same text and (when render
// is set) the same pixels.
void ExpectPageFile(const std::string& pageFile, const std::string& input, int page, bool render = true) {
  SCOPED_TRACE(pageFile);
  ASSERT_TRUE(fs::exists(pageFile));
  const QpdfCheck check = CheckWithQpdf(pageFile);
  EXPECT_TRUE(check.Clean) << check.Output;
  EXPECT_EQ(PdfinfoPages(pageFile), 1);
  ExpectSamePage(pageFile, 1, input, page, "", render);
}

// Three pages under an inherited /Rotate 90, each with a bar of its own width, and the outline
// First (closed, holding Second, reached through a named destination) and Third.
std::string OutlinedPdf() {
  PdfWriter w;
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
  return w.Bytes();
}

// The viewer options, given as options or by a settings file, land in the extracted file's
// catalog, whose open action names the first page (object 5 behind 14 pages).
TEST(ExtractCommand, ViewerSettingsFromOptionsOrASettingsFile) {
  const std::string input = WriteTempFile("cli-extract-25.pdf", SimplePdf(25)), output = TempDir() + "/cli-extract-out.pdf";
  const std::string ini = WriteTempFile("cli-extract.ini", "[File Setting]\nDispScale=A\nPageLayout=5\n");
  ASSERT_TRUE(Ran("extract " + Quoted(input) + " '1, 3 -5,12-9,20-' -o " + Quoted(output) + " --open-view 150F --layout one-column"));
  EXPECT_TRUE(Holds(output, "/OpenAction [ 5 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences << /FitWindow true >>\n"
                            "/PageLayout /OneColumn\n>>\nendobj\n"));
  ASSERT_TRUE(Ran("extract " + Quoted(input) + " 2 -o " + Quoted(output) + " --settings " + Quoted(ini) + " --quiet"));
  EXPECT_TRUE(Holds(output, "/OpenAction [ 4 0 R /Fit ]\n/PageLayout /SinglePage\n>>"));
}

// Annotations stay behind unless --keep-annotations or a settings file's KeepAnnots=On asks to keep
// them (the option wins over KeepAnnots=Off), for extract, merge and split alike.
TEST(AnnotationSetting, FromTheOptionOrASettingsFile) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  const std::string d = FreshFolder("kept-annotations");
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 2 /MediaBox [0 0 200 200] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Annots [5 0 R] >>");
  w.Stream(4, "", "0 0 1 rg 10 10 50 50 re f");
  w.Object(5, "<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /Contents (note) /P 3 0 R >>");
  w.Object(6, "<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>");
  w.Stream(7, "", "0 1 0 rg 10 10 90 50 re f");
  w.Finish("/Size 8 /Root 1 0 R");
  WriteTempFile("kept-annotations/in.pdf", w.Bytes());
  WriteTempFile("kept-annotations/on.ini", "[File Setting]\nKeepAnnots=On\n");
  WriteTempFile("kept-annotations/off.ini", "[File Setting]\nKeepAnnots=Off\n");
  // The arguments ({d} the folder), the written file whose first page is judged, and whether it keeps the comment.
  for (const auto& [arguments, output, kept] : {
           std::tuple<const char*, const char*, bool>{"extract {d}/in.pdf 1 -o {d}/e1.pdf", "e1.pdf", false},
           {"extract {d}/in.pdf 1 -o {d}/e2.pdf --keep-annotations", "e2.pdf", true},
           {"extract {d}/in.pdf 1 -o {d}/e3.pdf --settings {d}/on.ini", "e3.pdf", true},
           {"extract {d}/in.pdf 1 -o {d}/e4.pdf --settings {d}/off.ini", "e4.pdf", false},
           {"extract {d}/in.pdf 1 -o {d}/e5.pdf --settings {d}/off.ini --keep-annotations", "e5.pdf", true},
           {"merge {d}/in.pdf {d}/in.pdf -o {d}/m.pdf --settings {d}/on.ini", "m.pdf", true},
           {"split {d}/in.pdf 1 --output-dir {d}/s --keep-annotations", "s/in_1.pdf", true}}) {
    SCOPED_TRACE(arguments);
    fs::create_directories(d + "/s");
    ASSERT_TRUE(Ran(Filled(arguments, "{d}", d) + " --quiet"));
    const std::string path = d + "/" + output, pages = RunCommand("qpdf --show-pages " + Quoted(path)).Output;
    ASSERT_TRUE(pages.starts_with("page 1: ")) << pages.substr(0, 200);
    const std::string page = pages.substr(8, pages.find(' ', 8) - 8);
    EXPECT_EQ(RunCommand("qpdf --show-object=" + page + " " + Quoted(path)).Output.find("/Annots") != std::string::npos, kept);
    EXPECT_TRUE(CheckWithQpdf(path).Clean) << CheckWithQpdf(path).Output.substr(0, 500);
  }
}

// Outline items pointing into the selection are kept (a named destination resolved), regrouped in
// output order by extract and one page file at a time by split; the inherited rotation is written
// into each page.
TEST(Outlines, ItemsOfTheSelectedPagesAreKeptWhenAsked) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string folder = FreshFolder("outlines"), input = WriteTempFile("outlines/o.pdf", OutlinedPdf());
  const std::string extracted = TempDir() + "/outlines-out.pdf";
  ASSERT_TRUE(Ran("extract " + Quoted(input) + " 3,2,1 -o " + Quoted(extracted) +
                  " --outlines keep --page-mode outlines-or-none --quiet"));
  ASSERT_TRUE(Ran("split " + Quoted(input) + " 1,3 --outlines keep --quiet"));
  // Extract: Third on page 1, then Second (level 2, so under the entry before it), then First.
  // Split: each page file with the items of its page (the child of First points elsewhere).
  for (const auto& [file, pages, outline] : {
           std::tuple<std::string, std::vector<int>, const char*>{extracted, {3, 2, 1}, "-\t\"Third\"\t#page=1&zoom=100,200,0\n|\t\t\"Second\"\t#page=2&view=Fit\n|\t\"First\"\t#page=3&view=Fit\n"},
      {folder + "/o_1.pdf", {1}, "|\t\"First\"\t#page=1&view=Fit\n"},
      {folder + "/o_3.pdf", {3}, "|\t\"Third\"\t#page=1&zoom=100,200,0\n"}}) {
    SCOPED_TRACE(file);
    const QpdfCheck check = CheckWithQpdf(file);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(PdfinfoPages(file), static_cast<int>(pages.size()));
    for (std::size_t k = 0; k < pages.size(); ++k) ExpectSamePage(file, static_cast<int>(k) + 1, input, pages[k]);
    EXPECT_EQ(RunCommand("mutool show " + Quoted(file) + " outline").Output, outline);
    EXPECT_TRUE(Holds(file, "/Rotate 90"));
  }
  EXPECT_TRUE(Holds(extracted, "/PageMode /UseOutlines"));
}

// Failed extract, split and merge runs name their reason, leave every file as it was and write
// nothing. An open end of a range is closed from the job's own opening of the input. Outputs that
// would replace an input, or another output of the same run (also through a backup name), fail
// before anything is written and name both files; a backup name is claimed only with --backup.
// info writes one line per file with its page count or the state of a file it cannot count; a
// bad command line is a usage error.
TEST(CommandFailures, NameTheirReasonAndLeaveEveryFileAsItWas) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  const std::string dir = FreshFolder("failures");
  for (const std::string name : {"a.pdf", "a-s.pdf", "d1/x.pdf", "d2/x.pdf", "b.pdf", "b-s.bak", "b-s.pdf", "c.pdf", "c-r.pdf",
                                 "f.bak", "f.pdf", "k.bak", "o.pdf"}) {
    fs::create_directories(fs::path(dir + "/" + name).parent_path());
    const std::string path = WriteTempFile("failures/" + name, SimplePdf(2 + static_cast<int>(name.size() % 2)));
    if (name[0] != 'c' && name[0] != 'o') continue;  // protected with an empty user password and owner passwords of two kinds
    ASSERT_TRUE(EncryptWithQpdf(path, path + ".locked", "", name[0] == 'c' ? "o" : "another", "128 --use-aes=n"));
    fs::rename(path + ".locked", path);
  }
  fs::create_directories(dir + "/out");
  WriteTempFile("failures/eleven.pdf", SimplePdf(11));
  WriteTempFile("failures/one.pdf", SimplePdf(1));
  WriteTempFile("failures/notes.txt", "plain words, no PDF\n");
  WriteTempFile("failures/junk.pdf", "not a pdf at all");
  ASSERT_TRUE(EncryptWithQpdf(dir + "/eleven.pdf", dir + "/rc4.pdf", "u", "o", "128 --use-aes=n"));
  ASSERT_EQ(RunCommand("qpdf --object-streams=generate --encrypt u o 256 -- " + Quoted(dir + "/eleven.pdf") + " " +
                       Quoted(dir + "/streams.pdf")).ExitCode, 0);
  const auto contents = [&dir] {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_regular_file()) files[entry.path().string()] = ReadFile(entry.path().string());
    }
    return files;
  };
  auto before = contents();
  const std::string replaces = "nothing was written: the new file would replace a file of this job";
  // The arguments ({d} is the folder, {p} the passwords), the status, the message and the one
  // file written, if any.
  for (const auto& [arguments, status, message, written] : {
      std::tuple<const char*, int, std::string, const char*>{"extract {d}/eleven.pdf 10-12 -o {d}/out.pdf", 1, "folvex: {d}/eleven.pdf: Bad Page Input: \"10-12\"\n", ""},
      {"extract {d}/eleven.pdf '3-0' -o {d}/out.pdf", 1, "Bad Page Input: \"3-0\"", ""},
      {"extract {d}/one.pdf 1 -o {d}/out.pdf", 1, "folvex: {d}/one.pdf: This File has only 1 Page: the file has a single page", ""},
      {"extract {d}/one.pdf 5- -o {d}/out.pdf", 1, "This File has only 1 Page", ""},
      {"extract {d}/eleven.pdf 'x-' -o {d}/out.pdf", 1, "Bad Page Input: \"x-11\"", ""},
      {"extract {d}/eleven.pdf 0,3- -o {d}/out.pdf", 1, "Bad Page Input: \"0,3-11\"", ""},
      {"extract {d}/absent.pdf 2- -o {d}/out.pdf", 2, "folvex: {d}/absent.pdf: File Not Found: No such file or directory\n", ""},
      {"extract {d}/notes.txt 2- -o {d}/out.pdf", 3, "folvex: {d}/notes.txt: Failure - Page Extract: not a readable PDF file\n", ""},
      {"extract {d}/absent.pdf 1 -o {d}/out.pdf", 2, "File Not Found: No such file or directory", ""},
      {"extract {d}/notes.txt 1,2 -o {d}/out.pdf", 3, "Failure - Page Extract: not a readable PDF file", ""},
      {"extract {d}/eleven.pdf 1 -o {d}/no-such-folder/out.pdf", 4, "folvex: {d}/no-such-folder/out.pdf: Can't Save: No such file or directory\n", ""},
      {"extract {d}/eleven.pdf 1 -o {d}/eleven.pdf", 4, "folvex: {d}/eleven.pdf: Can't Save: " + replaces + ", {d}/eleven.pdf\n", ""},
      {"extract {d}/f.bak 1 -o {d}/f.pdf --backup", 4, replaces, ""},
      {"extract {d}/k.bak 1 -o {d}/k.pdf", 0, "Done", "k.pdf"},  // no backup made, so its name is free
      {"extract {d}/eleven.pdf 1 -o {d}/eleven.pdf.d --settings {d}/absent.ini", 2, "folvex: {d}/absent.ini: The settings file cannot be read: No such file or directory", ""},
      {"split {d}/one.pdf", 1, "folvex: {d}/one.pdf: Can't Split This PDF File has Only One Page: the file has a single page\n", ""},
      {"split {d}/absent.pdf", 2, "File Not Found: No such file or directory", ""},
      {"split {d}/eleven.pdf 2-12", 1, "Bad Page Input: \"2-12\"", ""},
      {"split {d}/eleven.pdf --output-dir {d}/no-such-folder", 4, "folvex: {d}/no-such-folder: Can't Create New Files: No such file or directory\n", ""},
      {"split {d}/eleven.pdf --output-dir /proc", 4, "folvex: /proc: Can't Create New Files: ", ""},
      {"split {d}/junk.pdf", 3, "folvex: {d}/junk.pdf: Failed: not a readable PDF file\n", ""},
      {"merge {d}/one.pdf {d}/absent.pdf -o {d}/out.pdf", 2, "folvex: {d}/absent.pdf: File Not Found: No such file or directory\n", ""},
      {"merge {d}/one.pdf {d}/notes.txt -o {d}/out.pdf", 3, "folvex: {d}/notes.txt: Failure - Merge: not a readable PDF file\n", ""},
      {"merge {d}/one.pdf {d}/eleven.pdf -o {d}/eleven.pdf", 4, replaces, ""},
      {"merge {d}/one.pdf {d}/one.pdf -o {d}/no-such-folder/out.pdf", 4, "Can't Save: No such file or directory", ""},
      // Protected inputs: no password, a wrong one, the user password where the owner's is needed.
      {"extract {d}/rc4.pdf 2,1 -o {d}/out.pdf", 6, "folvex: {d}/rc4.pdf: Failure - Page Extract: a password is needed", ""},
      {"split {d}/rc4.pdf", 6, "folvex: {d}/rc4.pdf: Can't Split This PDF File is Encrypted: a password is needed", ""},
      {"extract {d}/rc4.pdf 1 -o {d}/out.pdf --password x", 6, "Failure - Page Extract: wrong password\n", ""},
      {"unprotect {d}/rc4.pdf --password x", 6, "folvex: {d}/rc4.pdf: Failure - Remove Security: wrong password\n", ""},
      {"unprotect {d}/rc4.pdf --password u", 6, "folvex: {d}/rc4.pdf: Failure - Remove Security: the owner password is needed to remove the protection", ""},
      {"unprotect {d}/rc4.pdf --password-file {d}/absent.txt", 2, "folvex: {d}/absent.txt: The password file cannot be read: No such file or directory\n", ""},
      // Merged inputs must be protected alike; the message names the first that is not.
      {"merge {d}/c.pdf {d}/one.pdf -o {d}/out.pdf", 10, "folvex: {d}/one.pdf: Some Files have Different Security: it is not protected like the first file\n", ""},
      {"merge {d}/one.pdf {d}/c.pdf -o {d}/out.pdf", 10, "folvex: {d}/c.pdf: Some Files have Different Security", ""},
      {"merge {d}/c.pdf {d}/o.pdf -o {d}/out.pdf", 10, "folvex: {d}/o.pdf: Some Files have Different Security", ""},
      {"info {d}/absent.pdf", 2, "X Not Found\t{d}/absent.pdf\n", ""},
      {"--lang ja info {d}/absent.pdf", 2, "X 不明\t{d}/absent.pdf\n", ""},
      {"info {d}/notes.txt", 3, "X Not PDF?\t{d}/notes.txt\n", ""},
      {"info {d}/one.pdf {d}/eleven.pdf", 0, "1\t{d}/one.pdf\n11\t{d}/eleven.pdf\n", ""},
      {"info {d}", 2, "X Not Found\t{d}\n", ""},  // a folder is no file
      {"info {d}/rc4.pdf", 0, "11 Encrypted\t{d}/rc4.pdf\n", ""},
      {"info {d}/streams.pdf", 3, "Encrypted\t{d}/streams.pdf\n", ""},  // protected and not countable: unreadable
      {"info", 1, "FILE is required", ""},
      {"--lang fr info {d}/one.pdf", 1, "--lang: fr not in {en,ja}", ""},
      {"--bogus info {d}/one.pdf", 1, "not expected: --bogus", ""},
      {"frobnicate {d}/one.pdf", 1, "Unknown command: frobnicate", ""},
      {"protect {d}/a.pdf --user-password u", 1, "folvex: --owner-password: Failure - Set Security: the owner password is empty\n", ""},
      {"protect {d}/a.pdf {d}/a-s.pdf {p}", 4, replaces, "a-s-s.pdf"},
      {"protect --output-dir {d}/out {d}/d1/x.pdf {d}/d2/x.pdf {p}", 4, replaces, "out/x-s.pdf"},  // one name twice
      {"protect --backup {d}/b.pdf {d}/b-s.bak {p}", 4, replaces, "b-s.bak-s.pdf"},
      {"unprotect {d}/c.pdf {d}/c-r.pdf --password o", 4, replaces, "c-r-r.pdf"}}) {
    SCOPED_TRACE(arguments);
    const CommandResult run = Folvex(Filled(Filled(arguments, "{d}", dir), "{p}", "--user-password u --owner-password o"));
    EXPECT_EQ(run.ExitCode, status) << run.Output;
    EXPECT_NE(run.Output.find(Filled(message, "{d}", dir)), std::string::npos) << run.Output;
    auto after = contents();
    if (*written != '\0') {
      EXPECT_EQ(after.erase(dir + "/" + written), 1u) << written;
      fs::remove(dir + "/" + written);
    }
    EXPECT_EQ(after, before);
  }

  // --backup keeps the old output as .bak on success, and puts it back after a failure.
  const std::string input = dir + "/eleven.pdf", kept = TempDir() + "/cli-extract-kept.pdf";
  fs::copy_file(input, kept);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 30 -o " + Quoted(kept) + " --backup").ExitCode, 1);
  EXPECT_EQ(ReadFile(kept), before[input]);
  EXPECT_FALSE(fs::exists(TempDir() + "/cli-extract-kept.bak"));
  EXPECT_TRUE(Ran("extract " + Quoted(input) + " 2 -o " + Quoted(kept) + " --backup --quiet"));
  EXPECT_EQ(ReadFile(TempDir() + "/cli-extract-kept.bak"), before[input]);
  EXPECT_EQ(PdfinfoPages(kept), HaveTool("pdfinfo") ? 1 : -1);
  // A name without a three-letter ending keeps all of it in its backup's name.
  fs::copy_file(input, dir + "/out/kept");
  EXPECT_TRUE(Ran("extract " + Quoted(input) + " 2 -o " + Quoted(dir + "/out/kept") + " --backup --quiet"));
  EXPECT_EQ(ReadFile(dir + "/out/kept.bak"), before[input]);
}

// Every page or the chosen ones, each a file named after the input and its page number (padded to
// the page count's digits); names taken already give way; viewer settings from options or a file.
TEST(SplitCommand, PageFilesTheirNamesAndSettings) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string folder = FreshFolder("split-all"), input = WriteTempFile("split-all/Report.PDF", SimplePdf(12));
  const CommandResult run = Folvex("split " + Quoted(input));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("12 page files written"), std::string::npos) << run.Output;
  // Again with ranges: the taken names give way, the earlier files stay as they were.
  const std::string third = ReadFile(folder + "/Report_03.pdf");
  EXPECT_EQ(Folvex("split " + Quoted(input) + " 3,12-11,3 --quiet").Output, "");
  EXPECT_EQ(ReadFile(folder + "/Report_03.pdf"), third);
  std::set<std::string> expected{"Report.PDF"};
  std::vector<std::pair<std::string, int>> files{{"Report_03 (2)", 3}, {"Report_12 (2)", 12}, {"Report_11 (2)", 11}, {"Report_03 (3)", 3}};
  for (int page = 1; page <= 12; ++page) files.push_back({std::string("Report_") + (page < 10 ? "0" : "") + std::to_string(page), page});
  for (const auto& [name, page] : files) {
    ExpectPageFile(folder + "/" + name + ".pdf", input, page, name == "Report_12");
    expected.insert(name + ".pdf");
  }
  EXPECT_EQ(NamesIn(folder), expected);

  const std::string wide = WriteTempFile("split-settings.pdf", SimplePdf(120)), out = FreshFolder("split-settings-out");
  ASSERT_TRUE(Ran("split " + Quoted(wide) + " 7,120 --output-dir " + Quoted(out) +
                  " --open-view 150F --layout one-column --direction r2l --page-mode thumbs --quiet"));
  EXPECT_EQ(NamesIn(out), (std::set<std::string>{"split-settings_007.pdf", "split-settings_120.pdf"}));
  EXPECT_TRUE(Holds(out + "/split-settings_120.pdf", "/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences "
                    "<< /FitWindow true \n/Direction /R2L >>\n/PageLayout /OneColumn\n/PageMode /UseThumbs\n>>\nendobj\n"));
  // The split's own outline and page-mode values come from a settings file.
  const std::string ini = WriteTempFile("split.ini", "[File Setting]\nPageModeS=1\nPageModeE=3\n");
  ASSERT_TRUE(Ran("split " + Quoted(wide) + " 1 --output-dir " + Quoted(out) + " --settings " + Quoted(ini) + " --quiet"));
  EXPECT_TRUE(Holds(out + "/split-settings_001.pdf", "/PageMode /UseOutlines\n"));
}

// With its password, extract and split write outputs protected as the input was; an input with an
// empty user password needs none, for merge too. (Runs without the password, and merges of
// inputs protected unlike, are rows of the failure table.)
TEST(ProtectedInputs, OutputsAreProtectedAsTheInputWas) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string plain = WriteTempFile("split-plain.pdf", SimplePdf(4)), folder = FreshFolder("split-locked");
  const std::string locked = folder + "/locked.pdf", open = folder + "/open.pdf";
  const std::string extracted = TempDir() + "/extracted.pdf", merged = TempDir() + "/merged.pdf";
  ASSERT_TRUE(EncryptWithQpdf(plain, locked, "user", "owner", "128 --use-aes=n"));
  ASSERT_TRUE(EncryptWithQpdf(plain, open, "", "owner", "128 --use-aes=n"));
  ASSERT_TRUE(Ran("extract " + Quoted(locked) + " 4,1 -o " + Quoted(extracted) + " --password user --quiet"));
  ASSERT_TRUE(Ran("split " + Quoted(locked) + " 2-3 --password user --quiet"));
  ASSERT_TRUE(Ran("merge " + Quoted(open) + " " + Quoted(open) + " -o " + Quoted(merged)));
  // Each output, the passwords that open it (user, owner) and the source pages.
  for (const auto& [output, user, owner, pages] : std::vector<std::tuple<std::string, std::string, std::string, std::vector<int>>>{
           {extracted, "user", "owner", {4, 1}}, {folder + "/locked_2.pdf", "user", "owner", {2}},
           {folder + "/locked_3.pdf", "user", "owner", {3}}, {merged, "", "owner", {1, 2, 3, 4, 1, 2, 3, 4}}}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(QpdfEncryptionValue(output, owner, "R"), "3");
    EXPECT_EQ(QpdfEncryptionValue(output, user, "P"), QpdfEncryptionValue(locked, "user", "P"));
    EXPECT_TRUE(CheckWithQpdf(output, user).Clean);
    for (std::size_t k = 0; k < pages.size(); ++k) EXPECT_EQ(PageText(output, static_cast<int>(k) + 1, user), PageText(plain, pages[k]));
  }
}

// tomlet on Linux, run in the input's folder (its list files and command-line forms are tried in
// tests/tools/tomlet): the viewer options of a version-1000 list file reach the page files, and
// failed runs say why.
TEST(TomletLinux, ListFileOptionsAndFailures) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string folder = FreshFolder("tomlet"), input = folder + "/in put.pdf", locked = folder + "/locked.pdf";
  WriteTempFile("tomlet/in put.pdf", SimplePdf(2));
  ASSERT_TRUE(EncryptWithQpdf(input, locked, "user", "owner", "128 --use-aes=n"));
  WriteTempFile("tomlet/~tpfd0001.tmp", "/d150f /p2l /ok /nt \n" + input + "\n");
  // The arguments and what the run says.
  for (const auto& [arguments, says] : {std::pair<std::string, const char*>{"-Bc123 ~tpfd0001.tmp", "exit 0"},
                                        {"-Auto " + Quoted(locked), "This PDF File is Encrypted\nexit 2"},
                                        {"-Bu ~tpfd-missing.tmp", "The list file cannot be read\nexit 1"},
                                        {"-Auto " + Quoted(folder + "/missing.pdf"), "Failed\nexit 1"},
                                        {"-Zz x", "usage: tomlet"}}) {
    const CommandResult run = RunCommand("cd " + Quoted(folder) + " && TMP=" + Quoted(folder) + " " + FOLVEX_TOMLET_PATH + " " +
                                         arguments + " </dev/null 2>&1; echo \"exit $?\"");
    EXPECT_NE(run.Output.find(says), std::string::npos) << arguments << "\n" << run.Output;
  }
  EXPECT_EQ(NamesIn(folder), (std::set<std::string>{"in put.pdf", "locked.pdf", "in put_1.pdf", "in put_2.pdf"}));
  ExpectPageFile(folder + "/in put_2.pdf", input, 2);
  EXPECT_TRUE(Holds(folder + "/in put_2.pdf", "/OpenAction [ 4 0 R /XYZ null null 1.500000 ]\n/ViewerPreferences "
                    "<< /FitWindow true >>\n/PageLayout /TwoColumnLeft\n/PageMode /UseThumbs\n"));
}

// A merge's header: the newest version of its inputs (the version alone, whatever follows it on
// the line) and the first input's comment line, if any; the information dictionary follows it.
TEST(MergeCommand, HeaderComesFromTheNewestVersionAndTheFirstCommentLine) {
  // A one-page file with a header line and comment line (empty: none) of its own, padded to the
  // old head's length so that the table's offsets stay right.
  const auto versioned = [](const std::string& version, const std::string& comment) {
    const std::string pdf = SimplePdf(1), head = "%PDF-" + version + "\n" + (comment.empty() ? "" : comment + "\n");
    const std::size_t secondLine = pdf.find('\n', pdf.find('\n') + 1) + 1;
    return head + std::string(secondLine > head.size() ? secondLine - head.size() : 0, ' ') + pdf.substr(secondLine);
  };
  for (const auto& [version1, comment1, version2, comment2, head] : {
           std::tuple<std::string, std::string, std::string, std::string, std::string>{
               "1.3", "", "1.4", "%\xE2\xE3\xCF\xD3", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n2 0 obj\n"},
           {"1.4", "", "1.3", "%first comment", "%PDF-1.4\n%first comment\n2 0 obj\n"},
           {"1.4 tail", "%a", "1.4", "%b", "%PDF-1.4\n%a\n2 0 obj\n"},
           {"1.6" + std::string(2000, ' ') + "x", "", "1.5", "", "%PDF-1.6\n2 0 obj\n"},
           {"1.10", "", "1.9", "", "%PDF-1.10\n2 0 obj\n"}}) {
    SCOPED_TRACE(version1.substr(0, 8) + " " + version2);
    const std::string first = WriteTempFile("merge-version-1.pdf", versioned(version1, comment1)), output = TempDir() + "/merged.pdf";
    const std::string second = WriteTempFile("merge-version-2.pdf", versioned(version2, comment2));
    ASSERT_TRUE(Ran("merge " + Quoted(first) + " " + Quoted(second) + " -o " + Quoted(output) + " --quiet"));
    EXPECT_EQ(ReadFile(output).substr(0, head.size()), head);
    EXPECT_TRUE(!HaveTool("qpdf") || CheckWithQpdf(output).Clean);
  }
}

// File-name entries (the input's file name, closed, coloured, bold and italic) above the kept
// outline, which moves a level down under them; without file-name entries it keeps its levels.
TEST(MergeCommand, FileNameOutlinesAboveTheKeptOutlines) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string first = WriteTempFile("日本語 ファイル.pdf", OutlinedPdf()), second = WriteTempFile("report.pdf", SimplePdf(2));
  const std::string output = TempDir() + "/merge-outlines.pdf";
  // The options, mutool's outline and bytes the merged file holds.
  for (const auto& [options, outline, bytes] : {
           std::tuple<const char*, const char*, const char*>{
               "--file-outlines --outlines keep --outlines-under-files --file-outlines-closed --outline-color FF0000 "
               "--outline-bold --outline-italic",
               "+\t\"日本語 ファイル\"\t#page=1&zoom=nan,200,200\n+\t\t\"First\"\t#page=1&view=Fit\n|\t\t\t\"Second\"\t#page=2&view=Fit\n"
               "|\t\t\"Third\"\t#page=3&zoom=100,200,0\n|\t\"report\"\t#page=4&zoom=nan,612,0\n",
               "/C [ 1.000000 0.000000 0.000000 ]\n/F 3\n"},
           {"--outlines keep --outlines-under-files --page-mode outlines-or-thumbs",
            "+\t\"First\"\t#page=1&view=Fit\n|\t\t\"Second\"\t#page=2&view=Fit\n|\t\"Third\"\t#page=3&zoom=100,200,0\n",
            "/PageMode /UseOutlines\n/Outlines "}}) {
    SCOPED_TRACE(options);
    ASSERT_TRUE(Ran("merge " + Quoted(first) + " " + Quoted(second) + " -o " + Quoted(output) + " " + options + " --quiet"));
    const QpdfCheck check = CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(RunCommand("mutool show " + Quoted(output) + " outline").Output, outline);
    EXPECT_TRUE(Holds(output, bytes));
  }
}

const std::string kSample = std::string(FOLVEX_SOURCE_DIR) + "/samples/three-pages.pdf";

// The poppler utilities keep at most 32 bytes of a password argument.
constexpr std::size_t kPopplerLongest = 32;

// A password as typed, named for the trial; the owner password is the user password behind a '#'.
struct Password { const char* Name; std::string User; std::string Owner() const { return "#" + User; } };

const Password kPasswords[] = {
    {"halfwidth katakana", "\uFF76\uFF9E\uFF72\uFF84\uFF9E"},
    {"square word", "\u3300"},
    {"mathematical bold", "\U0001D400\U0001D401"},
    {"parenthesised ideograph", "\u3231"},
    {"precomposed", "p\u00E4ssw\u00F6rd"},
    {"combining marks", "pa\u0308sswo\u0308rd"},
    {"greek", "\u03BA\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2"},
    {"cyrillic", "\u043F\u0430\u0440\u043E\u043B\u044C"},
    {"arabic", "\u0643\u0644\u0645\u0629 \u0627\u0644\u0633\u0631"},
    {"chinese", "\u5BC6\u7801"},
    {"emoji", "\U0001F511\U0001F408"},
    {"130 bytes, cut to 127 inside a character", std::string(126, 'x') + "\u00E4bc"},
};


// Folvex opens path with the user password (extracting every page into a copy protected alike)
// and with the owner password (removing the protection from the file and from that copy); both
// show the sample's text.
void ExpectFolvexOpens(const std::string& path, const std::string& user, const std::string& owner) {
  const std::string stem = path.substr(0, path.size() - 4);
  for (const char* suffix : {"-pages.pdf", "-pages-r.pdf", "-r.pdf"}) std::filesystem::remove(stem + suffix);
  const CommandResult extract =
      Folvex("extract " + Quoted(path) + " - -o " + Quoted(stem + "-pages.pdf") + " --password " + Quoted(user));
  EXPECT_EQ(extract.ExitCode, 0) << user << "\n" << extract.Output;
  for (const std::string& input : {path, stem + "-pages.pdf"}) {
    const CommandResult unprotect = Folvex("unprotect " + Quoted(input) + " --password " + Quoted(owner));
    EXPECT_EQ(unprotect.ExitCode, 0) << owner << "\n" << unprotect.Output;
  }
  for (const char* suffix : {"-r.pdf", "-pages-r.pdf"}) EXPECT_EQ(PdfText(stem + suffix), PdfText(kSample)) << suffix;
}

// RC4 128-bit copies (--rc4) are revision 3, AES-256 ones (the default) revision 6; both open in qpdf with either
// password (an AES-256 one as typed), carry the chosen permissions and show the input's text, and
// folvex removes their protection again with the owner password. A protected copy is not
// protected twice.
TEST(ProtectCommand, CopiesHaveTheChosenMethodAndPermissions) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string input = WriteTempFile("cli-aes.pdf", SimplePdf(3)), output = TempDir() + "/cli-aes-s.pdf";
  // The method option, the passwords, the permissions and their /P.
  std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> rows = {
      {"--rc4", "user", "owner", "--allow print,modify", "-820"}, {"--aes256", "user", "owner", "--allow print,modify", "-820"},
      {"", "", "owner", "--allow copy", "-3376"}, {"", "p\u00E4ss", "\u00F6wner", "--allow annotate", "-3616"}};
  for (const Password& c : kPasswords) rows.push_back({"", c.User, c.Owner(), "", "-3904"});
  for (const auto& [method, user, owner, allow, permissions] : rows) {
    SCOPED_TRACE(method + " " + allow + " " + user);
    fs::remove(output);
    const CommandResult run = Folvex("protect " + method + " " + Quoted(input) + " --user-password " + Quoted(user) +
                                     " --owner-password " + Quoted(owner) + " " + allow);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("Done"), std::string::npos);
    const std::string shown = RunCommand("qpdf --show-encryption --password=" + Quoted(owner) + " " + Quoted(output)).Output;
    const bool aes = method != "--rc4";
    EXPECT_NE(shown.find(aes ? "R = 6" : "R = 3"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("stream encryption method: AESv3") != std::string::npos, aes) << shown;
    EXPECT_NE(shown.find("P = " + permissions + "\n"), std::string::npos) << shown;
    for (const auto& [password, role] : {std::pair{user, "user"}, {owner, "owner"}}) {
      const QpdfCheck check = CheckWithQpdf(output, password);
      EXPECT_TRUE(check.Clean) << role << "\n" << check.Output;
      EXPECT_NE(check.Output.find(std::string("Supplied password is ") + role + " password"), std::string::npos) << check.Output;
    }
    if (user.size() <= kPopplerLongest) {
      EXPECT_EQ(PdfText(output, user), PdfText(input));
    }
    EXPECT_TRUE(Ran("unprotect " + Quoted(output) + " --password " + Quoted(owner)));
    EXPECT_EQ(PdfText(TempDir() + "/cli-aes-s-r.pdf"), PdfText(input));
  }
  EXPECT_FALSE(CheckWithQpdf(output, "wrong").Clean);  // so qpdf's success above is the password's
  EXPECT_EQ(Folvex("protect " + Quoted(output) + " --user-password u --owner-password o").ExitCode, 9);
  EXPECT_FALSE(fs::exists(TempDir() + "/cli-aes-s-s.pdf"));

  // Equal user and owner passwords need consent, and then the protection may not be removed.
  fs::remove(output);
  const CommandResult refused = Folvex("protect " + Quoted(input) + " --user-password pw --owner-password pw");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Output.find("Owner Password is Not setting: Give --same-passwords-ok"), std::string::npos) << refused.Output;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_TRUE(Ran("protect " + Quoted(input) + " --user-password pw --owner-password pw --same-passwords-ok"));
  const CommandResult removal = Folvex("unprotect " + Quoted(output) + " --password pw");
  EXPECT_EQ(removal.ExitCode, 8) << removal.Output;
  EXPECT_NE(removal.Output.find("File is Not Permitted"), std::string::npos);
}

// AES-256 copies declare the extension that brought the method to PDF 1.7, beside the catalog's
// other extensions (also in an object of their own), and say 1.7 when their input says less.
TEST(ProtectCommand, Aes256CopiesDeclareTheirExtension) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  const std::string adbe = "/ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >>", xyz = "/XYZ << /BaseVersion /2.0 /ExtensionLevel 1 >>";
  // The input's version, its catalog's /Extensions, the object that shows them, what it shows
  // (qpdf sorts the keys) and the copy's header.
  for (const auto& [version, extensions, shown, shows, header] : {
           std::tuple<const char*, std::string, int, std::string, const char*>{
               "1.3", "", 1, "/Extensions << " + adbe + " >>", "%PDF-1.7\n"},
           {"2.0", "/Extensions << " + xyz + " /ADBE << /BaseVersion /1.5 /ExtensionLevel 1 >> >>", 1,
            "/Extensions << " + adbe + " " + xyz + " >>", "%PDF-2.0\n"},
           {"1.6", "/Extensions 9 0 R", 9, "<< " + adbe + " " + xyz + " >>", "%PDF-1.7\n"}}) {
    SCOPED_TRACE(version);
    PdfWriter w(version);
    w.Object(1, "<< /Type /Catalog /Pages 2 0 R " + extensions + " >>");
    w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 200] >>");
    w.Object(3, "<< /Type /Page /Parent 2 0 R >>");
    w.Object(9, "<< " + xyz + " >>");
    w.Finish("/Size 10 /Root 1 0 R");
    const std::string input = WriteTempFile("extensions.pdf", w.Bytes()), output = TempDir() + "/extensions-s.pdf";
    fs::remove(output);
    ASSERT_TRUE(Ran("protect " + Quoted(input) + " --owner-password o --quiet"));
    EXPECT_EQ(ReadFile(output).substr(0, 9), header);
    const QpdfCheck check = CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(PdfinfoPages(output), HaveTool("pdfinfo") ? 1 : -1);
    const std::string object = RunCommand("qpdf --password=o --show-object=" + std::to_string(shown) + " " + Quoted(output)).Output;
    EXPECT_NE(object.find(shows), std::string::npos) << object.substr(0, 500);
  }
}

// A file qpdf protected comes back whole with its owner password read from the first line of a
// file; failures have their status and write nothing. Of several files, each failure has its line
// and the status is the worst.
TEST(UnprotectCommand, FilesProtectedByQpdfComeBackWholeFailuresWriteNothing) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string input = WriteTempFile("cli-plain.pdf", SimplePdf(4)), dir = TempDir(), out = dir + "/unprotected";
  fs::create_directories(out);
  ASSERT_TRUE(EncryptWithQpdf(input, dir + "/cli-r2.pdf", "user", "owner pw", "40"));
  ASSERT_TRUE(Ran("unprotect " + Quoted(dir + "/cli-r2.pdf") + " --password-file " +
                  Quoted(WriteTempFile("cli-password.txt", "owner pw\nsecond line\n")) + " --output-dir " + Quoted(out)));
  EXPECT_TRUE(CheckWithQpdf(out + "/cli-r2-r.pdf").Clean);
  EXPECT_EQ(RunCommand("qpdf --show-encryption " + Quoted(out + "/cli-r2-r.pdf")).Output.find("R = "), std::string::npos);
  EXPECT_EQ(PdfText(out + "/cli-r2-r.pdf"), PdfText(input));

  const std::string rc4 = dir + "/cli-fail-rc4.pdf", absent = Quoted(dir + "/absent.pdf");
  ASSERT_TRUE(EncryptWithQpdf(input, rc4, "u", "o", "128 --use-aes=n"));
  ASSERT_TRUE(EncryptWithQpdf(input, dir + "/cli-aes-r6.pdf", "u", "o", "256"));
  // A revision of AES protection that does not exist.
  const std::string aes = WriteTempFile("cli-fail-aes.pdf", Filled(ReadFile(dir + "/cli-aes-r6.pdf"), "/R 6", "/R 7"));
  const std::set<std::string> before = NamesIn(dir);
  // The arguments, the status, a part of the message (said once), and whether the protected rc4
  // file's copy is written.
  for (const auto& [arguments, status, says, written] : {
           std::tuple{Quoted(rc4) + " --password wrong", 6, "Failure - Remove Security: wrong password\n", false},
           {Quoted(rc4), 6, "Failure - Remove Security: a password is needed", false},
           {Quoted(aes) + " --password o", 3, "revision of AES", false},
           {Quoted(input) + " --password o", 9, "File is Not Encrypted: the file is not protected\n", false},
           {absent + " --password o", 2, "File Not Found: No such file or directory\n", false},
           {absent + " " + Quoted(input) + " --password o", 9, "File Not Found: No such file or directory\n", false},
           {Quoted(input) + " " + absent + " --password o", 9, "File is Not Encrypted: the file is not protected\n", false},
           {Quoted(rc4) + " " + Quoted(input) + " --password o", 9, "File is Not Encrypted", true}}) {
    SCOPED_TRACE(arguments);
    const CommandResult run = Folvex("unprotect " + arguments);
    EXPECT_EQ(run.ExitCode, status) << run.Output;
    EXPECT_NE(run.Output.find(says), std::string::npos) << run.Output;
    EXPECT_EQ(run.Output.find(says), run.Output.rfind(says)) << run.Output;
    std::set<std::string> after = NamesIn(dir);
    EXPECT_EQ(after.erase("cli-fail-rc4-r.pdf"), written ? 1u : 0u);
    EXPECT_EQ(after, before);
  }
}

// AES-256 passwords are their UTF-8 bytes as typed: files qpdf protects with them open in folvex.
// (Files folvex protects with them are opened by qpdf in ProtectCommand.)
TEST(Aes256Passwords, FilesQpdfProtectsOpenWithThePasswordAsTyped) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  ASSERT_NE(PdfText(kSample), "<failed>");
  int row = 0;
  for (const Password& c : kPasswords) {
    SCOPED_TRACE(c.Name);
    const std::string path = TempDir() + "/qpdf-aes256-" + std::to_string(++row) + ".pdf";
    // qpdf writes files no reader opens for a password of more than 127 bytes; it is given the
    // first 127, which is what every reader hashes, as bytes (they may end inside a character).
    ASSERT_EQ(RunCommand("qpdf --password-mode=bytes --encrypt " + Quoted(c.User.substr(0, 127)) + " " +
                         Quoted(c.Owner().substr(0, 127)) + " 256 -- " + Quoted(kSample) + " " + Quoted(path)).ExitCode, 0);
    ExpectFolvexOpens(path, c.User, c.Owner());
  }
}

// A file whose entries were hashed from the SASLprep form of its passwords (as some writers do)
// still opens with the password as typed, which qpdf, hashing the bytes as typed, refuses.
TEST(Aes256Passwords, PreparedEntriesOpenThroughTheSaslPrepForm) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler or mutool missing";
  const std::string dir = TempDir() + "/folvex-aes256-prepared", path = dir + "/three-pages-s.pdf";
  std::filesystem::create_directories(dir);
  const std::string typedUser = "\uFF76\uFF9E\uFF72\uFF84\uFF9E", typedOwner = "\uFF2F\uFF57\uFF4E\uFF45\uFF52\u00A0\u3300";
  ASSERT_EQ(Folvex("protect --aes256 " + Quoted(kSample) + " --user-password " + Quoted("\u30AC\u30A4\u30C9") +
                   " --owner-password " + Quoted("Owner \u30A2\u30D1\u30FC\u30C8") + " --allow modify --output-dir " +
                   Quoted(dir)).ExitCode, 0);
  for (const std::string& typed : {typedUser, typedOwner}) EXPECT_FALSE(CheckWithQpdf(path, typed).Clean) << typed;
  ExpectFolvexOpens(path, typedUser, typedOwner);
}

}  // namespace
}  // namespace folvex
