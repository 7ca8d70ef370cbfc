#include "engine/security/security_jobs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::CheckWithQpdf;
using testing::EncryptWithQpdf;
using testing::HaveTool;
using testing::PdfText;
using testing::ReadFile;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext"); }
bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// A job with a scripted password prompt that records how often it was asked.
struct Job {
  EngineState State;
  JobControl Control;
  std::vector<std::string> Answers;  // given in order; the prompt is declined when they run out
  int Asked = 0;
  std::vector<std::string> Labels;
  Job() {
    State.Control = &Control;
    Control.PasswordPrompt = [this](std::string& password) {
      if (Asked >= static_cast<int>(Answers.size())) {
        ++Asked;
        return false;
      }
      password = Answers[static_cast<std::size_t>(Asked++)];
      return true;
    };
    Control.ProgressSink = [this](int, const std::string& label) { Labels.push_back(label); };
  }
};

int Unprotect(Job& job, const std::string& input, const std::string& output, const std::string& password) {
  job.State.SecurityJobState.OwnerPassword = password;
  std::vector<SecurityFileRecord> records{{input, output}};
  const int result = UnprotectFiles(job.State, records);
  EXPECT_EQ(records[0].Result, result);
  return result;
}

// A plain file and copies of it protected by qpdf.
// A copy of the file at path with its first `from` replaced by `to` (of the same length).
std::string WithBytesReplaced(const std::string& path, const std::string& name, const std::string& from,
                              const std::string& to) {
  std::string bytes = ReadFile(path);
  const std::size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) bytes.replace(at, from.size(), to);
  return WriteTempFile(name, bytes);
}

struct Protected {
  std::string Plain;
  std::string Path;
};
Protected ProtectWithQpdf(const std::string& name, const std::string& user, const std::string& owner,
                          const std::string& arguments, const std::string& plain = SimplePdf(3)) {
  Protected files{WriteTempFile(name + "-plain.pdf", plain), TempDir() + "/" + name + ".pdf"};
  EXPECT_TRUE(EncryptWithQpdf(files.Plain, files.Path, user, owner, arguments)) << name;
  return files;
}

TEST(ProtectFiles, OutputsOpenInQpdfAndPdftotextWithTheChosenPermissions) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const std::string input = WriteTempFile("to-protect.pdf", SimplePdf(4));
  const struct {
    int Selection;
    std::string User, Owner;
    const char* Permissions;
  } cases[] = {{0, "user", "owner", "-3904"},
               {5, "u", "o", "-1324"},
               {15, "", "owner only", "-4"},
               {2, "same", "same", "-2872"}};
  for (const auto& test : cases) {
    Job job;
    job.State.SecurityJobState.OpenPassword = test.User;
    job.State.SecurityJobState.OwnerPassword = test.Owner;
    job.State.SecurityJobState.PermissionSelection = test.Selection;
    const std::string output = TempDir() + "/protected-" + std::to_string(test.Selection) + "-s.pdf";
    std::vector<SecurityFileRecord> records{{input, output}};
    ASSERT_EQ(ProtectFiles(job.State, records), kSecurityDone) << test.Selection;
    EXPECT_EQ(records[0].Result, kSecurityDone);

    const auto check = CheckWithQpdf(output, test.User);
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(PdfText(output, test.User), PdfText(input));
    EXPECT_EQ(testing::QpdfEncryptionValue(output, test.User, "R"), "3");
    EXPECT_EQ(testing::QpdfEncryptionValue(output, test.User, "P"), test.Permissions);
    const auto json = testing::RunCommand("qpdf --json --json-key=encrypt --password=" + testing::Quoted(test.User) +
                                          " " + testing::Quoted(output));
    EXPECT_NE(json.Output.find("\"bits\": 128"), std::string::npos) << json.Output;
    if (test.User.empty()) {
      EXPECT_EQ(PdfText(output), PdfText(input)) << "an empty user password opens without a password";
    } else {
      EXPECT_EQ(PdfText(output), "<failed>") << "the user password is needed";
    }
    EXPECT_EQ(job.Labels, (std::vector<std::string>{"Reading 1/1", "Analyzing 1/1", "Writing 1/1"}));
  }
}

