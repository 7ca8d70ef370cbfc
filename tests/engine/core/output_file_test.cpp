// The output store: a staged file is in place only once it reads back, a failed store leaves the
// old output alone, and an output is told from an input under every name the two may have. The
// large blocks that hold file images.
#include "engine/core/output_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "engine/core/document.h"
#include "engine/core/file_identity.h"
#include "engine/core/large_buffers.h"
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

// A store puts the staged file in place only once it reads back: the read-back sees exactly the
// bytes on the disk, followed by a zero byte, for small files and for files large enough to be
// mapped, and the old output becomes the backup only once the new one is in place. Every way a
// store can fail leaves the old output with its bytes, the new bytes nowhere, and no staging file.
TEST(StagedFile, AFailedStoreLeavesTheOldOutputAndNothingElse) {
  const struct {
    const char* Name;
    std::size_t Size;
    ReplaceRule Rule;
    bool ReadsBack;
    bool Discarded;  // the object goes before Commit (a cancel, a failure)
    StoreResult Result;
  } cases[] = {
      {"small", 100, ReplaceRule::Replace, true, false, StoreResult::Done},
      {"mapped", (std::size_t{4} << 20) + 4096, ReplaceRule::Replace, true, false, StoreResult::Done},
      {"read back wrong", 100, ReplaceRule::Replace, false, false, StoreResult::ReadBackFailed},
      {"the name is taken", 100, ReplaceRule::Never, true, false, StoreResult::NameTaken},
      {"given up before the commit", 100, ReplaceRule::Replace, true, true, StoreResult::Done},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string dir = FolderWithOldOutput();
    std::string bytes(c.Size, 'x');
    bytes.back() = 'z';
    {
      StagedFile file(dir + "/out.pdf");
      ASSERT_TRUE(file.Write(bytes.substr(0, c.Size / 2)) && file.Write(bytes.substr(c.Size / 2)));
      EXPECT_EQ(FilesIn(dir), 2u);  // the output and the hidden staging file
      const StoreOptions options{c.Rule, dir + "/out.bak", [&](std::span<const Byte> seen) {
                                   EXPECT_TRUE(std::string(reinterpret_cast<const char*>(seen.data()), seen.size()) == bytes);
                                   EXPECT_EQ(seen.data()[seen.size()], 0);
                                   EXPECT_FALSE(fs::exists(dir + "/out.bak"));
                                   return c.ReadsBack;
                                 }};
      if (!c.Discarded) {
        EXPECT_EQ(file.Commit(options), c.Result);
        EXPECT_EQ(file.BackupMade(), c.Result == StoreResult::Done);
      }
    }
    const bool done = !c.Discarded && c.Result == StoreResult::Done;
    EXPECT_TRUE(ReadFile(dir + "/out.pdf") == (done ? bytes : "old output\n"));
    EXPECT_EQ(ReadFile(dir + "/out.bak"), done ? "old output\n" : "");
    EXPECT_EQ(FilesIn(dir), done ? 2u : 1u);
  }
}

TEST(OutputClaims, OneFileUnderEveryName) {
  const std::string dir = FolderWithOldOutput(), input = dir + "/out.pdf";
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

// An image grown by appends across the size where its blocks leave the heap, then shrunk by
// moving into a smaller one, keeps every byte; each block is returned with the size it was taken
// with (a wrong length would unmap a neighbour or leak the mapping).
TEST(LargeBuffers, ImagesKeepTheirBytesAcrossTheLargeBlockSize) {
  std::vector<Byte> chunk(700'000);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<Byte>(i * 7 + i / 251);
  for (int round = 0; round < 3; ++round) {
    ImageBytes bytes;
    const int chunks = 3 * static_cast<int>(kLargeBlockSize / chunk.size());
    for (int k = 0; k < chunks; ++k) AppendBytes(bytes, chunk.data(), chunk.size());
    ASSERT_EQ(bytes.size(), chunk.size() * static_cast<std::size_t>(chunks));
#if defined(__linux__)
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.data()) % (2u << 20), 0u) << "a large block starts on a large page";
#endif
    for (std::size_t at = 0; at < bytes.size(); at += 4099) {
      ASSERT_EQ(bytes[at], chunk[at % chunk.size()]) << "at " << at;
    }
    const FileImage image = MakeFileImage(std::span<const Byte>(bytes.data(), chunk.size()));
    EXPECT_EQ(image.Size(), chunk.size());
    EXPECT_EQ(*image.End(), 0);
    EXPECT_EQ(image.Begin()[chunk.size() - 1], chunk.back());
  }
}

}  // namespace
}  // namespace folvex
