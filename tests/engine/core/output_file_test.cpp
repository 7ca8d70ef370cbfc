#include "engine/core/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/file_identity.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteTempFile;

std::string Folder(const std::string& name) {
  const std::string dir = TempDir() + "/staged-" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::size_t FilesIn(const std::string& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// How a store ends for every way it can fail: the old output keeps its bytes, the new bytes go
// nowhere, and no staging file stays behind.
TEST(StagedFile, AFailedStoreLeavesTheOldOutputAndNothingElse) {
  const struct {
    const char* Name;
    StoreOptions Options;
    bool Discarded;  // the object goes before Commit
    StoreResult Result;
  } cases[] = {
      {"read back wrong", {ReplaceRule::Replace, "", [](std::span<const Byte>) { return false; }}, false,
       StoreResult::ReadBackFailed},
      {"the name is taken", {ReplaceRule::Never, "", {}}, false, StoreResult::NameTaken},
      {"given up before the commit (a cancel, a failure)", {}, true, StoreResult::Done},
  };
  for (const auto& c : cases) {
    const std::string dir = Folder("failed");
    const std::string output = WriteTempFile("staged-failed/out.pdf", "old output\n");
    {
      StagedFile file(output);
      ASSERT_TRUE(file.IsOpen()) << c.Name;
      ASSERT_TRUE(file.Write("new bytes")) << c.Name;
      EXPECT_EQ(FilesIn(dir), 2u) << c.Name;  // the output and the hidden staging file
      if (!c.Discarded) {
        EXPECT_EQ(file.Commit(c.Options), c.Result) << c.Name;
      }
    }
    EXPECT_EQ(ReadFile(output), "old output\n") << c.Name;
    EXPECT_EQ(FilesIn(dir), 1u) << c.Name;
  }
}

// The read-back sees exactly the bytes on the disk, followed by a zero byte, for small files and
// for files large enough to be mapped; the old output becomes the backup only once the new one
// is in place.
TEST(StagedFile, CommitReadsBackThenKeepsTheBackup) {
  for (const std::size_t size : {std::size_t{100}, std::size_t{1} << 20, (std::size_t{4} << 20) + 4096}) {
    const std::string dir = Folder("commit");
    const std::string output = WriteTempFile("staged-commit/out.pdf", "old output\n");
    std::string bytes(size, 'x');
    bytes.front() = '%';
    bytes.back() = 'z';
    StagedFile file(output);
    ASSERT_TRUE(file.Write(bytes.substr(0, size / 2)) && file.Write(bytes.substr(size / 2)));
    StoreOptions options;
    options.BackupPath = dir + "/out.bak";
    bool checked = false;
    options.ReadBack = [&](std::span<const Byte> seen) {
      checked = true;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(seen.data()), seen.size()), bytes);
      EXPECT_EQ(seen.data()[seen.size()], 0);
      EXPECT_FALSE(fs::exists(dir + "/out.bak"));
      return true;
    };
    EXPECT_EQ(file.Commit(options), StoreResult::Done);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(file.BackupMade());
    EXPECT_EQ(ReadFile(output), bytes);
    EXPECT_EQ(ReadFile(dir + "/out.bak"), "old output\n");
    EXPECT_EQ(FilesIn(dir), 2u);
  }
}

// A file that must not replace anything takes another name when its own is taken meanwhile.
TEST(StagedFile, ANameTakenMeanwhileGivesWayToTheNext) {
  const std::string dir = Folder("taken");
  StagedFile file(dir + "/page_1.pdf");
  ASSERT_TRUE(file.Write("page") && file.ReadBack([](std::span<const Byte>) { return true; }));
  WriteTempFile("staged-taken/page_1.pdf", "somebody else's");
  const StoreOptions never{ReplaceRule::Never, "", {}};
  EXPECT_EQ(file.PutInPlace(never), StoreResult::NameTaken);
  file.Retarget(dir + "/page_1 (2).pdf");
  EXPECT_EQ(file.PutInPlace(never), StoreResult::Done);
  EXPECT_EQ(ReadFile(dir + "/page_1.pdf"), "somebody else's");
  EXPECT_EQ(ReadFile(dir + "/page_1 (2).pdf"), "page");
  EXPECT_EQ(FilesIn(dir), 2u);
}

TEST(StagedFile, ASignalHandlerRemovesEveryLiveStagingFile) {
  const std::string dir = Folder("signal");
  StagedFile first(dir + "/a.pdf");
  StagedFile second(dir + "/b.pdf");
  ASSERT_TRUE(first.Write("a") && second.Write("b"));
  EXPECT_EQ(FilesIn(dir), 2u);
  RemoveStagedFilesNow();
  EXPECT_EQ(FilesIn(dir), 0u);
}

TEST(OutputClaims, OneFileUnderEveryName) {
  const std::string dir = Folder("claims");
  const std::string input = WriteTempFile("staged-claims/in.pdf", "input");
  fs::create_hard_link(input, dir + "/hard.pdf");
  fs::create_symlink(input, dir + "/soft.pdf");
  fs::create_directories(dir + "/sub");
  OutputClaims claims;
  claims.AddInput(input);
  EXPECT_EQ(claims.Claim(dir + "/hard.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/soft.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/sub/../in.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/new.pdf"), "");
  EXPECT_EQ(claims.Claim(dir + "/sub/../new.pdf"), dir + "/new.pdf");
  EXPECT_EQ(claims.Claim(dir + "/other.pdf"), "");
}

}  // namespace
}  // namespace folvex
