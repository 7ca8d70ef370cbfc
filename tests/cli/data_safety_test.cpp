// What folvex must never do to a user's files, tried with real files, real processes and real
// signals: replace an input or another output of the same run, leave a half-written file, lose
// pages on the way, or depend on the clock.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <thread>

#include "engine/assembly/merge.h"
#include "engine/core/job_control.h"
#include "tests/support/large_pdf.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

extern char** environ;

namespace folvex {
namespace {

namespace fs = std::filesystem;
using testing::Folvex;
using testing::HaveTool;
using testing::Quoted;
using testing::ReadFile;
using testing::RunCommand;
using testing::SimplePdf;
using testing::TempDir;
using testing::WriteTempFile;

// A fresh, empty folder under the test folder.
std::string Folder(const std::string& name) {
  const std::string dir = TempDir() + "/safety-" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Every file of a folder (recursively) with its bytes.
std::map<std::string, std::string> Contents(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) files[entry.path().lexically_relative(dir).string()] = ReadFile(entry.path().string());
  }
  return files;
}

bool HasStagingFile(const std::string& dir) {
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".folvex-", 0) == 0 || name.find(".part") != std::string::npos) return true;
  }
  return false;
}

std::string QpdfPages(const std::string& path, const std::string& password = "") {
  return RunCommand("qpdf --show-npages " + (password.empty() ? "" : "--password=" + password + " ") + Quoted(path) +
                    " 2>/dev/null")
      .Output;
}

// A stream whose /Length does not tell its length is copied with the true one: the copies pass
// qpdf --check without a repair and show the page's text.
TEST(DataSafety, CopiedStreamsGetTheirTrueLength) {
  if (!HaveTool("qpdf") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string content = "BT /F1 24 Tf 72 700 Td (True length) Tj ET";
  const std::string dictionaries[] = {"<< /Length 999 >>", "<< /Length -4 >>", "<< >>", "<< /Length 6 0 R >>",
                                      "<< /Length 5 0 R >>", "<< /Length 7 0 R >>"};
  for (const std::string& dictionary : dictionaries) {
    const std::string dir = Folder("lengths");
    testing::PdfWriter w;
    w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] /Resources << /Font << /F1 "
                "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    w.Object(4, "<< /Type /Page /Parent 2 0 R >>");
    w.Object(5, dictionary + "\nstream  \n" + content + "\nendstream");
    w.Object(6, "(no number)");
    w.Finish("/Size 7 /Root 1 0 R");
    const std::string input = WriteTempFile("safety-lengths/in.pdf", w.Bytes());
    for (const std::string& command :
         {"extract " + Quoted(input) + " 1,2 -o " + Quoted(dir + "/x.pdf"), "split " + Quoted(input),
          "protect " + Quoted(input) + " --user-password u --owner-password o"}) {
      const testing::CommandResult run = Folvex(command + " --quiet");
      ASSERT_EQ(run.ExitCode, 0) << dictionary << " " << command << run.Output;
    }
    for (const auto& [output, password] : std::vector<std::pair<std::string, std::string>>{
             {dir + "/x.pdf", ""}, {dir + "/in_1.pdf", ""}, {dir + "/in-s.pdf", "u"}}) {
      const testing::QpdfCheck check = testing::CheckWithQpdf(output, password);
      EXPECT_TRUE(check.Clean) << dictionary << " " << output << "\n" << check.Output;
      EXPECT_NE(testing::PageText(output, 1, password).find("True length"), std::string::npos) << dictionary << output;
      // The data exactly: the true length, then an end of line and the keyword.
      if (password.empty()) {
        const std::string bytes = ReadFile(output);
        const std::size_t data = bytes.find("stream\n" + content + "\nendstream");
        ASSERT_NE(data, std::string::npos) << dictionary << " " << output;
        const std::size_t head = bytes.rfind(" obj", data);
        EXPECT_TRUE(std::regex_search(bytes.substr(head, data - head), std::regex("/Length " + std::to_string(content.size()) + "[^0-9]")))
            << dictionary << " " << output << ": " << bytes.substr(head, data - head);
      }
    }
  }
}

