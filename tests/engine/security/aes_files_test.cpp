// Files protected by qpdf with AES-128, AES-256 (revisions 5 and 6) and RC4 through crypt filters,
// with and without object streams: counted, unprotected, extracted and merged.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/security/security_jobs.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::CheckWithQpdf;
using testing::HaveTool;
using testing::PdfText;
using testing::Quoted;
using testing::RunCommand;
using testing::TempDir;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext"); }

testing::CommandResult Folvex(const std::string& arguments) {
  return RunCommand(std::string(FOLVEX_CLI_PATH) + " " + arguments + " 2>&1 </dev/null");
}

struct Variant {
  const char* Name;
  const char* User;
  const char* Owner;
  const char* Encrypt;   // qpdf's key length and options
  bool ObjectStreams;
  const char* Revision;  // as qpdf --show-encryption shows it
};

const Variant kVariants[] = {
    {"aes128", "u", "o", "128 --use-aes=y", false, "4"},
    {"aes128-streams", "u", "o", "128 --use-aes=y", true, "4"},
    {"aes128-open", "", "o", "128 --use-aes=y", true, "4"},
    {"aes128-restricted", "", "o", "128 --use-aes=y --print=none --modify=none --extract=n", true, "4"},
    {"aes128-plain-metadata", "u", "o", "128 --use-aes=y --cleartext-metadata", false, "4"},
    {"rc4-crypt-filters", "u", "o", "128 --use-aes=n --force-V4", true, "4"},
    {"aes256", "u", "o", "256", false, "6"},
    {"aes256-streams", "u", "o", "256", true, "6"},
    {"aes256-open", "", "o", "256", true, "6"},
    {"aes256-restricted", "", "o", "256 --print=none --modify=none --extract=n", false, "6"},
    {"aes256-utf8", "\xC3\xA4u", "\xC3\xB6o", "256", true, "6"},
    {"aes256-r5", "u", "o", "256 --force-R5", true, "5"},
    {"rc4-streams", "u", "o", "128 --use-aes=n", true, "3"},
};

std::string PlainPath(const Variant& v) { return TempDir() + "/" + v.Name + "-plain.pdf"; }

// The variant protected by qpdf from a plain source of three pages (PlainPath), saved with or
// without object streams.
std::string Protect(const Variant& v) {
  const std::string plain = testing::WriteTempFile(std::string(v.Name) + "-plain.pdf", testing::SimplePdf(3));
  const std::string path = TempDir() + "/" + v.Name + ".pdf";
  const std::string streams = v.ObjectStreams ? " --object-streams=generate" : " --object-streams=disable";
  const auto run = RunCommand("qpdf --allow-weak-crypto" + streams + " --encrypt " + Quoted(v.User) + " " +
                              Quoted(v.Owner) + " " + v.Encrypt + " -- " + Quoted(plain) + " " + Quoted(path) + " 2>&1");
  EXPECT_EQ(run.ExitCode, 0) << v.Name << run.Output;
  return path;
}

std::string Show(const std::string& path, const std::string& password, const std::string& key) {
  return testing::QpdfEncryptionValue(path, password, key);
}

// The line of qpdf --show-encryption that starts with prefix, or "".
std::string ShownLine(const std::string& path, const std::string& password, const std::string& prefix) {
  const std::string shown =
      RunCommand("qpdf --show-encryption --password=" + Quoted(password) + " " + Quoted(path) + " 2>/dev/null").Output;
  const std::size_t at = shown.find(prefix);
  return at == std::string::npos ? "" : shown.substr(at, shown.find('\n', at) - at);
}

TEST(AesFiles, CountedWhenTheEmptyPasswordOpensThemOrTheirTableIsClassic) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  for (const Variant& v : kVariants) {
    const std::string path = Protect(v);
    EngineState state;
    const int pages = CountPages(state, path, MakeCountDecryption());
    const bool opensEmpty = std::string(v.User).empty();
    if (opensEmpty || !v.ObjectStreams) {
      EXPECT_EQ(pages, 3) << v.Name;
      EXPECT_TRUE(state.EncryptRef.has_value()) << v.Name << ": still shown as protected";
    } else {
      EXPECT_EQ(pages, -1) << v.Name;
      EXPECT_EQ(state.LastErrorCode, -1000) << v.Name;
    }
    // Without the decryption step, compressed pages stay uncounted as before.
    EngineState plainCount;
    if (v.ObjectStreams) {
      EXPECT_EQ(CountPages(plainCount, path), -1) << v.Name;
    }
  }
}

