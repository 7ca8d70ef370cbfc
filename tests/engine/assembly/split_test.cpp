// RunSplit: page file names, the statuses of a split that cannot finish, and page files that are
// the extract of their page, byte for byte.
#include "engine/assembly/split.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Quoted;
using testing::SimplePdf;
using testing::TempDir;

std::string FreshFolder(const std::string& name) {
  const std::string folder = TempDir() + "/" + name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(SplitNames, BaseFolderAndPadding) {
  struct Case {
    const char* Input;
    const char* Base;
    const char* Folder;
  };
  for (const Case& c : {Case{"C:\\in\\Report.PDF", "Report", "C:\\in\\"}, Case{"/a/b.c/x.pdf.pdf", "x.pdf", "/a/b.c/"},
                        Case{"noext", "noext", ""}, Case{"/a/.pdf", ".pdf", "/a/"}, Case{"/a/b.pdf ", "b.pdf ", "/a/"},
                        Case{"dir/mixed\\name.Pdf", "name", "dir/mixed\\"}}) {
    EXPECT_EQ(SplitBaseName(c.Input), c.Base) << c.Input;
    EXPECT_EQ(SplitFolderOf(c.Input), c.Folder) << c.Input;
  }
  const std::string folder = FreshFolder("split-names") + "/";
  struct Padding {
    int Number, Count;
    const char* Name;
  };
  for (const Padding& p : {Padding{1, 2, "r_1.pdf"}, Padding{9, 9, "r_9.pdf"}, Padding{3, 10, "r_03.pdf"},
                           Padding{12, 999, "r_012.pdf"}, Padding{7, 10000, "r_00007.pdf"},
                           Padding{123456, 123456, "r_123456.pdf"}}) {
    EXPECT_EQ(SplitPageFilePath(folder, "r", p.Number, p.Count), folder + p.Name);
  }
  // Taken names, the page file's or a folder's, give way to the first free number.
  std::filesystem::create_directories(folder + "r_03.pdf");
  testing::WriteTempFile("split-names/r_03 (2).pdf", "x");
  testing::WriteTempFile("split-names/r_03 (4).pdf", "x");
  EXPECT_EQ(SplitPageFilePath(folder, "r", 3, 10), folder + "r_03 (3).pdf");
}

TEST(Split, CancelKeepsOnlyWholePageFiles) {
  const std::string folder = FreshFolder("split-cancel");
  testing::WriteTempFile("split-cancel/c.pdf", SimplePdf(20));
  EngineState state;
  JobControl control;
  int stored = 0;
  // Cancel while the fifth page file is being built.
  control.ProgressSink = [&](int percent, const std::string&) {
    if (percent >= 10 + 90 * 4 / 20) control.CancelFlag.store(3);
    stored = percent;
  };
  state.Control = &control;
  SplitJob job;
  job.InputPath = folder + "/c.pdf";
  const SplitOutcome outcome = RunSplit(state, job);
  EXPECT_EQ(outcome.Result, kSplitCancelled);
  EXPECT_EQ(outcome.Written.size(), 4u);
  EXPECT_GE(stored, 10);
  EXPECT_EQ(FilesIn(folder), 5u);  // the input and four whole page files, no temporary file
  for (const std::string& path : outcome.Written) EXPECT_TRUE(testing::CheckWithQpdf(path).Clean) << path;
}

TEST(Split, StatusesOfSplitsThatCannotRun) {
  const std::string folder = FreshFolder("split-statuses");
  testing::WriteTempFile("split-statuses/one.pdf", SimplePdf(1));
  testing::WriteTempFile("split-statuses/three.pdf", SimplePdf(3));
  testing::WriteTempFile("split-statuses/junk.pdf", "%PDF-1.4\nnothing else");
  struct Case {
    std::string Input;
    std::optional<std::vector<int>> Pages;  // nothing: the chooser gives up
    bool Chooser;
    int Result;
  };
  for (const Case& c : {
           Case{folder + "/one.pdf", std::nullopt, false, kSplitOnePage},
           Case{folder + "/missing.pdf", std::nullopt, false, kSplitInputMissing},
           Case{folder + "/junk.pdf", std::nullopt, false, kSplitFailed},
           Case{folder + "/three.pdf", std::nullopt, true, kSplitCancelled},
           Case{folder + "/three.pdf", std::vector<int>{}, true, kSplitBadPages},
           Case{folder + "/three.pdf", std::vector<int>{0, 3}, true, kSplitBadPages},
           Case{folder + "/three.pdf", std::vector<int>{-1}, true, kSplitBadPages},
       }) {
    SCOPED_TRACE(c.Input);
    EngineState state;
    SplitJob job;
    job.InputPath = c.Input;
    int asked = 0;
    if (c.Chooser) {
      job.ChoosePages = [&](int pageCount) {
        EXPECT_EQ(pageCount, 3);
        ++asked;
        return c.Pages;
      };
    }
    const SplitOutcome outcome = RunSplit(state, job);
    EXPECT_EQ(outcome.Result, c.Result);
    EXPECT_TRUE(outcome.Written.empty());
    EXPECT_EQ(asked, c.Chooser ? 1 : 0);
  }
  EXPECT_EQ(FilesIn(folder), 3u);

  // A page file that cannot be created ends the split with the files before it kept.
  std::filesystem::create_directories(folder + "/out");
  EngineState state;
  SplitJob job;
  job.InputPath = folder + "/three.pdf";
  job.OutputFolder = "/proc/";
  EXPECT_EQ(RunSplit(state, job).Result, kSplitCannotCreate);
}

// Each page file is the file `folvex extract INPUT k` writes, byte for byte: the split goes through
// the extract writer, and what one page file leaves in the shared tables does not reach the next.
TEST(Split, PageFilesAreTheExtractsOfTheirPages) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  std::vector<std::string> inputs{testing::WriteTempFile("split-same.pdf", SimplePdf(12))};
  const std::string real = testing::RealWorldDir() + "/local__libtasn1.pdf";
  if (std::filesystem::exists(real)) inputs.push_back(real);
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    const std::string folder = FreshFolder("split-same-out");
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const testing::CommandResult run =
        testing::Folvex("split " + Quoted(input) + " 5,1,3,1 --output-dir " + Quoted(folder) + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const int count = testing::PdfinfoPages(input);
    const std::string base = SplitBaseName(input);
    for (int page : {5, 1, 3}) {
      const std::string extract = folder + "/extract.pdf";
      ASSERT_EQ(testing::Folvex("extract " + Quoted(input) + " " + std::to_string(page) + " -o " + Quoted(extract) +
                                " --quiet")
                    .ExitCode,
                0);
      std::string number = std::to_string(page);
      number.insert(0, std::to_string(count).size() - number.size(), '0');
      EXPECT_EQ(testing::ReadFile(folder + "/" + base + "_" + number + ".pdf"), testing::ReadFile(extract)) << page;
      std::filesystem::remove(extract);
    }
    EXPECT_EQ(testing::ReadFile(folder + "/" + base + "_" + std::string(std::to_string(count).size() - 1, '0') +
                                "1 (2).pdf"),
              testing::ReadFile(folder + "/" + base + "_" + std::string(std::to_string(count).size() - 1, '0') + "1.pdf"));
    unsetenv("SOURCE_DATE_EPOCH");
  }
}

}  // namespace
}  // namespace folvex
