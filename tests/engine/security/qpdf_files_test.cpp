// Files protected by qpdf with every method it offers (RC4 40 and 128 bits, RC4 and AES-128 through
// crypt filters, AES-256 revisions 5 and 6), with and without object streams: counted,
// unprotected, refused with the wrong passwords, and protected again alike by extract and merge;
// security jobs of several files; and the protected files of the real-world corpus, counted and
// unprotected.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "engine/security/security_jobs.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::CheckWithQpdf;
using testing::PdfText;
using testing::Quoted;
using testing::TempDir;
using testing::WriteTempFile;

const std::string kXmp = "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">Metadata kept</x:xmpmeta>";

// Three pages, "Page 1" to "Page 3", with an XMP metadata stream, and an identifier of idLength
// bytes when it is not 0.
std::string PlainSource(int idLength) {
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Metadata 3 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [4 0 R 6 0 R 8 0 R] /Count 3 /MediaBox [0 0 612 792] "
              "/Resources << /Font << /F1 10 0 R >> >> >>");
  w.Stream(3, "/Type /Metadata /Subtype /XML", kXmp);
  for (int i = 0; i < 3; ++i) {
    w.Object(4 + 2 * i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(5 + 2 * i) + " 0 R >>");
    w.Stream(5 + 2 * i, "", "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET");
  }
  w.Object(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  std::string id;
  for (int k = 0; k < idLength; ++k) id += {"0123456789abcdef"[(k * 7) % 16], "0123456789abcdef"[k % 16]};
  w.Finish("/Size 11 /Root 1 0 R" + (id.empty() ? "" : " /ID [<" + id + "><" + id + ">]"));
  return w.Bytes();
}

// The revision, permissions and methods qpdf shows for a protected file.
std::string Protection(const std::string& path, const std::string& password) {
  const std::string shown =
      testing::RunCommand("qpdf --show-encryption --password=" + Quoted(password) + " " + Quoted(path) + " 2>/dev/null").Output;
  static const std::regex line("(^|\n)((R|P) = [^\n]*|str[a-z]+ encryption method: [^\n]*)");
  std::string lines;
  for (auto it = std::sregex_iterator(shown.begin(), shown.end(), line); it != std::sregex_iterator(); ++it) {
    lines += (*it)[2].str() + "\n";
  }
  return lines;
}

// UnprotectFiles for one file, in a fresh state.
int Unprotect(const std::string& input, const std::string& output, const std::string& password) {
  std::filesystem::remove(output);
  EngineState state;
  state.SecurityJobState.OwnerPassword = password;
  std::vector<SecurityFileRecord> records{{input, output}};
  const int result = UnprotectFiles(state, records);
  EXPECT_EQ(records[0].Result, result);
  return result;
}

// A copy of the file at path with its first `from` replaced by `to` (of the same length).
std::string WithBytesReplaced(const std::string& path, const std::string& name, const std::string& from,
                              const std::string& to) {
  std::string bytes = testing::ReadFile(path);
  EXPECT_NE(bytes.find(from), std::string::npos) << from;
  if (bytes.find(from) != std::string::npos) bytes.replace(bytes.find(from), from.size(), to);
  return WriteTempFile(name, bytes);
}

