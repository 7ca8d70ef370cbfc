// folvex protect and folvex unprotect, judged by qpdf and pdftotext.
#include "app/jobs/output_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Folvex;
using testing::HaveTool;
using testing::PdfText;
using testing::Quoted;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

bool HaveOracles() { return HaveTool("qpdf") && HaveTool("pdftotext"); }

TEST(SecurityOutputPath, NamesBesideTheInputOrInTheFolder) {
  struct Case {
    const char* Input;
    const char* Folder;
    const char* Expected;
  };
  for (const Case& c : {Case{"/a/b/report.pdf", "", "/a/b/report-s.pdf"}, Case{"REPORT.PDF", "", "REPORT-s.pdf"},
                        Case{"notes", "", "notes-s.pdf"}, Case{"/a/b/report.pdf", "/out", "/out/report-s.pdf"},
                        Case{"/a/b/report.pdf", "/out/", "/out/report-s.pdf"},
                        Case{"C:\\docs\\report.pdf", "D:\\out", "D:\\out\\report-s.pdf"}}) {
    EXPECT_EQ(SecurityOutputPath(c.Input, c.Folder, "-s.pdf"), c.Expected) << c.Input;
  }
}

TEST(ProtectCommand, CopiesOpenWithTheirPasswordsAndPermissions) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string input = WriteTempFile("cli-protect.pdf", SimplePdf(3));
  testing::CommandResult run =
      Folvex("protect " + Quoted(input) + " --user-password user --owner-password owner --allow print,modify");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string output = TempDir() + "/cli-protect-s.pdf";
  EXPECT_NE(run.Output.find("Done"), std::string::npos);
  const std::string shown = RunCommand("qpdf --show-encryption --password=owner " + Quoted(output)).Output;
  EXPECT_NE(shown.find("R = 3"), std::string::npos) << shown;
  EXPECT_NE(shown.find("P = -820"), std::string::npos) << shown;  // -3904 + print (4, 2048) + modify (8, 1024)
  testing::CommandResult check = RunCommand("qpdf --check --password=user " + Quoted(output) + " 2>&1");
  EXPECT_EQ(check.ExitCode, 0) << check.Output;
  EXPECT_EQ(PdfText(output, "user"), PdfText(input));
  EXPECT_NE(PdfText(output, "user").find("Page 3"), std::string::npos);

  // Again: the input is kept, the protected copy refuses to be protected twice.
  testing::CommandResult twice = Folvex("protect " + Quoted(output) + " --user-password u --owner-password o");
  EXPECT_EQ(twice.ExitCode, 9) << twice.Output;
  EXPECT_FALSE(std::filesystem::exists(TempDir() + "/cli-protect-s-s.pdf"));
}

