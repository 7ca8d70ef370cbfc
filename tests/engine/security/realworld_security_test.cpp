// Protected files of the real-world corpus, unprotected with the passwords recorded for them.
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

using testing::RunCommand;

const std::string kCorpus = "/work/shared/realworld";

struct CorpusFile {
  std::string Name;
  std::string Password;  // recorded, may be empty
  int Pages = -1;
};

// "\u00e4" escapes of the record as UTF-8.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\\' && k + 5 < text.size() && text[k + 1] == 'u') {
      const unsigned code = static_cast<unsigned>(std::stoul(text.substr(k + 2, 4), nullptr, 16));
      if (code < 0x80) {
        out.push_back(static_cast<char>(code));
      } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
      }
      k += 5;
    } else if (text[k] == '\\' && k + 1 < text.size()) {
      out.push_back(text[++k]);
    } else {
      out.push_back(text[k]);
    }
  }
  return out;
}

// The encrypted files of the corpus with their recorded passwords and page counts.
std::vector<CorpusFile> EncryptedCorpusFiles() {
  const std::string json = testing::ReadFile(kCorpus + "/expected.json");
  std::vector<CorpusFile> files;
  const std::regex fileKey("\"file\": \"([^\"]+)\"");
  std::vector<std::pair<std::size_t, std::string>> starts;
  for (auto it = std::sregex_iterator(json.begin(), json.end(), fileKey); it != std::sregex_iterator(); ++it) {
    starts.emplace_back(static_cast<std::size_t>(it->position()), (*it)[1].str());
  }
  for (std::size_t k = 0; k < starts.size(); ++k) {
    const std::size_t end = k + 1 < starts.size() ? starts[k + 1].first : json.size();
    const std::string record = json.substr(starts[k].first, end - starts[k].first);
    if (record.find("\"encrypted\": true") == std::string::npos) continue;
    CorpusFile file{starts[k].second, "", -1};
    std::smatch match;
    if (std::regex_search(record, match, std::regex("\"password\": \"((?:[^\"\\\\]|\\\\.)*)\""))) {
      file.Password = Unescape(match[1].str());
    }
    if (std::regex_search(record, match, std::regex("\"expected\": \\{[^}]*\"pages\": ([0-9]+)"))) {
      file.Pages = std::stoi(match[1].str());
    }
    files.push_back(file);
  }
  return files;
}

TEST(RealWorldSecurity, ProtectedFilesUnprotectedWithTheirOwnerPassword) {
  if (!std::filesystem::exists(kCorpus + "/expected.json")) GTEST_SKIP() << "the real-world corpus is absent";
  if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo is missing";
  int written = 0, distinctOwner = 0;
  for (const CorpusFile& file : EncryptedCorpusFiles()) {
    const std::string input = kCorpus + "/files/" + file.Name;
    // qpdf's fixtures name their owner password: enc-R2_V1_U_view_O_master.pdf.
    std::string password = file.Password;
    std::smatch match;
    if (std::regex_search(file.Name, match, std::regex("_O_([a-z]+)\\.pdf$"))) password = match[1].str();

    const auto shown = RunCommand("qpdf --show-encryption --password=" + testing::Quoted(password) + " " +
                                  testing::Quoted(input) + " 2>/dev/null");
    const bool knownRevision = std::regex_search(shown.Output, std::regex("R = [2-6]\n"));
    // An owner password whose first 32 bytes are the user password is the same password.
    const bool ownerOnly = shown.Output.find("Supplied password is owner password") != std::string::npos &&
                           shown.Output.find("Supplied password is user password") == std::string::npos &&
                           shown.Output.find("User password = " + password.substr(0, 32) + "\n") == std::string::npos;

    EngineState state;
    JobControl control;
    state.Control = &control;
    state.SecurityJobState.OwnerPassword = password;
    const std::string output = testing::TempDir() + "/realworld-r.pdf";
    std::filesystem::remove(output);
    std::vector<SecurityFileRecord> records{{input, output}};
    const int result = UnprotectFiles(state, records);
    const std::set<int> known{kSecurityDone, kSecurityPasswordFailed, kSecurityWrongState, kSecurityUnsupported,
                              kSecurityNotPermitted, kSecurityFailed};
    EXPECT_TRUE(known.count(result)) << file.Name << " gave " << result;
    EXPECT_EQ(std::filesystem::exists(output), result == kSecurityDone) << file.Name;
    if (knownRevision && ownerOnly) {
      ++distinctOwner;
      EXPECT_EQ(result, kSecurityDone) << file.Name;
    }
    if (result == kSecurityDone) {
      ++written;
      const auto check = testing::CheckWithQpdf(output);
      EXPECT_TRUE(check.Clean) << file.Name << "\n" << check.Output;
      if (file.Pages >= 0) {
        EXPECT_EQ(testing::PdfinfoPages(output), file.Pages) << file.Name;
      }
    }
  }
  EXPECT_GT(distinctOwner, 0) << "the corpus has files with a distinct owner password";
  EXPECT_EQ(written, distinctOwner) << "only a distinct owner password removes protection";
}

TEST(RealWorldSecurity, ProtectedFilesThatTheEmptyPasswordOpensAreCounted) {
  if (!std::filesystem::exists(kCorpus + "/expected.json")) GTEST_SKIP() << "the real-world corpus is absent";
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is missing";
  int counted = 0;
  for (const CorpusFile& file : EncryptedCorpusFiles()) {
    if (file.Pages < 0) continue;
    const std::string input = kCorpus + "/files/" + file.Name;
    // qpdf --requires-password: 3 when the file is protected and opens without a password.
    if (RunCommand("qpdf --requires-password " + testing::Quoted(input) + " >/dev/null 2>&1").ExitCode != 3) continue;
    EngineState state;
    const int pages = CountPages(state, input, MakeCountDecryption());
    // Files that qpdf opens only by recovering damaged structures are not judged here.
    if (pages < 0 && state.LastErrorCode != -1000) continue;
    EXPECT_EQ(pages, file.Pages) << file.Name;
    EXPECT_TRUE(state.EncryptRef.has_value()) << file.Name;
    ++counted;
  }
  EXPECT_GT(counted, 0) << "the corpus has protected files that open without a password";
}

TEST(RealWorldSecurity, RecordedPasswordsOpenTheirFilesForCounting) {
  if (!std::filesystem::exists(kCorpus + "/expected.json")) GTEST_SKIP() << "the real-world corpus is absent";
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is missing";
  int counted = 0;
  for (const CorpusFile& file : EncryptedCorpusFiles()) {
    if (file.Password.empty() || file.Pages < 0) continue;
    const std::string input = kCorpus + "/files/" + file.Name;
    EngineState state;
    state.SecurityJobState.RememberedPassword = file.Password;
    const int pages = CountPages(state, input, MakeCountDecryption());
    if (pages < 0 && state.LastErrorCode != -1000) continue;
    EXPECT_EQ(pages, file.Pages) << file.Name;
    ++counted;
  }
  EXPECT_GT(counted, 0) << "the corpus records passwords";
}

}  // namespace
}  // namespace folvex