TEST(UnprotectFiles, FilesProtectedByQpdfComeBackWithTheirText) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const struct {
    const char* Name;
    std::string User, Owner;
    const char* Arguments;
  } cases[] = {
      {"r2-40", "user", "owner", "40"},
      {"r3-128", "user", "owner", "128 --use-aes=n"},
      {"r3-128-no-modify", "user", "owner", "128 --use-aes=n --modify=none"},
      {"r2-40-no-modify", "user", "owner", "40 --modify=n"},
      {"r3-empty-user", "", "owner", "128 --use-aes=n"},
  };
  for (const auto& test : cases) {
    const Protected files = ProtectWithQpdf(std::string("qpdf-") + test.Name, test.User, test.Owner, test.Arguments);
    Job job;
    const std::string output = TempDir() + "/" + test.Name + "-r.pdf";
    ASSERT_EQ(Unprotect(job, files.Path, output, test.Owner), kSecurityDone) << test.Name;
    EXPECT_EQ(job.Asked, 0);
    const auto check = CheckWithQpdf(output);
    EXPECT_TRUE(check.Clean) << test.Name << "\n" << check.Output;
    EXPECT_NE(check.Output.find("File is not encrypted"), std::string::npos) << check.Output;
    EXPECT_EQ(PdfText(output), PdfText(files.Plain)) << test.Name;
    const std::string bytes = ReadFile(output);
    EXPECT_EQ(bytes.find("/Encrypt"), std::string::npos);
    EXPECT_EQ(bytes.find("/ID"), std::string::npos);
  }

  // The same with the dictionary written into the trailer itself.
  const Protected files = ProtectWithQpdf("qpdf-direct", "user", "owner", "128 --use-aes=n");
  std::string bytes = ReadFile(files.Path);
  std::smatch reference;
  ASSERT_TRUE(std::regex_search(bytes, reference, std::regex("/Encrypt (\\d+) 0 R")));
  const std::size_t object = bytes.find("\n" + reference[1].str() + " 0 obj");
  const std::size_t open = bytes.find("<<", object), close = bytes.find("endobj", object);
  ASSERT_NE(object, std::string::npos);
  const std::string dictionary = bytes.substr(open, bytes.rfind(">>", close) + 2 - open);
  bytes.replace(static_cast<std::size_t>(reference.position()), reference.length(), "/Encrypt " + dictionary);
  const std::string direct = WriteTempFile("qpdf-direct-dictionary.pdf", bytes);
  Job job;
  const std::string output = TempDir() + "/direct-r.pdf";
  ASSERT_EQ(Unprotect(job, direct, output, "owner"), kSecurityDone);
  EXPECT_TRUE(CheckWithQpdf(output).Clean);
  EXPECT_EQ(PdfText(output), PdfText(files.Plain));
}

// Each step of the password policy once, through the open sequence (extract and merge) and
// through UnprotectFiles (remove security).
TEST(Authenticate, PasswordPolicy) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const Protected open = ProtectWithQpdf("policy-open", "", "owner", "128 --use-aes=n");
  const Protected user = ProtectWithQpdf("policy-user", "user", "owner", "128 --use-aes=n");
  const Protected locked = ProtectWithQpdf("policy-locked", "user", "owner", "40 --modify=n");
  const Protected same = ProtectWithQpdf("policy-same", "same", "same", "40 --modify=n");
  const Protected emptyOwner = ProtectWithQpdf("policy-empty-owner", "reader", "", "128 --use-aes=n");
  const Protected bothEmpty = ProtectWithQpdf("policy-both-empty", "", "", "128 --use-aes=n");
  // qpdf stores passwords of these revisions in PDFDocEncoding; the UTF-8 form is tried in it too.
  const Protected latin = ProtectWithQpdf("policy-pdfdoc", "u", "p\xC3\xA4sswort", "128 --use-aes=n");
  const struct {
    const char* Name;
    std::string Path;
    bool Remove;  // remove security (PasswordDialogMode 1) or open for extract (0)
    std::string Remembered, Given;
    std::vector<std::string> Answers;
    int Result;
    int Asked;
  } cases[] = {
      {"empty user password opens at once", open.Path, false, "", "", {}, 3, 0},
      {"remembered password opens", user.Path, false, "user", "", {}, 3, 0},
      {"typed password opens and is remembered", user.Path, false, "", "", {"nope", "user"}, 3, 2},
      {"three wrong passwords", user.Path, false, "", "", {"a", "b", "c", "user"}, 4, 3},
      {"prompt declined", user.Path, false, "", "", {}, 4, 1},
      {"no modification: user password is refused", locked.Path, false, "user", "", {"user", "user", "user"}, 4, 3},
      {"no modification: owner password opens", locked.Path, false, "", "", {"owner"}, 3, 1},
      {"no modification: owner equals user", same.Path, false, "", "", {"same"}, 9, 1},
      {"remove: empty user needs the owner", open.Path, true, "", "", {"owner"}, 0, 1},
      {"remove: given owner password", user.Path, true, "", "owner", {}, 0, 0},
      {"remove: wrong given, then typed", user.Path, true, "", "user", {"owner"}, 0, 1},
      {"remove: typed owner equals user", same.Path, true, "", "", {"same"}, 9, 1},
      {"remove: given owner equals user", same.Path, true, "", "same", {"same"}, 9, 0},
      {"remove: empty owner password", emptyOwner.Path, true, "", "reader", {"reader"}, 9, 0},
      {"remove: both passwords empty", bothEmpty.Path, true, "", "", {""}, 9, 0},
      {"remove: UTF-8 owner password", latin.Path, true, "", "p\xC3\xA4sswort", {}, 0, 0},
      {"remove: declined", user.Path, true, "", "", {}, 4, 1},
  };
  for (const auto& test : cases) {
    Job job;
    job.Answers = test.Answers;
    job.State.SecurityJobState.RememberedPassword = test.Remembered;
    int result = 0;
    if (test.Remove) {
      const std::string output = TempDir() + "/policy-r.pdf";
      std::filesystem::remove(output);
      result = Unprotect(job, test.Path, output, test.Given);
      EXPECT_EQ(Exists(output), result == 0) << test.Name;
    } else {
      PrepareDocumentSlots(job.State, 1);
      result = OpenDocument(job.State, 0, test.Path, MakeDecryptDocument());
    }
    EXPECT_EQ(result, test.Result) << test.Name;
    EXPECT_EQ(job.Asked, test.Asked) << test.Name;
    if (test.Result != 4 && job.Asked > 0) {
      EXPECT_EQ(job.State.SecurityJobState.RememberedPassword, test.Answers[static_cast<std::size_t>(job.Asked - 1)]);
    }
  }
}