TEST(QpdfFiles, CountedUnprotectedRefusedAndProtectedAgainAlike) {
  if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or pdftotext is missing";
  const struct {
    const char* Name;
    const char* User;
    const char* Owner;
    const char* Encrypt;  // qpdf's key length and options
    bool ObjectStreams;
    int IdLength = 0;  // of the plain source's /ID; 0: the one qpdf makes
    const char* EncryptLength = nullptr;  // in place of the 128 qpdf gives /Encrypt's /Length
  } variants[] = {
      {"r2", "user", "owner", "40 --modify=n", false},
      {"r3-id32", "user", "owner", "128 --use-aes=n", false, 32},
      {"r3-id8-streams", "", "owner", "128 --use-aes=n --modify=none", true, 8},
      // qpdf stores passwords of these revisions in PDFDocEncoding; the UTF-8 form is tried in it too.
      {"r3-pdfdoc-owner", "user", "p\xC3\xA4sswort", "128 --use-aes=n", false},
      {"aes128", "u", "o", "128 --use-aes=y", false},
      {"aes128-open-restricted", "", "o", "128 --use-aes=y --print=none --modify=none --extract=n", true},
      {"aes128-plain-metadata", "u", "o", "128 --use-aes=y --cleartext-metadata", false},
      // AES-128 keys are 16 bytes, whatever /Length says.
      {"aes128-length-40", "u", "o", "128 --use-aes=y", false, 0, "40 "},
      {"rc4-crypt-filters", "u", "o", "128 --use-aes=n --force-V4", true},
      {"aes256-streams", "u", "o", "256", true},
      {"aes256-open-restricted", "", "o", "256 --print=none --modify=none --extract=n", false},
      {"aes256-utf8-plain-metadata", "\xC3\xA4u", "\xC3\xB6o", "256 --cleartext-metadata", true},
      {"aes256-r5", "u", "o", "256 --force-R5", true},
  };
  for (const auto& v : variants) {
    SCOPED_TRACE(v.Name);
    const std::string plain = WriteTempFile(std::string(v.Name) + "-plain.pdf", PlainSource(v.IdLength));
    const std::string path = TempDir() + "/" + v.Name + ".pdf";
    // qpdf takes the object stream option after the "--" that ends the encryption options.
    const std::string streams = v.ObjectStreams ? " -- --object-streams=generate" : " -- --object-streams=disable";
    ASSERT_TRUE(testing::EncryptWithQpdf(plain, path, v.User, v.Owner, v.Encrypt + streams));
    EXPECT_EQ(testing::ReadFile(path).find(kXmp) != std::string::npos, std::string(v.Encrypt).ends_with("metadata"));
    if (v.EncryptLength != nullptr) {
      WithBytesReplaced(path, std::string(v.Name) + ".pdf", "/Filter /Standard /Length 128",
                        "/Filter /Standard /Length " + std::string(v.EncryptLength));
    }

    // Counted when the empty password opens it or its table is classic.
    EngineState counting;
    EXPECT_EQ(CountPages(counting, path, MakeCountDecryption()), *v.User == 0 || !v.ObjectStreams ? 3 : -1);
    EXPECT_TRUE(counting.EncryptRef.has_value());

    // Unprotected with the owner password only; the metadata comes out as the source had it.
    const std::string output = TempDir() + "/" + v.Name + "-r.pdf";
    for (const std::string& password : {std::string("wrong"), std::string(v.User)}) {
      const int result = Unprotect(path, output, password);
      EXPECT_TRUE(result == kSecurityPasswordFailed || result == kSecurityNotPermitted) << password << ": " << result;
      EXPECT_FALSE(std::filesystem::exists(output));
    }
    ASSERT_EQ(Unprotect(path, output, v.Owner), kSecurityDone);
    const auto check = CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean && check.Output.find("File is not encrypted") != std::string::npos) << check.Output.substr(0, 500);
    EXPECT_EQ(PdfText(output), PdfText(plain));
    const std::string uncompressed = "qpdf --stream-data=uncompress --object-streams=disable " + Quoted(output) + " -";
    EXPECT_NE(testing::RunCommand(uncompressed).Output.find(kXmp), std::string::npos);
    // Extract and merge take the user password unless modification is not allowed, and the owner
    // password always; they write copies protected with the same method, permissions and passwords.
    const std::string extracted = TempDir() + "/" + v.Name + "-x.pdf", merged = TempDir() + "/" + v.Name + "-m.pdf";
    const bool restricted = std::string(v.Encrypt).find("--modify=n") != std::string::npos;
    const auto byUser = testing::Folvex("extract --password " + Quoted(v.User) + " " + Quoted(path) + " 2 -o " + Quoted(extracted));
    EXPECT_EQ(byUser.ExitCode == 0, !restricted) << byUser.Output;
    const std::string password = "--password " + Quoted(v.Owner) + " " + Quoted(path);
    ASSERT_EQ(testing::Folvex("extract " + password + " 3,1 -o " + Quoted(extracted)).ExitCode, 0);
    ASSERT_EQ(testing::Folvex("merge " + password + " " + Quoted(path) + " -o " + Quoted(merged)).ExitCode, 0);
    for (const std::string& copy : {extracted, merged}) {
      for (const char* opening : {v.User, v.Owner}) {
        const auto copyCheck = CheckWithQpdf(copy, opening);
        EXPECT_TRUE(copyCheck.Clean) << copy << " with '" << opening << "'\n" << copyCheck.Output.substr(0, 500);
      }
      EXPECT_EQ(Protection(copy, v.Owner), Protection(path, v.Owner));
    }
    EXPECT_EQ(PdfText(extracted, v.User), testing::PageText(plain, 3) + testing::PageText(plain, 1));
    EXPECT_EQ(PdfText(merged, v.User), PdfText(plain) + PdfText(plain));
  }
}

