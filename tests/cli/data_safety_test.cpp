// What folvex must never do to a user's files, tried with real files, real processes and real
// signals: leave a half-written file, lose pages or stream data on the way, or depend on the
// clock. (Runs refused because an output would replace an input or another output of the same
// run are rows of the failure table in commands_test.cpp.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <regex>

#include "engine/assembly/merge.h"
#include "engine/core/job_control.h"
#include "tests/support/large_pdf.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// A fresh, empty folder under the test folder.
std::string Folder(const std::string& name) {
  const std::string dir = TempDir() + "/safety-" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
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
                    " 2>/dev/null").Output;
}

// A stream whose /Length does not tell its length is copied with the true one: the copies pass
// qpdf --check without a repair and show the page's text.
TEST(DataSafety, CopiedStreamsGetTheirTrueLength) {
  if (!HaveTool("qpdf") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or pdftotext missing";
  const std::string content = "BT /F1 24 Tf 72 700 Td (True length) Tj ET";
  for (const std::string dictionary : {"<< /Length 999 >>", "<< /Length -4 >>", "<< >>", "<< /Length 6 0 R >>",
                                       "<< /Length 5 0 R >>", "<< /Length 7 0 R >>"}) {
    SCOPED_TRACE(dictionary);
    const std::string dir = Folder("lengths");
    PdfWriter w;
    w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] /Resources << /Font << /F1 "
                "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    w.Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    w.Object(4, "<< /Type /Page /Parent 2 0 R >>");
    w.Object(5, dictionary + "\nstream  \n" + content + "\nendstream");
    w.Object(6, "(no number)");
    w.Finish("/Size 7 /Root 1 0 R");
    const std::string input = WriteTempFile("safety-lengths/in.pdf", w.Bytes());
    for (const std::string& command : {"extract " + Quoted(input) + " 1,2 -o " + Quoted(dir + "/x.pdf"), "split " + Quoted(input),
                                       "protect " + Quoted(input) + " --user-password u --owner-password o"}) {
      ASSERT_EQ(Folvex(command + " --quiet").ExitCode, 0) << command;
    }
    for (const auto& [output, password] : {std::pair<std::string, std::string>{dir + "/x.pdf", ""}, {dir + "/in_1.pdf", ""},
                                           {dir + "/in-s.pdf", "u"}}) {
      SCOPED_TRACE(output);
      const QpdfCheck check = CheckWithQpdf(output, password);
      EXPECT_TRUE(check.Clean) << check.Output;
      EXPECT_NE(PageText(output, 1, password).find("True length"), std::string::npos);
      if (!password.empty()) continue;
      // The data exactly: the true length, then an end of line and the keyword.
      const std::string bytes = ReadFile(output);
      const std::size_t data = bytes.find("stream\n" + content + "\nendstream"), head = bytes.rfind(" obj", data);
      ASSERT_NE(data, std::string::npos);
      EXPECT_TRUE(std::regex_search(bytes.substr(head, data - head), std::regex("/Length " + std::to_string(content.size()) + "[^0-9]")));
    }
  }
}

// Runs folvex with arguments and sends it signal (a name) after delay (in seconds), through
// timeout(1); the status is 0 when it finished first.
int RunAndSignal(const std::string& arguments, const char* signal, const char* delay) {
  return RunCommand("timeout --preserve-status -s " + std::string(signal) + " " + delay + " " + FOLVEX_CLI_PATH + " " + arguments).ExitCode;
}

// SIGTERM, SIGHUP and SIGINT at any moment of a big job: the old output is whole or the new one is,
// and nothing half-written is left anywhere.
TEST(DataSafety, SignalsLeaveNoPartialFile) {
  if (!HaveTool("qpdf")) GTEST_SKIP() << "qpdf missing";
  const std::string dir = Folder("signals"), output = dir + "/out.pdf";
  const std::string input = WriteTempFile("safety-signals/big.pdf", LargePdf(LargePdfShape{20000}));
  int interrupted = 0;
  for (const char* signal : {"TERM", "HUP", "INT"}) {
    for (const char* delay : {"0.002", "0.015", "0.04", "0.07", "0.11", "0.16"}) {
      SCOPED_TRACE(std::string(signal) + " after " + delay + " s");
      WriteTempFile("safety-signals/out.pdf", "the old output\n");
      const int status = RunAndSignal("extract " + Quoted(input) + " 20000-1 -o " + Quoted(output) + " --quiet", signal, delay);
      EXPECT_FALSE(HasStagingFile(dir));
      // Ended by the signal before the new file was in place: the old one. Once it is in place
      // (a signal may still come before the process ends), the whole new file.
      if (status != 0 && ReadFile(output) == "the old output\n") {
        ++interrupted;
      } else {
        EXPECT_EQ(QpdfPages(output), "20000\n") << "status " << status;
      }
    }
  }
  EXPECT_GT(interrupted, 0);

  // Split: every page file there is whole.
  const std::string splitDir = Folder("signals-split");
  for (const char* delay : {"0.03", "0.09"}) {
    RunAndSignal("split " + Quoted(input) + " 1-300 --output-dir " + Quoted(splitDir) + " --quiet", "TERM", delay);
    EXPECT_FALSE(HasStagingFile(splitDir));
    for (const auto& entry : fs::directory_iterator(splitDir)) EXPECT_EQ(QpdfPages(entry.path().string()), "1\n") << entry.path();
  }
}

