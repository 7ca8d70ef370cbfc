// AES-256 passwords are their UTF-8 bytes as typed: files qpdf protects open in folvex, and files
// folvex protects open in qpdf, pdfinfo and mutool, each given the same typed password.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::CheckWithQpdf;
using testing::Folvex;
using testing::HaveTool;
using testing::PdfText;
using testing::Quoted;
using testing::RunCommand;
using testing::TempDir;

bool HaveOracles() {
  return HaveTool("qpdf") && HaveTool("pdfinfo") && HaveTool("pdftotext") && HaveTool("mutool");
}

const std::string kSample = std::string(FOLVEX_SOURCE_DIR) + "/samples/three-pages.pdf";

// The poppler utilities keep at most 32 bytes of a password argument.
constexpr std::size_t kPopplerLongest = 32;

struct Password {
  const char* Name;
  std::string User;
  std::string Owner() const { return "#" + User; }
};

const Password kPasswords[] = {
    {"halfwidth katakana", "\uFF76\uFF9E\uFF72\uFF84\uFF9E"},
    {"square word", "\u3300"},
    {"mathematical bold", "\U0001D400\U0001D401"},
    {"parenthesised ideograph", "\u3231"},
    {"precomposed", "p\u00E4ssw\u00F6rd"},
    {"combining marks", "pa\u0308sswo\u0308rd"},
    {"greek", "\u03BA\u03C9\u03B4\u03B9\u03BA\u03CC\u03C2"},
    {"cyrillic", "\u043F\u0430\u0440\u043E\u043B\u044C"},
    {"arabic", "\u0643\u0644\u0645\u0629 \u0627\u0644\u0633\u0631"},
    {"chinese", "\u5BC6\u7801"},
    {"emoji", "\U0001F511\U0001F408"},
    {"130 bytes, cut to 127 inside a character", std::string(126, 'x') + "\u00E4bc"},
};

bool Succeeds(const std::string& command) { return RunCommand(command + " >/dev/null 2>&1").ExitCode == 0; }

// Folvex opens path with the user password (extracting every page into a copy protected alike)
// and with the owner password (removing the protection from the file and from that copy); both
// show the sample's text.
void ExpectFolvexOpens(const std::string& path, const std::string& user, const std::string& owner, const char* name) {
  const std::string stem = path.substr(0, path.size() - 4);
  for (const std::string& output : {stem + "-pages.pdf", stem + "-pages-r.pdf", stem + "-r.pdf"}) {
    std::filesystem::remove(output);
  }
  const testing::CommandResult extract =
      Folvex("extract " + Quoted(path) + " - -o " + Quoted(stem + "-pages.pdf") + " --password " + Quoted(user));
  EXPECT_EQ(extract.ExitCode, 0) << name << " " << user << "\n" << extract.Output;
  for (const std::string& input : {path, stem + "-pages.pdf"}) {
    const testing::CommandResult unprotect = Folvex("unprotect " + Quoted(input) + " --password " + Quoted(owner));
    EXPECT_EQ(unprotect.ExitCode, 0) << name << " " << owner << "\n" << unprotect.Output;
  }
  for (const std::string& output : {stem + "-r.pdf", stem + "-pages-r.pdf"}) {
    EXPECT_EQ(PdfText(output), PdfText(kSample)) << name << " " << output;
  }
}

TEST(Aes256Passwords, FilesQpdfProtectsOpenWithThePasswordAsTyped) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler utilities or mutool missing";
  ASSERT_NE(PdfText(kSample), "<failed>");
  int row = 0;
  for (const Password& c : kPasswords) {
    const std::string path = TempDir() + "/qpdf-aes256-" + std::to_string(++row) + ".pdf";
    // qpdf writes files no reader opens for a password of more than 127 bytes; it is given the
    // first 127, which is what every reader hashes, as bytes (they may end inside a character).
    ASSERT_EQ(RunCommand("qpdf --password-mode=bytes --encrypt " + Quoted(c.User.substr(0, 127)) + " " +
                         Quoted(c.Owner().substr(0, 127)) + " 256 -- " + Quoted(kSample) + " " + Quoted(path))
                  .ExitCode,
              0)
        << c.Name;
    ExpectFolvexOpens(path, c.User, c.Owner(), c.Name);
  }
}