TEST(SecurityFiles, RefusalsWriteNothing) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const Protected aes128 = ProtectWithQpdf("aes-128", "u", "o", "128 --use-aes=y");
  const Protected aes256 = ProtectWithQpdf("aes-256", "u", "o", "256");
  const Protected rc4 = ProtectWithQpdf("already", "u", "o", "128 --use-aes=n");
  const std::string unknownMethod = WithBytesReplaced(aes128.Path, "aes-unknown-method.pdf", "/AESV2", "/AESV7");
  const std::string unknownRevision = WithBytesReplaced(aes256.Path, "aes-unknown-revision.pdf", "/R 6", "/R 7");
  // /P changed after protection: /Perms, under the file key, still holds the old value.
  const std::string changedPermissions = WithBytesReplaced(aes256.Path, "aes-changed-p.pdf", "/P -4", "/P -8");
  const std::string plain = WriteTempFile("not-protected.pdf", SimplePdf(2));
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
      {"unknown crypt filter method", unknownMethod, true, kSecurityUnsupported, SecurityRefusal::Aes},
      {"unknown aes revision", unknownRevision, true, kSecurityUnsupported, SecurityRefusal::Aes},
      {"/P differs from /Perms", changedPermissions, true, kSecurityUnsupported, SecurityRefusal::Unreadable},
      {"not protected", plain, true, kSecurityWrongState, SecurityRefusal::None},
      {"missing", TempDir() + "/absent.pdf", true, kSecurityInputMissing, SecurityRefusal::None},
      {"already protected", rc4.Path, false, kSecurityWrongState, SecurityRefusal::None},
      {"aes already protected", aes256.Path, false, kSecurityWrongState, SecurityRefusal::None},
      {"protect missing", TempDir() + "/absent.pdf", false, kSecurityInputMissing, SecurityRefusal::None},
      {"protect without catalog", WriteTempFile("no-catalog.pdf", noCatalog.Bytes()), false, kSecurityUnsupported,
       SecurityRefusal::None},
      {"protect text", WriteTempFile("notes.txt", "plain notes, nothing of PDF in here\n"), false, kSecurityUnsupported,
       SecurityRefusal::None},
  };
  for (const auto& test : cases) {
    Job job;
    job.State.SecurityJobState.OwnerPassword = "o";
    const std::string output = TempDir() + "/refused-out.pdf";
    std::vector<SecurityFileRecord> records{{test.Input, output}};
    const int result = test.Remove ? UnprotectFiles(job.State, records) : ProtectFiles(job.State, records);
    EXPECT_EQ(result, test.Result) << test.Name;
    EXPECT_EQ(records[0].Refusal, test.Refusal) << test.Name;
    EXPECT_FALSE(Exists(output)) << test.Name;
    EXPECT_EQ(job.Asked, 0) << test.Name;
  }
}