TEST(AesFiles, UnprotectedWithTheOwnerPasswordKeepTheirText) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  for (const Variant& v : kVariants) {
    const std::string path = Protect(v);
    const std::string output = TempDir() + "/" + v.Name + "-r.pdf";
    std::filesystem::remove(output);
    EngineState state;
    state.SecurityJobState.OwnerPassword = v.Owner;
    std::vector<SecurityFileRecord> records{{path, output}};
    ASSERT_EQ(UnprotectFiles(state, records), kSecurityDone) << v.Name;
    const auto check = CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean) << v.Name << "\n" << check.Output;
    EXPECT_EQ(Show(output, "", "R"), "") << v.Name << ": no protection left";
    EXPECT_EQ(PdfText(output), PdfText(PlainPath(v))) << v.Name;
    EXPECT_NE(PdfText(output).find("Page 3"), std::string::npos) << v.Name;
  }
}

TEST(AesFiles, WrongPasswordsAndTheUserPasswordDoNotUnprotect) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  for (const Variant& v : kVariants) {
    const std::string path = Protect(v);
    for (const std::string& password : {std::string("wrong"), std::string(v.User)}) {
      const std::string output = TempDir() + "/" + v.Name + "-refused.pdf";
      std::filesystem::remove(output);
      EngineState state;
      state.SecurityJobState.OwnerPassword = password;
      std::vector<SecurityFileRecord> records{{path, output}};
      const int result = UnprotectFiles(state, records);
      EXPECT_TRUE(result == kSecurityPasswordFailed || result == kSecurityNotPermitted)
          << v.Name << " with '" << password << "' gave " << result;
      EXPECT_FALSE(std::filesystem::exists(output)) << v.Name;
    }
  }
}

TEST(AesFiles, ExtractAndMergeProtectAgainWithTheSameMethodAndPasswords) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  for (const Variant& v : kVariants) {
    const std::string path = Protect(v);
    const std::string extracted = TempDir() + "/" + v.Name + "-x.pdf";
    const std::string merged = TempDir() + "/" + v.Name + "-m.pdf";
    const auto extract = Folvex("extract --password " + Quoted(v.Owner) + " " + Quoted(path) + " 3,1 -o " + Quoted(extracted));
    ASSERT_EQ(extract.ExitCode, 0) << v.Name << extract.Output;
    const auto merge = Folvex("merge --password " + Quoted(v.Owner) + " " + Quoted(path) + " " + Quoted(path) + " -o " +
                              Quoted(merged));
    ASSERT_EQ(merge.ExitCode, 0) << v.Name << merge.Output;
    for (const std::string& output : {extracted, merged}) {
      for (const std::string& password : {std::string(v.User), std::string(v.Owner)}) {
        const auto check = CheckWithQpdf(output, password);
        EXPECT_TRUE(check.Clean) << v.Name << " " << output << " with '" << password << "'\n" << check.Output;
      }
      EXPECT_EQ(Show(output, v.Owner, "R"), v.Revision) << v.Name;
      EXPECT_EQ(Show(output, v.Owner, "P"), Show(path, v.Owner, "P")) << v.Name;
      for (const char* method : {"stream encryption method", "string encryption method"}) {
        EXPECT_EQ(ShownLine(output, v.Owner, method), ShownLine(path, v.Owner, method)) << v.Name;
        // qpdf names the methods of crypt filters only.
        if (std::string(v.Revision) != "3") {
          EXPECT_NE(ShownLine(output, v.Owner, method), "") << v.Name;
        }
      }
    }
    const std::string text = PdfText(extracted, v.User);
    EXPECT_LT(text.find("Page 3"), text.find("Page 1")) << v.Name << ": " << text;
    EXPECT_EQ(PdfText(merged, v.User), PdfText(PlainPath(v)) + PdfText(PlainPath(v))) << v.Name;
  }
}

TEST(AesFiles, SourceDateEpochGivesTheSameBytesAndRandomVectorsOtherwise) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const Variant v = kVariants[7];  // AES-256 with object streams
  const std::string path = Protect(v);
  auto extract = [&](const std::string& name, const std::string& environment) {
    const std::string output = TempDir() + "/" + name;
    const auto run = RunCommand(environment + " " + FOLVEX_CLI_PATH + " extract --password o " + Quoted(path) +
                                " - -o " + Quoted(output) + " 2>&1 </dev/null");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    return testing::ReadFile(output);
  };
  const std::string first = extract("epoch-1.pdf", "SOURCE_DATE_EPOCH=1700000000");
  const std::string second = extract("epoch-2.pdf", "SOURCE_DATE_EPOCH=1700000000");
  EXPECT_EQ(first, second);
  const std::string random1 = extract("random-1.pdf", "env -u SOURCE_DATE_EPOCH");
  const std::string random2 = extract("random-2.pdf", "env -u SOURCE_DATE_EPOCH");
  EXPECT_NE(random1, random2);
  EXPECT_TRUE(CheckWithQpdf(TempDir() + "/random-1.pdf", "u").Clean);
}

}  // namespace
}  // namespace folvex