TEST(Aes256Passwords, FilesFolvexProtectsOpenWithThePasswordAsTyped) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler utilities or mutool missing";
  const std::string expected = PdfText(kSample);
  const std::string dir = TempDir() + "/folvex-aes256";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/three-pages-s.pdf";
  for (const Password& c : kPasswords) {
    std::filesystem::remove(path);
    testing::CommandResult run = Folvex("protect --aes256 " + Quoted(kSample) + " --user-password " + Quoted(c.User) +
                                        " --owner-password " + Quoted(c.Owner()) + " --output-dir " + Quoted(dir));
    ASSERT_EQ(run.ExitCode, 0) << c.Name << run.Output;
    const struct {
      std::string Password;
      const char* Role;
      const char* PdfinfoOption;
    } checks[] = {{c.User, "user", "-upw"}, {c.Owner(), "owner", "-opw"}};
    for (const auto& check : checks) {
      const testing::QpdfCheck qpdf = CheckWithQpdf(path, check.Password);
      EXPECT_TRUE(qpdf.Clean) << c.Name << " " << check.Role << "\n" << qpdf.Output;
      EXPECT_NE(qpdf.Output.find(std::string("Supplied password is ") + check.Role + " password"), std::string::npos)
          << c.Name << "\n" << qpdf.Output;
      EXPECT_TRUE(Succeeds("mutool info -p " + Quoted(check.Password) + " " + Quoted(path)))
          << c.Name << " " << check.Role;
      if (check.Password.size() <= kPopplerLongest) {
        EXPECT_TRUE(Succeeds(std::string("pdfinfo ") + check.PdfinfoOption + " " + Quoted(check.Password) + " " +
                             Quoted(path)))
            << c.Name << " " << check.Role;
      }
    }
    if (c.User.size() <= kPopplerLongest) {
      EXPECT_EQ(PdfText(path, c.User), expected) << c.Name;
    }
  }
  // The outside programs refuse a wrong password, so their success above is the password's.
  EXPECT_FALSE(Succeeds("mutool info -p wrong " + Quoted(path)));
  EXPECT_FALSE(Succeeds("pdfinfo -upw wrong " + Quoted(path)));
  EXPECT_FALSE(CheckWithQpdf(path, "wrong").Clean);
}

// A file whose entries were hashed from the SASLprep form of its passwords (as some writers do)
// still opens with the password as typed, which qpdf, hashing the bytes as typed, refuses.
TEST(Aes256Passwords, PreparedEntriesOpenThroughTheSaslPrepForm) {
  if (!HaveOracles()) GTEST_SKIP() << "qpdf, poppler utilities or mutool missing";
  const std::string dir = TempDir() + "/folvex-aes256-prepared";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/three-pages-s.pdf";
  const std::string typedUser = "\uFF76\uFF9E\uFF72\uFF84\uFF9E";
  const std::string typedOwner = "\uFF2F\uFF57\uFF4E\uFF45\uFF52\u00A0\u3300";
  ASSERT_EQ(Folvex("protect --aes256 " + Quoted(kSample) + " --user-password " + Quoted("\u30AC\u30A4\u30C9") +
                   " --owner-password " + Quoted("Owner \u30A2\u30D1\u30FC\u30C8") + " --allow modify --output-dir " +
                   Quoted(dir))
                .ExitCode,
            0);
  for (const std::string& typed : {typedUser, typedOwner}) EXPECT_FALSE(CheckWithQpdf(path, typed).Clean) << typed;
  ExpectFolvexOpens(path, typedUser, typedOwner, "prepared entries");
}

}  // namespace
}  // namespace folvex