TEST(SecurityFiles, CancelInTheMiddleOfARun) {
  Job job;
  job.Control.ProgressSink = [&job](int, const std::string& label) {
    if (label == "Analyzing 2/3") job.Control.CancelFlag = 3;
  };
  std::vector<SecurityFileRecord> records;
  for (int k = 0; k < 3; ++k) {
    const std::string input = WriteTempFile("cancel-" + std::to_string(k) + ".pdf", SimplePdf(2));
    const std::string output = TempDir() + "/cancel-" + std::to_string(k) + "-s.pdf";
    std::filesystem::remove(output);
    records.push_back({input, output});
  }
  EXPECT_EQ(ProtectFiles(job.State, records), kSecurityJobCancelled);
  EXPECT_EQ(records[0].Result, kSecurityDone);
  EXPECT_EQ(records[1].Result, kSecurityNotHandled);
  EXPECT_EQ(records[2].Result, kSecurityNotHandled);
  EXPECT_TRUE(Exists(records[0].OutputPath));
  EXPECT_FALSE(Exists(records[1].OutputPath));
  EXPECT_FALSE(Exists(records[2].OutputPath));
  for (const auto& entry : std::filesystem::directory_iterator(TempDir())) {
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
  }
}

TEST(SecurityFiles, BackupAndFailedOutputs) {
  const std::string input = WriteTempFile("backup-in.pdf", SimplePdf(1));
  const std::string output = WriteTempFile("backup-in-s.pdf", "previous output");
  std::filesystem::remove(TempDir() + "/backup-in-s.bak");
  {
    Job job;
    job.State.SecurityJobState.FileBackUp = true;
    std::vector<SecurityFileRecord> records{{input, output}};
    EXPECT_EQ(ProtectFiles(job.State, records), kSecurityDone);
    EXPECT_EQ(job.State.SecurityJobState.BackupMade, 1);
    EXPECT_EQ(ReadFile(TempDir() + "/backup-in-s.bak"), "previous output");
    EXPECT_NE(ReadFile(output).find("/Encrypt"), std::string::npos);
  }
  {
    // Without backups the old output is replaced.
    WriteTempFile("backup-in-s.pdf", "second previous output");
    Job job;
    std::vector<SecurityFileRecord> records{{input, output}};
    EXPECT_EQ(ProtectFiles(job.State, records), kSecurityDone);
    EXPECT_EQ(job.State.SecurityJobState.BackupMade, 0);
    EXPECT_EQ(ReadFile(TempDir() + "/backup-in-s.bak"), "previous output");
  }
  {
    Job job;
    std::vector<SecurityFileRecord> records{{input, TempDir() + "/no-such-folder/out-s.pdf"}};
    EXPECT_EQ(ProtectFiles(job.State, records), kSecurityOutputFailed);
    EXPECT_FALSE(Exists(TempDir() + "/no-such-folder"));
  }
}

// The file key depends on the whole identifier: files whose /ID is not 16 bytes long open after
// unprotection, and keep opening when protected again with their own key (as extract and merge do).
TEST(SecurityFiles, IdentifiersOfAnyLengthRoundTrip) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  for (int idLength : {32, 8}) {
    std::string id;
    for (int k = 0; k < idLength; ++k) {
      id.push_back("0123456789abcdef"[(k * 7) % 16]);
      id.push_back("0123456789abcdef"[k % 16]);
    }
    std::string plain = SimplePdf(2);
    plain.replace(plain.rfind("trailer\n<<"), 10, "trailer\n<< /ID [<" + id + "><" + id + ">]");
    const std::string name = "id" + std::to_string(idLength);
    const Protected files = ProtectWithQpdf(name, "user", "owner", "128 --use-aes=n", plain);
    ASSERT_NE(ReadFile(files.Path).find("/ID [<" + id + ">"), std::string::npos) << "qpdf keeps the identifier";

    Job job;
    const std::string output = TempDir() + "/" + name + "-r.pdf";
    ASSERT_EQ(Unprotect(job, files.Path, output, "owner"), kSecurityDone) << idLength;
    EXPECT_TRUE(CheckWithQpdf(output).Clean);
    EXPECT_EQ(PdfText(output), PdfText(files.Plain));

    // Open with the user password, then protect an image with the input's key and parameters.
    Job reprotect;
    reprotect.State.SecurityJobState.RememberedPassword = "user";
    PrepareDocumentSlots(reprotect.State, 1);
    ASSERT_EQ(OpenDocument(reprotect.State, 0, files.Path, MakeDecryptDocument()), 2);
    ASSERT_EQ(reprotect.State.Security.FileId.size(), static_cast<std::size_t>(idLength));
    FileImage image = reprotect.State.Slots[0].Image;
    const std::vector<Byte> key = reprotect.State.Security.FileKey;
    ASSERT_EQ(ProtectImage(reprotect.State, "", key, 0, true, image, MakeSecurityWriter()), 0);
    const std::string again = TempDir() + "/" + name + "-again.pdf";
    std::ofstream(again, std::ios::binary).write(reinterpret_cast<const char*>(image.Begin()),
                                                 static_cast<std::streamsize>(image.Size()));
    const auto check = CheckWithQpdf(again, "user");
    EXPECT_TRUE(check.Clean) << check.Output;
    EXPECT_EQ(PdfText(again, "user"), PdfText(files.Plain));
    EXPECT_TRUE(CheckWithQpdf(again, "owner").Clean);
  }
}

