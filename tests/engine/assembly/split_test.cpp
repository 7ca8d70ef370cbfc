// RunSplit and RunMerge where the command-line tests cannot reach: page file names, a name taken
// while a split runs, cancel, and the input a failed merge names.
#include "engine/assembly/split.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/assembly/merge.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

// Another program taking a page file's name between the split's choice of the name and its
// rename: the first rename of this test program onto a path ending in gTakenName first creates a
// file there. Every other rename runs as it is.
std::string gTakenName;
extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags) noexcept {
  if (!gTakenName.empty() && std::string_view(to).ends_with(gTakenName)) {
    gTakenName.clear();
    std::ofstream(to) << "somebody else's";
  }
  return static_cast<int>(syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

namespace folvex {
namespace {

using testing::SimplePdf;

// A fresh folder holding name.pdf of pages pages; returns the folder.
std::string FolderWithInput(const std::string& name, int pages) {
  std::filesystem::remove_all(testing::TempDir() + "/split-" + name);
  std::filesystem::create_directories(testing::TempDir() + "/split-" + name);
  return std::filesystem::path(testing::WriteTempFile("split-" + name + "/" + name + ".pdf", SimplePdf(pages))).parent_path();
}

std::size_t FilesIn(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Numbers are padded to the digits of the page count; taken names (a file's or a folder's) give
// way to the first free " (k)"; and a name another program takes just before the page file is put
// in place gives way the same, that program's file staying.
TEST(Split, PageFileNames) {
  const std::string folder = FolderWithInput("names", 3) + "/";
  EXPECT_EQ(SplitPageFilePath(folder, "r", 7, 10000), folder + "r_00007.pdf");
  std::filesystem::create_directories(folder + "r_03.pdf");
  testing::WriteTempFile("split-names/r_03 (2).pdf", "x");
  testing::WriteTempFile("split-names/r_03 (4).pdf", "x");
  EXPECT_EQ(SplitPageFilePath(folder, "r", 3, 10), folder + "r_03 (3).pdf");

  gTakenName = "/names_2.pdf";
  EngineState state;
  SplitJob job;
  job.InputPath = folder + "names.pdf";
  const SplitOutcome outcome = RunSplit(state, job);
  EXPECT_TRUE(gTakenName.empty()) << "the page file was never renamed onto its name";
  gTakenName.clear();
  EXPECT_EQ(outcome.Result, kSplitDone);
  EXPECT_EQ(outcome.Written, (std::vector<std::string>{folder + "names_1.pdf", folder + "names_2 (2).pdf", folder + "names_3.pdf"}));
  EXPECT_EQ(testing::ReadFile(folder + "names_2.pdf"), "somebody else's");
  EXPECT_EQ(testing::PageText(folder + "names_2 (2).pdf", 1), testing::PageText(job.InputPath, 2));

  // An output folder named without a trailing separator holds the page files all the same.
  std::filesystem::create_directory(folder + "out");
  job.OutputFolder = folder + "out";
  job.ChoosePages = [](int) { return std::optional(std::vector<int>{0}); };
  EngineState other;
  EXPECT_EQ(RunSplit(other, job).Written, std::vector<std::string>{folder + "out/names_1.pdf"});
}

// A cancel keeps the page files already whole and leaves no staging file; a chooser that gives
// up cancels the split before any page file.
TEST(Split, CancelKeepsOnlyWholePageFiles) {
  const std::string folder = FolderWithInput("cancel", 20);
  SplitJob job;
  job.InputPath = folder + "/cancel.pdf";
  for (const bool chooserGivesUp : {false, true}) {
    EngineState state;
    JobControl control;
    // Cancel while the fifth page file is being built.
    control.ProgressSink = [&](int percent, const std::string&) {
      if (percent >= 10 + 90 * 4 / 20) control.CancelFlag.store(3);
    };
    state.Control = &control;
    if (chooserGivesUp) job.ChoosePages = [](int) { return std::optional<std::vector<int>>(); };
    const SplitOutcome outcome = RunSplit(state, job);
    EXPECT_EQ(outcome.Result, kSplitCancelled);
    EXPECT_EQ(outcome.Written.size(), chooserGivesUp ? 0u : 4u);
    EXPECT_EQ(FilesIn(folder), 5u);
    for (const std::string& path : outcome.Written) EXPECT_TRUE(testing::CheckWithQpdf(path).Clean) << path;
  }
}

// Of several inputs whose pages cannot be copied (their /Pages root holds a rotation that is no
// number), a merge names the first.
TEST(Merge, NamesTheFirstInputWhosePagesCannotBeCopied) {
  std::string unreadable = SimplePdf(1);
  const std::string resources = "/Resources << /Font << /F1 3 0 R >> >>";  // the same length, offsets kept
  unreadable.replace(unreadable.find(resources), resources.size(), "/Rotate /Ninety" + std::string(23, ' '));
  MergeJob job;
  job.Inputs = {{testing::WriteTempFile("merge-good.pdf", SimplePdf(1))},
                {testing::WriteTempFile("merge-unreadable-1.pdf", unreadable)},
                {testing::WriteTempFile("merge-unreadable-2.pdf", unreadable)}};
  job.OutputPath = testing::TempDir() + "/merge-unreadable-out.pdf";
  std::filesystem::remove(job.OutputPath);
  EngineState state;
  EXPECT_EQ(RunMerge(state, job), kMergeFailed);
  EXPECT_EQ(job.JobResultIndex, 1);
  EXPECT_FALSE(std::filesystem::exists(job.OutputPath));
}

}  // namespace
}  // namespace folvex