TEST(ProtectCommand, Aes256CopiesAreRevisionSixWithTheChosenPermissions) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string input = WriteTempFile("cli-aes.pdf", SimplePdf(3));
  const std::string output = TempDir() + "/cli-aes-s.pdf";
  const struct {
    const char* Name;
    std::string User, Owner, Allow;
    const char* Permissions;
  } cases[] = {
      {"print and modify", "user", "owner", "--allow print,modify", "-820"},
      {"nothing allowed", "user", "owner", "", "-3904"},
      {"empty user password", "", "owner", "--allow copy", "-3376"},
      {"utf-8 passwords", "p\u00E4ss", "\u00F6wner", "--allow annotate", "-3616"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(output);
    testing::CommandResult run = Folvex("protect --aes256 " + Quoted(input) + " --user-password " + Quoted(c.User) +
                                        " --owner-password " + Quoted(c.Owner) + " " + c.Allow);
    ASSERT_EQ(run.ExitCode, 0) << c.Name << run.Output;
    const std::string shown = RunCommand("qpdf --show-encryption --password=" + Quoted(c.Owner) + " " + Quoted(output)).Output;
    EXPECT_NE(shown.find("R = 6"), std::string::npos) << c.Name << shown;
    EXPECT_NE(shown.find("stream encryption method: AESv3"), std::string::npos) << c.Name << shown;
    EXPECT_NE(shown.find(std::string("P = ") + c.Permissions + "\n"), std::string::npos) << c.Name << shown;
    EXPECT_NE(shown.find("Supplied password is owner password"), std::string::npos) << c.Name << shown;
    for (const std::string& password : {c.User, c.Owner}) {
      testing::CommandResult check = RunCommand("qpdf --check --password=" + Quoted(password) + " " + Quoted(output) + " 2>&1");
      EXPECT_EQ(check.ExitCode, 0) << c.Name << check.Output;
    }
    EXPECT_EQ(PdfText(output, c.User), PdfText(input)) << c.Name;
    // Folvex opens its own output again with the owner password.
    testing::CommandResult back = Folvex("unprotect " + Quoted(output) + " --password " + Quoted(c.Owner));
    EXPECT_EQ(back.ExitCode, 0) << c.Name << back.Output;
    EXPECT_EQ(PdfText(TempDir() + "/cli-aes-s-r.pdf"), PdfText(input)) << c.Name;
  }
  // Without the option the copy is RC4 revision 3 as before.
  std::filesystem::remove(output);
  ASSERT_EQ(Folvex("protect " + Quoted(input) + " --user-password u --owner-password o").ExitCode, 0);
  EXPECT_NE(RunCommand("qpdf --show-encryption --password=o " + Quoted(output)).Output.find("R = 3"), std::string::npos);
}

TEST(ProtectCommand, EqualPasswordsNeedConsent) {
  const std::string input = WriteTempFile("cli-same.pdf", SimplePdf(1));
  const std::string output = TempDir() + "/cli-same-s.pdf";
  std::filesystem::remove(output);
  testing::CommandResult refused = Folvex("protect " + Quoted(input) + " --user-password pw --owner-password pw");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Output.find("Owner Password is Not setting."), std::string::npos) << refused.Output;
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(Folvex("protect " + Quoted(input) + " --user-password pw --owner-password pw --same-passwords-ok").ExitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(output));
  // Its owner password equals its user password: the protection may not be removed.
  testing::CommandResult removal = Folvex("unprotect " + Quoted(output) + " --password pw");
  EXPECT_EQ(removal.ExitCode, 8) << removal.Output;
  EXPECT_NE(removal.Output.find("File is Not Permitted"), std::string::npos);
}

TEST(UnprotectCommand, FilesProtectedByQpdfComeBackWhole) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string input = WriteTempFile("cli-plain.pdf", SimplePdf(4));
  const std::string dir = TempDir() + "/cli-unprotected";
  std::filesystem::create_directories(dir);
  const std::string passwordFile = WriteTempFile("cli-password.txt", "owner pw\nsecond line\n");
  struct Case {
    const char* Name;
    const char* Encrypt;
    const char* PasswordOption;
  };
  for (const Case& c : {Case{"cli-r2.pdf", "user 'owner pw' 40", "--password 'owner pw'"},
                        Case{"cli-r3.pdf", "'' 'owner pw' 128 --use-aes=n --modify=none", "--password-file"},
                        Case{"cli-r3-empty.pdf", "'' 'owner pw' 128 --use-aes=n", "--password 'owner pw'"}}) {
    const std::string protectedPath = TempDir() + "/" + c.Name;
    ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --encrypt " + std::string(c.Encrypt) + " -- " + Quoted(input) + " " +
                         Quoted(protectedPath))
                  .ExitCode,
              0);
    const std::string option =
        std::string(c.PasswordOption) == "--password-file" ? "--password-file " + Quoted(passwordFile) : c.PasswordOption;
    testing::CommandResult run = Folvex("unprotect " + Quoted(protectedPath) + " " + option + " --output-dir " + Quoted(dir));
    ASSERT_EQ(run.ExitCode, 0) << c.Name << run.Output;
    const std::string output = dir + "/" + std::string(c.Name).substr(0, std::string(c.Name).size() - 4) + "-r.pdf";
    testing::CommandResult check = RunCommand("qpdf --check " + Quoted(output) + " 2>&1");
    EXPECT_EQ(check.ExitCode, 0) << c.Name << check.Output;
    EXPECT_EQ(RunCommand("qpdf --show-encryption " + Quoted(output)).Output.find("R = "), std::string::npos) << c.Name;
    EXPECT_EQ(PdfText(output), PdfText(input)) << c.Name;
  }
}

