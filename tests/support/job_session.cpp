#include "tests/support/job_session.h"

#include <algorithm>
#include <filesystem>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex::testing {

void JobSession::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  Folder = TempDir() + "/" + name;
  std::filesystem::remove_all(Folder);
  std::filesystem::create_directories(Folder);
  StartSession(Session, false, Folder);
  Session.Settings.OutputFolder = Folder;
}

std::string JobSession::Bytes(const std::string& name, const std::string& bytes) {
  const std::string path = PathOf(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteTempFile(path.substr(TempDir().size() + 1), bytes);
  return path;
}

std::string JobSession::Pdf(const std::string& name, int pages) { return Bytes(name, SimplePdf(pages)); }

std::string JobSession::Protected(const std::string& name, const std::string& user, const std::string& owner,
                                  const std::string& arguments, int pages) {
  const std::string plain = WriteTempFile(name + "-" + std::to_string(pages) + "-plain.pdf", SimplePdf(pages));
  return EncryptWithQpdf(plain, PathOf(name), user, owner, arguments) ? PathOf(name) : std::string();
}

std::string JobSession::ProtectedWithStreams(const std::string& name, int pages) {
  // qpdf takes the object stream option after the "--" that ends the encryption options.
  return Protected(name, "u", "o", "128 --use-aes=n -- --object-streams=generate", pages);
}

int JobSession::AddRow(const std::string& path, bool selected, bool counted) {
  ListEntry row = MakeRow(path, Session.Japanese, counted, Session.Counter);
  row.Selected = selected;
  Session.List.Rows.push_back(row);
  return static_cast<int>(Session.List.Rows.size()) - 1;
}

std::string JobSession::Names() const {
  std::string names;
  for (const ListEntry& row : Session.List.Rows) names += (names.empty() ? "" : " ") + row.Name + (row.Selected ? "*" : "");
  return names;
}

std::string JobSession::Pages() const {
  std::string pages;
  for (const ListEntry& row : Session.List.Rows) pages += "[" + row.Page + "]";
  return pages;
}

std::map<std::string, std::string> JobSession::Files() const {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Folder)) {
    if (!entry.is_regular_file()) continue;
    files[std::filesystem::relative(entry.path(), Folder).string()] = ReadFile(entry.path().string());
  }
  return files;
}

std::set<std::string> JobSession::ChangedSince(const std::map<std::string, std::string>& before) const {
  std::set<std::string> changed;
  const std::map<std::string, std::string> now = Files();
  for (const auto* side : {&before, &now}) {
    for (const auto& [name, bytes] : *side) {
      if (before.count(name) == 0 || now.count(name) == 0 || before.at(name) != now.at(name)) changed.insert(name);
    }
  }
  return changed;
}

bool HaveQpdf() { return HaveTool("qpdf"); }

}  // namespace folvex::testing
