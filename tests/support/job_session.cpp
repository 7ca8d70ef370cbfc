#include "tests/support/job_session.h"

#include <filesystem>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex::testing {

void JobSession::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
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
  const std::string path = PathOf(name);
  return EncryptWithQpdf(plain, path, user, owner, arguments) ? path : std::string();
}

std::string JobSession::ProtectedWithStreams(const std::string& name, int pages) {
  const std::string plain = WriteTempFile(name + "-" + std::to_string(pages) + "-plain.pdf", SimplePdf(pages));
  const std::string path = PathOf(name);
  const CommandResult run = RunCommand("qpdf --allow-weak-crypto --object-streams=generate --encrypt u o 128 "
                                       "--use-aes=n -- " + Quoted(plain) + " " + Quoted(path) + " >/dev/null 2>&1");
  return run.ExitCode == 0 ? path : std::string();
}

int JobSession::AddRow(const std::string& path, bool selected, bool counted) {
  ListEntry row = MakeRow(path, Session.Japanese, counted, Session.Counter);
  row.Selected = selected;
  Session.List.Rows.push_back(row);
  return static_cast<int>(Session.List.Rows.size()) - 1;
}

std::string JobSession::Names() const {
  std::string names;
  for (const ListEntry& row : Session.List.Rows) {
    if (!names.empty()) names += ' ';
    names += row.Name + (row.Selected ? "*" : "");
  }
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
  for (const auto& [name, bytes] : before) {
    const auto found = now.find(name);
    if (found == now.end() || found->second != bytes) changed.insert(name);
  }
  for (const auto& [name, bytes] : now) {
    if (before.count(name) == 0) changed.insert(name);
  }
  return changed;
}

bool HaveQpdf() { return HaveTool("qpdf"); }

}  // namespace folvex::testing
