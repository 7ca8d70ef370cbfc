// The protection rules that files made by others cannot show. A document protected and
// unprotected again in place: the bytes that are the contract (the /Encrypt dictionary, the
// table, the trailer), each protected copy also opened by qpdf and pdftotext with the user
// password. Then the read-back of written files. (The ciphers and the entries of every revision
// are judged by qpdf through the files of the other tests.)
#include "engine/security/rewrite.h"

#include <gtest/gtest.h>

#include "engine/security/read_back.h"
#include "engine/security/standard_handler.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::PdfWriter;

// The parameters ProtectFile makes for user password "u" and owner password "o", for a revision
// and key length; returns the file key.
std::vector<Byte> SetUpProtection(EngineState& state, int revision = 3, int keyLength = 16, int encryptMetadata = 1) {
  SecurityParameters& p = state.Security;
  p = SecurityParameters{};
  p.FilterName = "Standard";
  p.EncryptVersion = revision == 2 ? 1 : 2;
  p.EncryptRevision = revision;
  p.KeyLength = keyLength;
  p.EncryptMetadata = encryptMetadata;
  p.Permissions = -3904;
  const auto owner = ComputeOwnerEntry("o", "u", revision, keyLength);
  p.OwnerEntry.assign(owner.begin(), owner.end());
  p.FileId = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
  const auto user = ComputeUserEntry(revision, "u", p);
  p.UserEntry.assign(user.begin(), user.end());
  return p.FileKey;
}

std::string Text(const FileImage& image) { return std::string(reinterpret_cast<const char*>(image.Begin()), image.Size()); }