// Binary stream data (with CR, LF and parentheses, ending in LF) survives protect and unprotect:
// the page renders the same.
TEST(SecurityFiles, RoundTripKeepsTheRendering) {
  if (!HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm is not installed";
  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 40 40] /Contents 4 0 R "
              "/Resources << /XObject << /Im1 5 0 R >> >> >>");
  w.Stream(4, "", "q 40 0 0 40 0 0 cm /Im1 Do Q");
  const std::string pixels("\r\n()\\\xFF\x00\x80\x10\x20\x0D\x0A", 12);
  w.Stream(5, "/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8", pixels);
  w.Finish("/Size 6 /Root 1 0 R");
  const std::string input = WriteTempFile("image.pdf", w.Bytes());
  const std::string protectedPath = TempDir() + "/image-s.pdf", plainPath = TempDir() + "/image-r.pdf";
  Job job;
  job.State.SecurityJobState.OpenPassword = "u";
  job.State.SecurityJobState.OwnerPassword = "o";
  std::vector<SecurityFileRecord> protect{{input, protectedPath}};
  ASSERT_EQ(ProtectFiles(job.State, protect), kSecurityDone);
  std::vector<SecurityFileRecord> unprotect{{protectedPath, plainPath}};
  ASSERT_EQ(UnprotectFiles(job.State, unprotect), kSecurityDone);
  auto render = [](const std::string& path, const std::string& password) {
    const std::string option = password.empty() ? "" : "-upw " + password + " ";
    return testing::RunCommand("pdftoppm -r 72 " + option + testing::Quoted(path) + " 2>/dev/null").Output;
  };
  const std::string original = render(input, "");
  ASSERT_FALSE(original.empty());
  EXPECT_EQ(render(protectedPath, "u"), original);
  EXPECT_EQ(render(plainPath, ""), original);
  EXPECT_NE(ReadFile(plainPath).find(pixels), std::string::npos);
}

TEST(SecurityFiles, SourceDateEpochGivesTheSameBytes) {
  const std::string input = WriteTempFile("epoch.pdf", SimplePdf(2));
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  std::string first, second;
  for (std::string* bytes : {&first, &second}) {
    Job job;
    job.State.SecurityJobState.OpenPassword = "u";
    const std::string output = TempDir() + "/epoch-s.pdf";
    std::vector<SecurityFileRecord> records{{input, output}};
    EXPECT_EQ(ProtectFiles(job.State, records), kSecurityDone);
    *bytes = ReadFile(output);
  }
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(first, second);
  EXPECT_NE(first.find("/ID [<"), std::string::npos);
}

TEST(UnprotectFiles, DamagedProtectedFileIsRepairedFirst) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext is not installed";
  const Protected files = ProtectWithQpdf("damaged", "", "owner", "128 --use-aes=n");
  std::string bytes = ReadFile(files.Path);
  // Without its table the file shows /Encrypt only once repaired.
  const std::size_t xref = bytes.rfind("\nxref");
  ASSERT_NE(xref, std::string::npos);
  const std::string trailer = bytes.substr(bytes.find("trailer", xref));
  bytes = bytes.substr(0, xref + 1) + trailer.substr(0, trailer.find("startxref")) + "%%EOF\n";
  const std::string damaged = WriteTempFile("damaged-protected.pdf", bytes);
  Job job;
  const std::string output = TempDir() + "/damaged-r.pdf";
  ASSERT_EQ(Unprotect(job, damaged, output, "owner"), kSecurityDone);
  EXPECT_TRUE(CheckWithQpdf(output).Clean);
  EXPECT_EQ(PdfText(output), PdfText(files.Plain));
}

}  // namespace
}  // namespace folvex