TEST(UnprotectCommand, FailuresHaveTheirStatusAndWriteNothing) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string input = WriteTempFile("cli-fail.pdf", SimplePdf(2));
  const std::string rc4 = TempDir() + "/cli-fail-rc4.pdf";
  const std::string dir = TempDir();
  ASSERT_EQ(RunCommand("qpdf --allow-weak-crypto --encrypt u o 128 --use-aes=n -- " + Quoted(input) + " " + Quoted(rc4)).ExitCode, 0);
  ASSERT_EQ(RunCommand("qpdf --encrypt u o 256 -- " + Quoted(input) + " " + Quoted(dir + "/cli-aes-r6.pdf")).ExitCode, 0);
  // A revision of AES protection that does not exist.
  std::string bytes = testing::ReadFile(dir + "/cli-aes-r6.pdf");
  ASSERT_NE(bytes.find("/R 6"), std::string::npos);
  bytes.replace(bytes.find("/R 6"), 4, "/R 7");
  const std::string aes = WriteTempFile("cli-fail-aes.pdf", bytes);
  struct Case {
    std::string Arguments;
    int Status;
    const char* Says;
    std::string Unwritten;
  };
  for (const Case& c : {Case{Quoted(rc4) + " --password wrong", 6, "does not open", dir + "/cli-fail-rc4-r.pdf"},
                        Case{Quoted(rc4), 6, "A password is needed", dir + "/cli-fail-rc4-r.pdf"},
                        Case{Quoted(aes) + " --password o", 3, "revision of AES", dir + "/cli-fail-aes-r.pdf"},
                        Case{Quoted(input) + " --password o", 9, "File is Not Encrypted", dir + "/cli-fail-r.pdf"},
                        Case{Quoted(dir + "/absent.pdf") + " --password o", 2, "File Not Found", dir + "/absent-r.pdf"},
                        Case{Quoted(rc4) + " --password-file " + Quoted(dir + "/no-such-file"), 6, "cannot be read",
                             dir + "/cli-fail-rc4-r.pdf"}}) {
    std::filesystem::remove(c.Unwritten);
    testing::CommandResult run = Folvex("unprotect " + c.Arguments);
    EXPECT_EQ(run.ExitCode, c.Status) << c.Arguments << "\n" << run.Output;
    EXPECT_NE(run.Output.find(c.Says), std::string::npos) << c.Arguments << "\n" << run.Output;
    EXPECT_FALSE(std::filesystem::exists(c.Unwritten)) << c.Arguments;
    EXPECT_FALSE(std::filesystem::exists(c.Unwritten + ".part")) << c.Arguments;
  }
  // Several files: one message for all, the worst status.
  testing::CommandResult several = Folvex("unprotect " + Quoted(rc4) + " " + Quoted(input) + " --password o");
  EXPECT_EQ(several.ExitCode, 9) << several.Output;
  EXPECT_NE(several.Output.find("Some Files are Not Encrypted"), std::string::npos) << several.Output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/cli-fail-rc4-r.pdf"));
  // Two failures: the message is the first file's, the status the worst.
  for (const auto& [first, second, says] : {std::tuple{Quoted(dir + "/absent.pdf"), Quoted(input), "Some Files Not Found"},
                                            std::tuple{Quoted(input), Quoted(dir + "/absent.pdf"), "Some Files are Not Encrypted"}}) {
    several = Folvex("unprotect " + first + " " + second + " --password o");
    EXPECT_EQ(several.ExitCode, 9) << several.Output;
    EXPECT_EQ(several.Output.substr(several.Output.rfind('\n', several.Output.size() - 2) + 1), std::string(says) + "\n");
  }
}

}  // namespace
}  // namespace folvex
