// Protected files of the real-world corpus: counted as the outside readers count them (without a
// password, or with the one recorded for them), and unprotected with their owner password.
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

struct CorpusFile {
  std::string Name;
  std::string Password;  // recorded, may be empty
  int Pages = -1;        // as the outside readers agree, -1 when they do not
  bool Damaged = false;  // qpdf warns about it
};

// The protected files of the corpus, from the record of the outside readers' answers beside it.
std::vector<CorpusFile> ProtectedCorpusFiles() {
  const std::string json = testing::ReadFile(testing::RealWorldDir() + "/../expected.json");
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
    CorpusFile file;
    file.Name = starts[k].second;
    std::smatch match;
    if (std::regex_search(record, match, std::regex("\"password\": \"([^\"]*)\""))) file.Password = match[1].str();
    if (std::regex_search(record, match, std::regex("\"expected\": \\{[^}]*\"pages\": ([0-9]+)"))) {
      file.Pages = std::stoi(match[1].str());
    }
    file.Damaged = record.find("\"warnings\": true") != std::string::npos;
    files.push_back(file);
  }
  return files;
}

bool HaveCorpus() { return std::filesystem::exists(testing::RealWorldDir() + "/../expected.json"); }

// Every protected file that qpdf reads without a warning is counted as the outside readers count
// it, with the empty password or the recorded one (never asked for), in any method we handle;
// this includes an AES-128 crypt filter whose /Length gives 16 where bits belong (pypdf's
// r4-aes-v2-no-key-length). Files of classic tables are counted even without their password.
TEST(RealWorldSecurity, ProtectedFilesAreCountedAsTheOutsideReadersCountThem) {
  if (!HaveCorpus()) GTEST_SKIP() << "the real-world corpus is absent";
  int counted = 0;
  for (const CorpusFile& file : ProtectedCorpusFiles()) {
    if (file.Pages < 0 || file.Damaged) continue;
    SCOPED_TRACE(file.Name);
    EngineState state;
    state.SecurityJobState.RememberedPassword = file.Password;
    const int pages = CountPages(state, testing::RealWorldDir() + "/" + file.Name, MakeCountDecryption());
    EXPECT_EQ(pages, file.Pages) << "error " << state.LastErrorCode;
    EXPECT_TRUE(state.EncryptRef.has_value());
    counted += pages == file.Pages;
  }
  EXPECT_GT(counted, 60);
}

TEST(RealWorldSecurity, ProtectedFilesUnprotectedWithTheirOwnerPassword) {
  if (!HaveCorpus()) GTEST_SKIP() << "the real-world corpus is absent";
  if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo is missing";
  int written = 0, distinctOwner = 0;
  for (const CorpusFile& file : ProtectedCorpusFiles()) {
    SCOPED_TRACE(file.Name);
    const std::string input = testing::RealWorldDir() + "/" + file.Name;
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
    EXPECT_TRUE(known.count(result)) << result;
    EXPECT_EQ(std::filesystem::exists(output), result == kSecurityDone);
    if (knownRevision && ownerOnly) {
      ++distinctOwner;
      EXPECT_EQ(result, kSecurityDone);
    }
    if (result == kSecurityDone) {
      ++written;
      const auto check = testing::CheckWithQpdf(output);
      EXPECT_TRUE(check.Clean) << check.Output.substr(0, 500);
      if (file.Pages >= 0) {
        EXPECT_EQ(testing::PdfinfoPages(output), file.Pages);
      }
    }
  }
  EXPECT_GT(distinctOwner, 0) << "the corpus has files with a distinct owner password";
  EXPECT_EQ(written, distinctOwner) << "only a distinct owner password removes protection";
}

}  // namespace
}  // namespace folvex
