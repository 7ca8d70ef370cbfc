// The output store: a staged file is in place only once it reads back, a failed store leaves the
// old output alone, and an output is told from an input under every name the two may have.
#include "engine/core/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/file_identity.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

// A fresh folder holding only out.pdf with the old output's bytes; returns the folder.
std::string FolderWithOldOutput() {
  const std::string dir = testing::TempDir() + "/staged";
  fs::remove_all(dir);
  fs::create_directories(dir);
  testing::WriteTempFile("staged/out.pdf", "old output\n");
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
    bool Discarded;  // the object goes before Commit (a cancel, a failure)
    StoreResult Result;
  } cases[] = {
      {"read back wrong", {ReplaceRule::Replace, "", [](std::span<const Byte>) { return false; }}, false,
       StoreResult::ReadBackFailed},
      {"the name is taken", {ReplaceRule::Never, "", {}}, false, StoreResult::NameTaken},
      {"given up before the commit", {}, true, StoreResult::Done},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string dir = FolderWithOldOutput();
    {
      StagedFile file(dir + "/out.pdf");
      ASSERT_TRUE(file.Write("new bytes"));
      EXPECT_EQ(FilesIn(dir), 2u);  // the output and the hidden staging file
      if (!c.Discarded) {
        EXPECT_EQ(file.Commit(c.Options), c.Result);
      }
    }
    EXPECT_EQ(ReadFile(dir + "/out.pdf"), "old output\n");
    EXPECT_EQ(FilesIn(dir), 1u);
  }
}

// The read-back sees exactly the bytes on the disk, followed by a zero byte, for small files and
// for files large enough to be mapped; the old output becomes the backup only once the new one
// is in place.
TEST(StagedFile, CommitReadsBackThenKeepsTheBackup) {
  for (const std::size_t size : {std::size_t{100}, (std::size_t{4} << 20) + 4096}) {
    const std::string dir = FolderWithOldOutput();
    std::string bytes(size, 'x');
    bytes.back() = 'z';
    StagedFile file(dir + "/out.pdf");
    ASSERT_TRUE(file.Write(bytes.substr(0, size / 2)) && file.Write(bytes.substr(size / 2)));
    StoreOptions options;
    options.BackupPath = dir + "/out.bak";
    bool checked = false;
    options.ReadBack = [&](std::span<const Byte> seen) {
      checked = true;
      EXPECT_TRUE(std::string(reinterpret_cast<const char*>(seen.data()), seen.size()) == bytes);
      EXPECT_EQ(seen.data()[seen.size()], 0);
      EXPECT_FALSE(fs::exists(dir + "/out.bak"));
      return true;
    };
    EXPECT_EQ(file.Commit(options), StoreResult::Done);
    EXPECT_TRUE(checked && file.BackupMade());
    EXPECT_TRUE(ReadFile(dir + "/out.pdf") == bytes);
    EXPECT_EQ(ReadFile(dir + "/out.bak"), "old output\n");
    EXPECT_EQ(FilesIn(dir), 2u);
  }
}

TEST(OutputClaims, OneFileUnderEveryName) {
  const std::string dir = FolderWithOldOutput();
  const std::string input = dir + "/out.pdf";
  fs::create_hard_link(input, dir + "/hard.pdf");
  fs::create_symlink(input, dir + "/soft.pdf");
  fs::create_directories(dir + "/sub");
  OutputClaims claims;
  claims.AddInput(input);
  EXPECT_EQ(claims.Claim(dir + "/hard.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/soft.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/sub/../out.pdf"), input);
  EXPECT_EQ(claims.Claim(dir + "/new.pdf"), "");
  EXPECT_EQ(claims.Claim(dir + "/sub/../new.pdf"), dir + "/new.pdf");
  EXPECT_EQ(claims.Claim(dir + "/other.pdf"), "");
}

}  // namespace
}  // namespace folvex