// Every refusal in one job of several files: each record tells its result and reason, nothing is
// written for them, no password is asked, and the job reports the first failure, whatever follows.
TEST(SecurityJobs, RefusalsWriteNothingAndTheJobReportsTheFirst) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string plain = WriteTempFile("jobs-plain.pdf", testing::SimplePdf(2));
  const std::string aes128 = TempDir() + "/jobs-aes128.pdf", aes256 = TempDir() + "/jobs-aes256.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, aes128, "u", "o", "128 --use-aes=y"));
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, aes256, "u", "o", "256"));
  testing::PdfWriter noCatalog;
  noCatalog.Object(1, "<< /Type /Pages /Kids [] /Count 0 >>");
  noCatalog.Finish("/Root 5 0 R");
  const struct {
    const char* Name;
    std::string Input;
    bool Remove;
    int Result;
    SecurityRefusal Refusal;
  } cases[] = {
      // A revision of AES that does not exist, a file without protection and one protected already
      // are refused by the commands' tests.
      {"unknown crypt filter method", WithBytesReplaced(aes128, "jobs-method.pdf", "/AESV2", "/AESV7"), true,
       kSecurityUnsupported, SecurityRefusal::Aes},
      // /P changed after protection: /Perms, under the file key, still holds the old value.
      {"/P differs from /Perms", WithBytesReplaced(aes256, "jobs-p.pdf", "/P -4", "/P -8"), true, kSecurityUnsupported,
       SecurityRefusal::Unreadable},
      {"missing", TempDir() + "/absent.pdf", true, kSecurityInputMissing, SecurityRefusal::None},
      {"without catalog", WriteTempFile("jobs-no-catalog.pdf", noCatalog.Bytes()), false, kSecurityUnsupported,
       SecurityRefusal::None},
      {"text", WriteTempFile("notes.txt", "plain notes, nothing of PDF in here\n"), false, kSecurityUnsupported,
       SecurityRefusal::None},
  };
  for (bool remove : {true, false}) {
    std::vector<SecurityFileRecord> records;
    for (const auto& c : cases) {
      if (c.Remove == remove) records.push_back({c.Input, TempDir() + "/refused-" + std::to_string(records.size()) + ".pdf"});
    }
    EngineState state;
    JobControl control;
    state.Control = &control;
    control.PasswordPrompt = [](std::string&) { return ADD_FAILURE() << "a password was asked", false; };
    state.SecurityJobState.OwnerPassword = "o";
    const int result = remove ? UnprotectFiles(state, records) : ProtectFiles(state, records);
    EXPECT_EQ(result, records[0].Result);
    std::size_t k = 0;
    for (const auto& c : cases) {
      if (c.Remove != remove) continue;
      SCOPED_TRACE(c.Name);
      EXPECT_EQ(records[k].Result, c.Result);
      EXPECT_EQ(records[k].Refusal, c.Refusal);
      EXPECT_FALSE(std::filesystem::exists(records[k++].OutputPath));
    }
  }
}

// The old output becomes the backup when asked, and is simply replaced otherwise; an output that
// cannot be created fails its file and creates nothing.
TEST(SecurityJobs, BackupAndFailedOutputs) {
  const std::string input = WriteTempFile("backup-in.pdf", testing::SimplePdf(1));
  const std::string output = WriteTempFile("backup-in-s.pdf", "previous output"), backup = TempDir() + "/backup-in-s.bak";
  std::filesystem::remove(backup);
  for (bool keep : {true, false}) {
    EngineState state;
    state.SecurityJobState.FileBackUp = keep;
    std::vector<SecurityFileRecord> records{{input, output}};
    EXPECT_EQ(ProtectFiles(state, records), kSecurityDone);
    EXPECT_EQ(state.SecurityJobState.BackupMade, keep ? 1 : 0);
    EXPECT_EQ(testing::ReadFile(backup), "previous output");
    EXPECT_NE(testing::ReadFile(output).find("/Encrypt"), std::string::npos);
  }
  EngineState state;
  std::vector<SecurityFileRecord> records{{input, TempDir() + "/no-such-folder/out-s.pdf"}};
  EXPECT_EQ(ProtectFiles(state, records), kSecurityOutputFailed);
  EXPECT_FALSE(std::filesystem::exists(TempDir() + "/no-such-folder"));
}