// Names up to the file system's limit, outputs that may not be written, permission bits and
// symbolic links.
TEST(DataSafety, LongNamesReadOnlyOutputsAndLinks) {
  if (::geteuid() == 0 && !HaveTool("qpdf")) GTEST_SKIP();
  const std::string dir = Folder("names"), input = WriteTempFile("safety-names/in.pdf", SimplePdf(3));
  const std::string longName = dir + "/" + std::string(251, 'n') + ".pdf";
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 2 -o " + Quoted(longName) + " --quiet").ExitCode, 0);
  EXPECT_EQ(PdfinfoPages(longName), 1);

  // A read-only output is refused and keeps its bytes; a writable one keeps its permission bits.
  const std::string locked = WriteTempFile("safety-names/locked.pdf", "locked\n");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 1 -o " + Quoted(locked) + " --quiet").ExitCode, 4);
  EXPECT_EQ(ReadFile(locked), "locked\n");
  const std::string privateOutput = WriteTempFile("safety-names/private.pdf", "old\n");
  fs::permissions(privateOutput, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 1-2 -o " + Quoted(privateOutput) + " --quiet").ExitCode, 0);
  EXPECT_EQ(fs::status(privateOutput).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(PdfinfoPages(privateOutput), 2);

  // A symbolic link stays a link; its target takes the new file.
  fs::create_directories(dir + "/target");
  const std::string target = WriteTempFile("safety-names/target/real.pdf", "old\n");
  fs::create_symlink(target, dir + "/link.pdf");
  EXPECT_EQ(Folvex("extract " + Quoted(input) + " 3 -o " + Quoted(dir + "/link.pdf") + " --quiet").ExitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dir + "/link.pdf"));
  EXPECT_EQ(PdfinfoPages(target), 1);
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
  // Runs the merge with a clock a second further at each reading; change is called once, as the
  // output is begun.
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

  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 100 100] >>");
  w.Object(3, "<< /Type /Page /Parent 2 0 R >>");
  w.Object(4, "<< /Title (With an information dictionary) /CreationDate (D:20200101000000) >>");
  w.Finish("/Size 5 /Root 1 0 R /Info 4 0 R");
  const std::string dir = Folder("clock"), locked = dir + "/locked.pdf";
  ASSERT_TRUE(EncryptWithQpdf(WriteTempFile("safety-clock/plain.pdf", w.Bytes()), locked, "u", "o", "128 --use-aes=n"));
  // Copies of one protected file: merged inputs share their protection. The same protection and
  // pages when the last is changed: only the bytes tell it apart.
  for (const bool change : {false, true}) {
    MergeJob job;
    for (const char* name : {"one.pdf", "two.pdf", "three.pdf"}) {
      fs::copy_file(locked, dir + "/" + name, fs::copy_options::overwrite_existing);
      job.Inputs.push_back({dir + "/" + name});
    }
    job.OutputPath = dir + "/merged.pdf";
    const auto changeLast = [&] { if (change) WriteTempFile("safety-clock/three.pdf", ReadFile(locked) + "% changed\n"); };
    EXPECT_EQ(merge(job, "o", changeLast), change ? kMergeFailed : kMergeDone) << change;
    EXPECT_EQ(QpdfPages(job.OutputPath, "o"), change ? "" : "3\n");
  }

  std::string typo = SimplePdf(1);
  typo[typo.find("(Page 1)") + 1] = 'p';
  // What becomes of the changing input: its new bytes (none: it is removed) and bytes appended to
  // them; and the merge's result.
  const std::tuple<const char*, std::optional<std::string>, std::string, int> cases[] = {
      {"the same bytes", SimplePdf(1), "", kMergeDone},
      {"more pages", SimplePdf(3), "", kMergeFailed},
      {"as many pages, other bytes", SimplePdf(1), "% appended\n", kMergeFailed},
      {"one byte of a page's text", typo, "", kMergeFailed},
      {"removed", std::nullopt, "", kMergeFailed}};
  for (const bool streams : {false, true}) {
    const auto write = [&](const std::string& name, const std::string& bytes, const std::string& appended = "") {
      std::string path = WriteTempFile(name, bytes);
      if (streams) RunCommand("qpdf --object-streams=generate --deterministic-id --replace-input " + Quoted(path));
      return appended.empty() ? path : WriteTempFile(name, ReadFile(path) + appended);
    };
    for (const auto& [name, replacement, appended, result] : cases) {
      SCOPED_TRACE(std::string(name) + (streams ? " (object streams)" : ""));
      MergeJob changing;
      changing.Inputs = {{write("merge-stable.pdf", SimplePdf(2))}, {write("merge-changing.pdf", SimplePdf(1))}};
      changing.OutputPath = TempDir() + "/merge-changed-out.pdf";
      const auto changeLast = [&] { replacement ? (void)write("merge-changing.pdf", *replacement, appended) : (void)fs::remove(changing.Inputs[1].Path); };
      EXPECT_EQ(merge(changing, "", changeLast), result);
      EXPECT_EQ(changing.JobResultIndex, result == kMergeDone ? 3 : 1);
      if (result == kMergeDone) {
        EXPECT_TRUE(CheckWithQpdf(changing.OutputPath).Clean);
      }
      EXPECT_EQ(fs::exists(changing.OutputPath), result == kMergeDone);
      EXPECT_FALSE(HasStagingFile(TempDir()));
    }
  }
}

}  // namespace
}  // namespace folvex
