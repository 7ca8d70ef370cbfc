#include "engine/security/standard_handler.h"

#include <gtest/gtest.h>

#include "engine/security/authenticate.h"
#include "tests/support/open_helpers.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::HaveTool;
using testing::RunCommand;
using testing::SimplePdf;
using testing::WriteTempFile;

TEST(StandardHandler, PasswordPadding) {
  EXPECT_EQ(PadPassword(""), PasswordPadding);
  const std::string thirtyOne(31, 'p');
  const auto padded = PadPassword(thirtyOne);
  EXPECT_EQ(std::string(padded.begin(), padded.begin() + 31), thirtyOne);
  EXPECT_EQ(padded[31], PasswordPadding[0]);
  const auto truncated = PadPassword(std::string(40, 'q'));
  EXPECT_EQ(std::string(truncated.begin(), truncated.end()), std::string(32, 'q'));
}

TEST(StandardHandler, PermissionsFromSelection) {
  const struct {
    int Selection;
    int32_t Permissions;
  } cases[] = {{0, -3904}, {1, -3904 + 4 + 2048}, {2, -3904 + 8 + 1024}, {4, -3904 + 16 + 512},
               {8, -3904 + 32 + 256}, {15, -4}};
  for (const auto& test : cases) EXPECT_EQ(PermissionsFromSelection(test.Selection), test.Permissions) << test.Selection;
}

TEST(StandardHandler, ObjectKeyLengthFollowsTheFileKey) {
  const std::vector<Byte> fiveBytes(5, 0x11), sixteenBytes(16, 0x22);
  EXPECT_EQ(ObjectKey(fiveBytes, 1, 0).Length, 10u);
  EXPECT_EQ(ObjectKey(sixteenBytes, 1, 0).Length, 16u);
  // Number and generation both enter the key.
  EXPECT_NE(ObjectKey(sixteenBytes, 1, 0).Bytes, ObjectKey(sixteenBytes, 2, 0).Bytes);
  EXPECT_NE(ObjectKey(sixteenBytes, 1, 0).Bytes, ObjectKey(sixteenBytes, 1, 1).Bytes);
  EXPECT_NE(ObjectKey(sixteenBytes, 1, 0).Bytes, ObjectKey(sixteenBytes, 0x10001, 0).Bytes);
  // Only the three low bytes of the number count.
  EXPECT_EQ(ObjectKey(sixteenBytes, 1, 0).Bytes, ObjectKey(sixteenBytes, 0x1000001, 0).Bytes);
}

TEST(StandardHandler, EmptyOwnerPasswordMakesTheUserPasswordTheOwner) {
  for (int revision : {2, 3}) {
    SecurityParameters p;
    p.EncryptRevision = revision;
    p.KeyLength = revision == 2 ? 5 : 16;
    p.Permissions = -3904;
    p.FileId = {1, 2, 3, 4, 5, 6, 7, 8};
    const auto owner = ComputeOwnerEntry("", "reader", revision, p.KeyLength);
    p.OwnerEntry.assign(owner.begin(), owner.end());
    const auto user = ComputeUserEntry(revision, "reader", p);
    p.UserEntry.assign(user.begin(), user.end());
    EXPECT_EQ(CheckUserEntry(revision, "reader", p), 1) << revision;
    EXPECT_EQ(CheckOwnerEntry(revision, "reader", p), 1) << revision;
    EXPECT_EQ(CheckOwnerEntry(revision, "", p), 0) << revision;
    EXPECT_EQ(CheckUserEntry(revision, "readers", p), 0) << revision;
  }
}

TEST(StandardHandler, PdfDocEncodingOfPasswords) {
  std::string out;
  EXPECT_TRUE(PasswordToPdfDocEncoding("abc", out));
  EXPECT_EQ(out, "abc");
  EXPECT_TRUE(PasswordToPdfDocEncoding("p\xC3\xA4ss", out));  // ä
  EXPECT_EQ(out, "p\xE4ss");
  EXPECT_TRUE(PasswordToPdfDocEncoding("\xE2\x82\xAC\xE2\x80\xA2", out));  // € •
  EXPECT_EQ(out, "\xA0\x80");
  EXPECT_FALSE(PasswordToPdfDocEncoding("\xE6\x97\xA5", out));  // 日
  EXPECT_FALSE(PasswordToPdfDocEncoding("\xC3", out));          // cut sequence
}

// Files protected by qpdf authenticate through our checks, and our /O and /U match theirs.
TEST(StandardHandler, AgreesWithQpdf) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string input = WriteTempFile("handler-plain.pdf", SimplePdf(2));
  const struct {
    const char* Name;
    const char* Arguments;
    int Revision;
    int KeyLength;
    std::string User, Owner;
  } cases[] = {
      {"rc4-40", "40", 2, 5, "user", "owner"},
      {"rc4-128", "128 --use-aes=n", 3, 16, "user", "owner"},
      {"rc4-128-no-modify", "128 --use-aes=n --modify=none", 3, 16, "", "boss"},
      {"rc4-40-empty-user", "40 --print=n", 2, 5, "", "0wner pass"},
  };
  for (const auto& test : cases) {
    const std::string output = testing::TempDir() + "/handler-" + test.Name + ".pdf";
    ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --encrypt '" + test.User + "' '" + test.Owner + "' " +
                         test.Arguments + " -- '" + input + "' '" + output + "'")
                  .ExitCode,
              0);
    auto document = testing::OpenBytes(testing::ReadFile(output));
    ASSERT_TRUE(document->Parsed);
    EngineState& state = document->State;
    ASSERT_EQ(ReadEncryptDictionary(state, document->Slot().Image, document->Slot().Xref), 0) << test.Name;
    SecurityParameters& p = state.Security;
    EXPECT_EQ(p.FilterName, "Standard");
    EXPECT_EQ(p.EncryptRevision, test.Revision) << test.Name;
    EXPECT_EQ(p.KeyLength, test.KeyLength) << test.Name;
    EXPECT_EQ(p.FileId.size(), 16u);

    EXPECT_EQ(CheckUserEntry(p.EncryptRevision, test.User, p), 1) << test.Name;
    const std::vector<Byte> userKey = p.FileKey;
    EXPECT_EQ(CheckOwnerEntry(p.EncryptRevision, test.Owner, p), 1) << test.Name;
    EXPECT_EQ(p.FileKey, userKey) << "the owner password yields the same file key";
    EXPECT_EQ(CheckUserEntry(p.EncryptRevision, test.Owner, p), 0) << test.Name;
    EXPECT_EQ(CheckOwnerEntry(p.EncryptRevision, test.User, p), 0) << test.Name;
    EXPECT_EQ(CheckOwnerEntry(p.EncryptRevision, "wrong", p), 0) << test.Name;

    const auto owner = ComputeOwnerEntry(test.Owner, test.User, p.EncryptRevision, p.KeyLength);
    EXPECT_EQ(std::vector<Byte>(owner.begin(), owner.end()), p.OwnerEntry) << test.Name;
    SecurityParameters copy = p;
    const auto user = ComputeUserEntry(p.EncryptRevision, test.User, copy);
    const std::size_t compared = p.EncryptRevision == 3 ? 16 : 32;
    EXPECT_TRUE(std::equal(user.begin(), user.begin() + static_cast<std::ptrdiff_t>(compared), p.UserEntry.begin()))
        << test.Name;
  }
}

}  // namespace
}  // namespace folvex