// Outputs that would replace an input, or another output of the same run (also through a
// backup name), fail before anything is written and name both files; every file stays as it was.
TEST(DataSafety, OutputsNeverReplaceInputsOrEachOther) {
  const struct {
    const char* Name;
    std::vector<std::string> Files;  // made in the folder, each a one-page or two-page file
    std::string Arguments;           // {d} is the folder
    int Status;
    std::vector<std::string> Written;  // the new files expected
  } cases[] = {
      {"protect over another input", {"a.pdf", "a-s.pdf"}, "protect {d}/a.pdf {d}/a-s.pdf {p}", 4, {"a-s-s.pdf"}},
      {"two inputs of one name into one folder", {"d1/x.pdf", "d2/x.pdf", "out/keep"},
       "protect --output-dir {d}/out {d}/d1/x.pdf {d}/d2/x.pdf {p}", 4, {"out/x-s.pdf"}},
      {"a backup name that is an input", {"b.pdf", "b-s.bak", "b-s.pdf"}, "protect --backup {d}/b.pdf {d}/b-s.bak {p}",
       4, {"b-s.bak-s.pdf"}},
      {"unprotect over an input", {"c.pdf", "c-r.pdf"}, "unprotect {d}/c.pdf {d}/c-r.pdf --password o", 4,
       {"c-r-r.pdf"}},
      {"extract over its input", {"e.pdf"}, "extract {d}/e.pdf 1 -o {d}/e.pdf", 1, {}},
      {"extract whose backup is its input", {"f.bak", "f.pdf"}, "extract {d}/f.bak 1 -o {d}/f.pdf --backup", 1, {}},
      {"merge over an input", {"g.pdf", "h.pdf"}, "merge {d}/g.pdf {d}/h.pdf -o {d}/h.pdf", 1, {}},
  };
  for (const auto& c : cases) {
    const std::string dir = Folder("collisions");
    for (const std::string& file : c.Files) {
      fs::create_directories(fs::path(dir + "/" + file).parent_path());
      const std::string bytes = file == "out/keep" ? "keep" : SimplePdf(2 + static_cast<int>(file.size() % 2));
      WriteTempFile("safety-collisions/" + file, bytes);
    }
    for (const std::string& file : c.Files) {
      if (std::string(c.Name) != "unprotect over an input") break;
      const std::string path = dir + "/" + file;
      ASSERT_TRUE(testing::EncryptWithQpdf(path, path + ".locked", "", "o", "128 --use-aes=n"));
      fs::rename(path + ".locked", path);
    }
    const auto before = Contents(dir);
    std::string arguments = c.Arguments;
    for (std::size_t at; (at = arguments.find("{d}")) != std::string::npos;) arguments.replace(at, 3, dir);
    if (const std::size_t at = arguments.find("{p}"); at != std::string::npos) {
      arguments.replace(at, 3, "--user-password u --owner-password o");
    }
    const testing::CommandResult run = Folvex(arguments + " --quiet");
    EXPECT_EQ(run.ExitCode, c.Status) << c.Name << "\n" << run.Output;
    EXPECT_NE(run.Output.find("would replace a file of this job"), std::string::npos) << c.Name << "\n" << run.Output;
    auto after = Contents(dir);
    for (const std::string& written : c.Written) EXPECT_EQ(after.erase(written), 1u) << c.Name << " " << written;
    EXPECT_EQ(after, before) << c.Name;
  }
}

// Runs folvex with arguments and sends signal after delay; returns the exit status as the shell
// reports it (128 + signal when it ended by the signal).
int RunAndSignal(const std::vector<std::string>& arguments, int signal, std::chrono::milliseconds delay) {
  std::vector<std::string> words{FOLVEX_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  std::this_thread::sleep_for(delay);
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// SIGTERM, SIGHUP and SIGINT at any moment of a big job: the old output is whole or the new one is,
// and nothing half-written is left anywhere.
TEST(DataSafety, SignalsLeaveNoPartialFile) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  testing::LargePdfShape shape;
  shape.Pages = 20000;
  const std::string dir = Folder("signals");
  const std::string input = WriteTempFile("safety-signals/big.pdf", testing::LargePdf(shape));
  const std::string output = dir + "/out.pdf";
  int finished = 0, interrupted = 0;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    for (const int delay : {2, 15, 40, 70, 110, 160}) {
      WriteTempFile("safety-signals/out.pdf", "the old output\n");
      const int status =
          RunAndSignal({"extract", input, "20000-1", "-o", output, "--quiet"}, signal, std::chrono::milliseconds(delay));
      EXPECT_FALSE(HasStagingFile(dir)) << signal << " after " << delay << " ms";
      // Ended by the signal before the new file was in place: the old one. Once it is in place
      // (a signal may still come before the process ends), the whole new file.
      const bool old = ReadFile(output) == "the old output\n";
      if (status == 0 || !old) {
        ++finished;
        EXPECT_EQ(QpdfPages(output), "20000\n") << signal << " after " << delay << " ms, status " << status;
      } else {
        ++interrupted;
      }
    }
  }
  EXPECT_GT(interrupted, 0);

  // Split: every page file there is whole.
  const std::string splitDir = Folder("signals-split");
  for (const int delay : {30, 90}) {
    RunAndSignal({"split", input, "1-300", "--output-dir", splitDir, "--quiet"}, SIGTERM, std::chrono::milliseconds(delay));
    EXPECT_FALSE(HasStagingFile(splitDir));
    for (const auto& entry : fs::directory_iterator(splitDir)) {
      EXPECT_EQ(QpdfPages(entry.path().string()), "1\n") << entry.path();
    }
  }
  std::cout << finished << " finished, " << interrupted << " interrupted\n";
}