TEST(RewriteWithKey, EncryptDictionaryTableAndTrailer) {
  const struct {
    const char* Name;
    std::array<int, 4> Numbers;  // catalog, pages, page, contents
    int Revision, KeyLength, EncryptMetadata;
    const char* Entries;  // of /Encrypt, from /P on
    std::vector<int> Free;
  } cases[] = {
      {"revision 2", {1, 2, 3, 4}, 2, 5, 1, "/P -3904\n/V 1\n/R 2\n>>\nendobj\n", {}},
      {"numbered with gaps", {1, 3, 4, 7}, 3, 16, 1, "/P -3904\n/V 2\n/R 3\n/Length 128\n>>\nendobj\n", {2, 5, 6}},
      {"metadata left plain", {1, 2, 3, 4}, 3, 16, 0,
       "/P -3904\n/V 2\n/R 3\n/Length 128\n/EncryptMetadata false\n>>\nendobj\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto& n = c.Numbers;
    auto ref = [](int number) { return " " + std::to_string(number) + " 0 R"; };
    PdfWriter w;
    w.Object(n[0], "<< /Type /Catalog /Pages" + ref(n[1]) + " >>");
    w.Object(n[1], "<< /Type /Pages /Kids [" + ref(n[2]) + "] /Count 1 >>");
    w.Object(n[2], "<< /Type /Page /Parent" + ref(n[1]) + " /MediaBox [0 0 200 200] /Contents" + ref(n[3]) +
                       " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    w.Stream(n[3], "", "BT /F1 12 Tf 20 100 Td (Hello rewrite) Tj ET");
    w.Finish("/Root" + ref(n[0]));
    EngineState state;
    const std::vector<Byte> key = SetUpProtection(state, c.Revision, c.KeyLength, c.EncryptMetadata);
    FileImage image = testing::ImageOf(w.Bytes());
    ASSERT_EQ(TransformDocument(state, image, key, true), 0);
    const std::string text = Text(image);
    const int encrypt = n[3] + 1;
    const std::size_t dictionary = text.find(std::to_string(encrypt) + " 0 obj\n<<\n/Filter /Standard\n/O (");
    ASSERT_NE(dictionary, std::string::npos);
    EXPECT_EQ(text.substr(text.find("\n/P ", dictionary) + 1, std::string(c.Entries).size()), c.Entries);
    const std::string header = "xref\n0 " + std::to_string(encrypt + 1) + "\n";
    const std::size_t xref = text.rfind("\nxref\n") + 1;
    EXPECT_EQ(text.substr(xref, header.size()), header);
    for (int number : c.Free) {
      EXPECT_EQ(text.substr(xref + header.size() + 20 * number, 20), "0000000000 65535 f \n") << number;
    }
    EXPECT_NE(text.find("/Encrypt" + ref(encrypt)), std::string::npos);
    EXPECT_NE(text.find("/ID [<A0A1A2A3A4A5A6A7A8A9AAABACADAEAF><A0A1A2A3A4A5A6A7A8A9AAABACADAEAF>]"), std::string::npos);
    EXPECT_EQ(text.find("Hello rewrite"), std::string::npos);
    // qpdf and poppler take /EncryptMetadata into the file key from revision 4 on only.
    if (c.EncryptMetadata != 0 && testing::HaveTool("qpdf") && testing::HaveTool("pdftotext")) {
      const std::string path = testing::WriteTempFile("rewritten.pdf", text);
      const auto check = testing::CheckWithQpdf(path, "u");
      EXPECT_TRUE(check.Clean) << check.Output.substr(0, 500);
      EXPECT_NE(testing::PdfText(path, "u").find("Hello rewrite"), std::string::npos);
    }

    // Unprotecting drops /Encrypt, which becomes a free entry, and the table keeps its numbering.
    state.Security.EncryptObjectNumber = encrypt;
    ASSERT_EQ(TransformDocument(state, image, key, false), 0);
    const std::string plain = Text(image);
    EXPECT_EQ(plain.substr(plain.rfind("\nxref\n") + 1 + header.size() + 20 * encrypt, 20), "0000000000 65535 f \n");
    EXPECT_EQ(plain.find("/Encrypt"), std::string::npos);
    EXPECT_NE(plain.find("(Hello rewrite)"), std::string::npos);
  }
}

// The read-back of a written file tells every way the file can be wrong, and passes a sound one. A
// protected file must carry the job's parameters and open with its passwords as user or owner as
// expected; an unprotected file must not be protected.
TEST(CheckWrittenFile, TellsWhatIsWrongAndOpensProtectedFilesWithTheJobsPasswords) {
  const std::string good = testing::SimplePdf(3);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string bytes = good;
    return bytes.replace(bytes.find(from), from.size(), to);
  };
  EngineState state;
  const std::vector<Byte> key = SetUpProtection(state);
  FileImage image = testing::ImageOf(good);
  ASSERT_EQ(TransformDocument(state, image, key, true), 0);
  const std::string protectedCopy = Text(image);
  SecurityParameters otherPermissions = state.Security;
  otherPermissions.Permissions = -4;
  const struct {
    const char* Name;
    std::string Bytes;
    int Pages;
    int Code;
    std::optional<SecurityParameters> Security = std::nullopt;
    std::vector<ExpectedPassword> Passwords = {};
  } cases[] = {
      {"sound", good, 3, 0},
      {"other pages than written", good, 2, kReadBackPageCount},
      {"a /Count below the tree", replaced("/Count 3", "/Count 2"), 3, kReadBackPageCount},
      {"a page missing from the tree", replaced("[ 4 0 R 6 0 R 8 0 R ]", "[ 4 0 R 6 0 R       ]"), 3, kReadBackPageCount},
      {"cut short", good.substr(0, good.size() - 60), 3, kReadBackNoTable},
      {"a table that needs repair", replaced("xref\n0 10", "xref\n0 11"), 3, kReadBackNoTable},
      {"no page tree", replaced("/Pages 2 0 R", "/Pages 12 0 R"), 3, kReadBackNoPages},
      {"uncountable as its input was", replaced("/Pages 2 0 R", "/Pages 12 0 R"), -1, 0},
      {"protected, opened as user and as owner", protectedCopy, 3, 0, state.Security, {{"u", false}, {"o", true}}},
      {"the owner password as user password", protectedCopy, 3, kReadBackPasswords, state.Security, {{"o", false}}},
      {"the user password as owner password", protectedCopy, 3, kReadBackPasswords, state.Security, {{"u", true}}},
      {"other permissions", protectedCopy, 3, kReadBackProtection, otherPermissions},
      {"protected where it should not be", protectedCopy, 3, kReadBackProtection},
      {"not protected where it should be", good, 3, kReadBackProtection, SecurityParameters{}},
  };
  for (const auto& c : cases) {
    const ExpectedOutput expected{c.Pages, static_cast<std::size_t>(c.Pages), c.Security, c.Passwords};
    const std::span<const Byte> bytes(reinterpret_cast<const Byte*>(c.Bytes.data()), c.Bytes.size());
    EXPECT_EQ(CheckWrittenFile(bytes, expected), c.Code) << c.Name;
  }
}

}  // namespace
}  // namespace folvex
