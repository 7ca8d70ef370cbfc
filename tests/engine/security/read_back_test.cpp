// The read-back of a written file tells every way the file can be wrong, and passes a sound one.
#include "engine/security/read_back.h"

#include <gtest/gtest.h>

#include "engine/security/rewrite.h"
#include "engine/security/standard_handler.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

std::span<const Byte> BytesOf(const std::string& text) { return {reinterpret_cast<const Byte*>(text.c_str()), text.size()}; }

ExpectedOutput Pages(int count) {
  ExpectedOutput expected;
  expected.PageCount = count;
  expected.ListedPages = static_cast<std::size_t>(count);
  return expected;
}

TEST(CheckWrittenFile, TellsWhatIsWrong) {
  const std::string good = testing::SimplePdf(3);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string bytes = good;
    return bytes.replace(bytes.find(from), from.size(), to);
  };
  const struct {
    const char* Name;
    std::string Bytes;
    int Pages;
    int Code;
  } cases[] = {
      {"sound", good, 3, 0},
      {"other pages than written", good, 2, kReadBackPageCount},
      {"a /Count below the tree", replaced("/Count 3", "/Count 2"), 3, kReadBackPageCount},
      {"a page missing from the tree", replaced("[ 4 0 R 6 0 R 8 0 R ]", "[ 4 0 R 6 0 R       ]"), 3, kReadBackPageCount},
      {"cut short", good.substr(0, good.size() - 60), 3, kReadBackNoTable},
      {"a table that needs repair", replaced("xref\n0 10", "xref\n0 11"), 3, kReadBackNoTable},
      {"no page tree", replaced("/Pages 2 0 R", "/Pages 12 0 R"), 3, kReadBackNoPages},
      {"uncountable as its input was", replaced("/Pages 2 0 R", "/Pages 12 0 R"), -1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckWrittenFile(BytesOf(c.Bytes), Pages(c.Pages)), c.Code) << c.Name;
}

// A protected file must carry the job's parameters, open with its passwords as user or owner as
// expected, and an unprotected file must not be protected.
TEST(CheckWrittenFile, ProtectedFilesOpenWithTheJobsPasswords) {
  EngineState state;
  SecurityParameters& p = state.Security;
  p.FilterName = "Standard";
  p.EncryptVersion = 2;
  p.EncryptRevision = 3;
  p.KeyLength = 16;
  p.Permissions = -3904;
  const auto owner = ComputeOwnerEntry("owner", "user", 3, 16);
  p.OwnerEntry.assign(owner.begin(), owner.end());
  p.FileId.assign(16, 0x5A);
  const auto user = ComputeUserEntry(3, "user", p);
  p.UserEntry.assign(user.begin(), user.end());
  FileImage image = testing::ImageOf(testing::SimplePdf(2));
  const std::vector<Byte> key = p.FileKey;
  ASSERT_EQ(TransformDocument(state, image, key, true), 0);
  const std::span<const Byte> bytes(image.Begin(), image.Size());
  ExpectedOutput expected = Pages(2);
  expected.Security = state.Security;
  expected.Passwords = {{"user", false}, {"owner", true}};
  EXPECT_EQ(CheckWrittenFile(bytes, expected), 0);
  expected.Passwords = {{"owner", false}};
  EXPECT_EQ(CheckWrittenFile(bytes, expected), kReadBackPasswords);
  expected.Passwords = {{"user", true}};
  EXPECT_EQ(CheckWrittenFile(bytes, expected), kReadBackPasswords);
  expected.Passwords = {};
  expected.Security->Permissions = -4;
  EXPECT_EQ(CheckWrittenFile(bytes, expected), kReadBackProtection);
  EXPECT_EQ(CheckWrittenFile(bytes, Pages(2)), kReadBackProtection);
  expected = Pages(3);
  expected.Security = SecurityParameters{};
  EXPECT_EQ(CheckWrittenFile(BytesOf(testing::SimplePdf(3)), expected), kReadBackProtection);
}

}  // namespace
}  // namespace folvex