// Names up to the file system's limit, outputs that may not be written, permission bits and
// symbolic links.
TEST(DataSafety, LongNamesReadOnlyOutputsAndLinks) {
  if (::geteuid() == 0 && !HaveTool("qpdf")) GTEST_SKIP();
  const std::string dir = Folder("names");
  const std::string input = WriteTempFile("safety-names/in.pdf", SimplePdf(3));

  const std::string longName = dir + "/" + std::string(251, 'n') + ".pdf";
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(longName) + " --quiet").ExitCode, 0);
  EXPECT_EQ(testing::PdfinfoPages(longName), 1);

  // A read-only output is refused and keeps its bytes; a writable one keeps its permission bits.
  const std::string locked = WriteTempFile("safety-names/locked.pdf", "locked\n");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 1 -o " + Quoted(locked) + " --quiet").ExitCode, 4);
  EXPECT_EQ(ReadFile(locked), "locked\n");
  const std::string privateOutput = WriteTempFile("safety-names/private.pdf", "old\n");
  fs::permissions(privateOutput, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 1-2 -o " + Quoted(privateOutput) + " --quiet").ExitCode, 0);
  EXPECT_EQ(fs::status(privateOutput).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(testing::PdfinfoPages(privateOutput), 2);

  // A symbolic link stays a link; its target takes the new file.
  fs::create_directories(dir + "/target");
  const std::string target = WriteTempFile("safety-names/target/real.pdf", "old\n");
  fs::create_symlink(target, dir + "/link.pdf");
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 3 -o " + Quoted(dir + "/link.pdf") + " --quiet").ExitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dir + "/link.pdf"));
  EXPECT_EQ(testing::PdfinfoPages(target), 1);
  EXPECT_FALSE(HasStagingFile(dir));
}

// A merge reads its inputs twice: first all of them, to count and check, then one at a time as
// their pages are written. An input changed in between fails the merge and leaves no output; one
// written again with the same bytes does not, and neither does the clock moving on between the
// openings of a protected input (which changes its decrypted information dictionary). Classic
// inputs are read again as they stand; inputs with object streams (made by qpdf) have their
// converted objects kept from the first pass.
TEST(DataSafety, MergeFailsOnlyWhenAnInputChangesBetweenItsReadings) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  const auto merge = [](MergeJob& job, const std::string& password, const std::function<void()>& change) {
    job.CreationDateText = "20260102030405";
    job.ProducerText = "test";
    fs::remove(job.OutputPath);
    EngineState state;
    state.SecurityJobState.RememberedPassword = password;
    int second = 0;
    state.Clock = [&second] { return DocumentTime{2026, 1, 1, 0, 0, ++second % 60}; };
    JobControl control;
    bool changed = false;
    control.ProgressSink = [&](int, const std::string& text) {
      if (changed || text.rfind("Creating", 0) != 0) return;
      changed = true;
      change();
    };
    state.Control = &control;
    const int result = RunMerge(state, job);
    EXPECT_TRUE(changed);
    return result;
  };

  testing::PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 100 100] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(4, "<< /Title (With an information dictionary) /CreationDate (D:20200101000000) >>");
  w.Finish("/Size 5 /Root 1 0 R /Info 4 0 R");
  const std::string dir = Folder("clock");
  const std::string locked = dir + "/locked.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(WriteTempFile("safety-clock/plain.pdf", w.Bytes()), locked, "u", "o", "128 --use-aes=n"));
  // Copies of one protected file: merged inputs share their protection. The same protection and
  // pages when the last is changed: only the bytes tell it apart.
  for (const bool change : {false, true}) {
    MergeJob job;
    for (const char* name : {"one.pdf", "two.pdf", "three.pdf"}) {
      fs::copy_file(locked, dir + "/" + name, fs::copy_options::overwrite_existing);
      job.Inputs.push_back({dir + "/" + name});
    }
    job.OutputPath = dir + "/merged.pdf";
    EXPECT_EQ(merge(job, "o", [&] {
                if (change) WriteTempFile("safety-clock/three.pdf", ReadFile(locked) + "% changed\n");
              }),
              change ? kMergeFailed : kMergeDone)
        << change;
    EXPECT_EQ(QpdfPages(job.OutputPath, "o"), change ? "" : "3\n");
  }

  // Fifty inputs, none changed: their page counts are handed back with the job.
  MergeJob many;
  many.OutputPath = TempDir() + "/merge-fifty.pdf";
  int total = 0;
  for (int i = 0; i < 50; ++i) {
    many.Inputs.push_back({WriteTempFile("merge-many-" + std::to_string(i) + ".pdf", SimplePdf(1 + i % 3))});
    total += 1 + i % 3;
  }
  ASSERT_EQ(merge(many, "", [] {}), kMergeDone);
  for (std::size_t i = 0; i < 50; ++i) {
    EXPECT_EQ(many.Inputs[i].PageCount, static_cast<int>(1 + i % 3));
    EXPECT_FALSE(many.Inputs[i].Encrypted);
  }
  EXPECT_EQ(many.JobResultIndex, total);
  EXPECT_TRUE(testing::CheckWithQpdf(many.OutputPath).Clean);
  EXPECT_EQ(QpdfPages(many.OutputPath), std::to_string(total) + "\n");
  EXPECT_EQ(testing::PageText(many.OutputPath, total), testing::PageText(many.Inputs.back().Path, 2));

  const struct {
    const char* Name;
    std::optional<std::string> Replacement;  // none: the file is removed
    std::string Appended;                    // bytes behind the end of the replacement
    int Result;
  } cases[] = {
      {"the same bytes", SimplePdf(1), "", kMergeDone},
      {"more pages", SimplePdf(3), "", kMergeFailed},
      {"as many pages, other bytes", SimplePdf(1), "% appended\n", kMergeFailed},
      {"one byte of a page's text", [] {
         std::string pdf = SimplePdf(1);
         pdf[pdf.find("(Page 1)") + 1] = 'p';
         return pdf;
       }(), "", kMergeFailed},
      {"removed", std::nullopt, "", kMergeFailed},
  };
  for (const bool streams : {false, true}) {
    const auto write = [&](const std::string& name, const std::string& bytes, const std::string& appended = "") {
      std::string path = WriteTempFile(name, bytes);
      if (streams) RunCommand("qpdf --object-streams=generate --replace-input " + Quoted(path));
      if (!appended.empty()) path = WriteTempFile(name, ReadFile(path) + appended);
      return path;
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (streams ? " (object streams)" : ""));
      MergeJob changing;
      changing.Inputs = {{write("merge-stable.pdf", SimplePdf(2))}, {write("merge-changing.pdf", SimplePdf(1))}};
      changing.OutputPath = TempDir() + "/merge-changed-out.pdf";
      EXPECT_EQ(merge(changing, "", [&] {
                  if (c.Replacement) {
                    write("merge-changing.pdf", *c.Replacement, c.Appended);
                  } else {
                    fs::remove(changing.Inputs[1].Path);
                  }
                }),
                c.Result);
      EXPECT_EQ(changing.JobResultIndex, c.Result == kMergeDone ? 3 : 1);
      if (c.Result == kMergeDone) {
        EXPECT_TRUE(testing::CheckWithQpdf(changing.OutputPath).Clean);
        continue;
      }
      for (const auto& entry : fs::directory_iterator(TempDir())) {
        EXPECT_EQ(entry.path().filename().string().rfind("merge-changed-out", 0), std::string::npos);
      }
    }
  }
}

}  // namespace
}  // namespace folvex