// Every protected file that qpdf reads without a warning is counted as the outside readers count
// it, with the empty password or the recorded one (never asked for), in any method we handle;
// this includes an AES-128 crypt filter whose /Length gives 16 where bits belong (pypdf's
// r4-aes-v2-no-key-length). Files of classic tables are counted even without their password.
// Then every protected file is unprotected with its owner password: only a distinct owner
// password removes the protection, and the copy has the pages of the original.
TEST(RealWorldSecurity, ProtectedFilesCountedAndUnprotectedWithTheirOwnerPassword) {
  if (!std::filesystem::exists(testing::RealWorldDir() + "/../expected.json")) GTEST_SKIP() << "no real-world corpus";
  if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo is missing";
  int counted = 0, written = 0, distinctOwner = 0;
  bool noKeyLength = false;
  // The records of the outside readers' answers beside the corpus, one per file.
  const std::string json = testing::ReadFile(testing::RealWorldDir() + "/../expected.json"), key = "\"file\": \"";
  for (std::size_t at = json.find(key), next; at != std::string::npos; at = next) {
    next = json.find(key, at + 1);
    const std::string record = json.substr(at, next == std::string::npos ? next : next - at);
    if (record.find("\"encrypted\": true") == std::string::npos) continue;
    const std::string name = record.substr(key.size(), record.find('"', key.size()) - key.size());
    SCOPED_TRACE(name);
    const std::string input = testing::RealWorldDir() + "/" + name;
    std::smatch match;
    // The pages the outside readers agree on, when they do and qpdf does not warn about the file.
    const bool countable = std::regex_search(record, match, std::regex("\"expected\": \\{[^}]*\"pages\": ([0-9]+)"));
    const int expectedPages = countable ? std::stoi(match[1].str()) : -1;
    std::string password = std::regex_search(record, match, std::regex("\"password\": \"([^\"]*)\"")) ? match[1].str() : "";
    if (countable && record.find("\"warnings\": true") == std::string::npos) {
      EngineState state;
      state.SecurityJobState.RememberedPassword = password;
      const int pages = CountPages(state, input, MakeCountDecryption());
      EXPECT_EQ(pages, expectedPages) << "error " << state.LastErrorCode;
      EXPECT_TRUE(state.EncryptRef.has_value());
      counted += pages == expectedPages;
      noKeyLength |= name == "pypdf__r4-aes-v2-no-key-length.pdf";
    }
    // qpdf's fixtures name their owner password: enc-R2_V1_U_view_O_master.pdf.
    if (std::regex_search(name, match, std::regex("_O_([a-z]+)\\.pdf$"))) password = match[1].str();
    const std::string shown = testing::RunCommand("qpdf --show-encryption --password=" + Quoted(password) +
                                                  " " + Quoted(input) + " 2>/dev/null").Output;
    // An owner password whose first 32 bytes are the user password is the same password.
    const bool ownerOnly = std::regex_search(shown, std::regex("R = [2-6]\n")) &&
                           shown.find("Supplied password is owner password") != std::string::npos &&
                           shown.find("Supplied password is user password") == std::string::npos &&
                           shown.find("User password = " + password.substr(0, 32) + "\n") == std::string::npos;
    const std::string output = TempDir() + "/realworld-r.pdf";
    const int result = Unprotect(input, output, password);
    const std::set<int> known{kSecurityDone, kSecurityPasswordFailed, kSecurityWrongState, kSecurityUnsupported,
                              kSecurityNotPermitted, kSecurityFailed};
    EXPECT_TRUE(known.count(result)) << result;
    EXPECT_EQ(std::filesystem::exists(output), result == kSecurityDone);
    distinctOwner += ownerOnly;
    if (ownerOnly) {
      EXPECT_EQ(result, kSecurityDone);
    }
    if (result == kSecurityDone) {
      ++written;
      const auto check = CheckWithQpdf(output);
      EXPECT_TRUE(check.Clean) << check.Output.substr(0, 500);
      if (countable) {
        EXPECT_EQ(testing::PdfinfoPages(output), expectedPages);
      }
    }
  }
  EXPECT_GT(counted, 60);
  EXPECT_TRUE(noKeyLength) << "pypdf__r4-aes-v2-no-key-length.pdf was not counted";
  EXPECT_GT(distinctOwner, 0) << "the corpus has files with a distinct owner password";
  EXPECT_EQ(written, distinctOwner) << "only a distinct owner password removes protection";
}

}  // namespace
}  // namespace folvex
