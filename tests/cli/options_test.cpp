// The folvex options as a user drives them: on a terminal (prompts without echo, asked twice for a
// new password, Ctrl+C at a prompt) and through pipes (passwords on standard input, global options
// before or after the command). Every written file is judged by qpdf and pdftotext.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <tuple>
#include <vector>

#include "tests/support/large_pdf.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::string Filled(std::string text, const std::string& key, const std::string& value) {
  for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  return text;
}

// Runs folvex with arguments on a pseudo-terminal columns wide, typing each answer when the output
// ends in a prompt (": "). A run still going 10 s after its last output is killed (exit code -1).
CommandResult OnTerminal(const std::string& arguments, const std::vector<std::string>& answers, int columns = 80) {
  int terminal = -1;
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  const pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + std::string(FOLVEX_CLI_PATH) + " " + arguments).c_str(), nullptr);
    _exit(127);
  }
  CommandResult result;
  std::size_t typed = 0;
  char buffer[512];
  for (pollfd ready{terminal, POLLIN, 0}; poll(&ready, 1, 10000) > 0;) {
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;
    result.Output.append(buffer, static_cast<std::size_t>(got));
    if (typed < answers.size() && result.Output.ends_with(": ")) {
      EXPECT_GT(write(terminal, answers[typed].data(), answers[typed].size()), 0);
      ++typed;
    }
  }
  int status = 0;
  if (waitpid(child, &status, WNOHANG) == 0) kill(child, SIGKILL);
  waitpid(child, &status, 0);
  close(terminal);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("qpdf") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or poppler missing";
    fs::remove_all(Dir);
    fs::create_directories(Dir + "/out");
    WriteTempFile("options/a.pdf", SimplePdf(3));
    // Opened by u; changes need the owner password o.
    ASSERT_TRUE(EncryptWithQpdf(Dir + "/a.pdf", Dir + "/locked.pdf", "u", "o", "256 --modify=none"));
    WriteTempFile("options/u.txt", "u\nsecond line\n");
    WriteTempFile("options/o.txt", "o\r\n");
  }
  // The files written into out/, after each run emptied.
  std::vector<std::string> TakeOutputs() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir + "/out")) names.push_back(entry.path().filename().string());
    for (const std::string& name : names) fs::rename(Dir + "/out/" + name, Dir + "/" + name);
    return names;
  }
  const std::string Dir = TempDir() + "/options";
};

// New passwords are asked twice without echo; a password is asked for once; Ctrl+C at any prompt
// cancels at once with status 5, and nothing is written.
TEST_F(Options, PromptsOnATerminal) {
  // The arguments ({d} the folder), what is typed, the status, what the terminal shows and the file written.
  for (const auto& [arguments, typed, status, shows, written] : {
           std::tuple<const char*, std::vector<std::string>, int, const char*, const char*>{
               "protect {d}/a.pdf --output-dir {d}/out", {"s3cret\r", "s3cret\r"}, 0, "Again: ", "a-s.pdf"},
           {"protect {d}/a.pdf --output-dir {d}/out", {"s3cret\r", "other\r"}, 1, "the two passwords typed differ", ""},
           {"protect {d}/a.pdf --output-dir {d}/out", {"\x03"}, 5, "Canceled: cancelled", ""},
           {"unprotect {d}/locked.pdf --output-dir {d}/out", {"\x03"}, 5, "Password: \r\n", ""},
           {"extract {d}/locked.pdf 2 -o {d}/out/e.pdf", {"\x03"}, 5, "Failure - Page Extract: cancelled", ""},
           {"extract {d}/locked.pdf 2 -o {d}/out/e.pdf", {"u\r", "u\r", "u\r"}, 6, "the owner password is needed", ""},
           {"unprotect {d}/locked.pdf --output-dir {d}/out", {"o\r"}, 0, "Done", "locked-r.pdf"}}) {
    SCOPED_TRACE(arguments + (" " + typed.front()));
    const CommandResult run = OnTerminal(Filled(arguments, "{d}", Dir), typed);
    EXPECT_EQ(run.ExitCode, status) << run.Output.substr(0, 2000);
    EXPECT_NE(run.Output.find(shows), std::string::npos) << run.Output.substr(0, 2000);
    EXPECT_EQ(run.Output.find("s3cret"), std::string::npos);  // no echo
    EXPECT_EQ(TakeOutputs(), (*written ? std::vector<std::string>{written} : std::vector<std::string>{}));
  }
  EXPECT_NE(CheckWithQpdf(Dir + "/a-s.pdf", "s3cret").Output.find("Supplied password is owner password"), std::string::npos);
  EXPECT_EQ(PdfText(Dir + "/locked-r.pdf"), PdfText(Dir + "/a.pdf"));
}

// The progress bar fills the terminal's width but its last column, is redrawn at most ten times a
// second, and counts a split's page files; --quiet leaves it out.
TEST_F(Options, ProgressBarOnATerminal) {
  WriteTempFile("options/big.pdf", LargePdf({3000, 0, 0}));
  for (const auto& [columns, quiet] : {std::pair{60, ""}, {132, ""}, {80, " --quiet"}}) {
    SCOPED_TRACE(columns);
    fs::remove_all(Dir + "/out");
    fs::create_directories(Dir + "/out");
    const auto start = std::chrono::steady_clock::now();
    const CommandResult run = OnTerminal("split " + Dir + "/big.pdf --output-dir " + Dir + "/out" + quiet, {}, columns);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(run.ExitCode, 0) << run.Output.substr(0, 2000);
    int draws = 0;
    bool countsFiles = false;
    for (std::size_t at = run.Output.find('\r'); at != std::string::npos; at = run.Output.find('\r', at + 1)) {
      const std::string line = run.Output.substr(at + 1, run.Output.find_first_of("\r\n", at + 1) - at - 1);
      if (line.find('%') == std::string::npos) continue;
      ++draws;
      EXPECT_EQ(line.size(), static_cast<std::size_t>(columns - 1)) << line;
      countsFiles = countsFiles || line.find("Writing page file ") != std::string::npos;
    }
    EXPECT_LE(draws, elapsed.count() / 100 + 2);
    EXPECT_EQ(draws > 1 && countsFiles, *quiet == '\0') << draws;
  }
}

// Global options go before or after the command; passwords come from files or standard input; the
// help names the words users type.
TEST_F(Options, PlacesAndPipes) {
  // The arguments ({d} the folder), the status and the whole output (or a part of it, when it ends in "...").
  for (const auto& [arguments, status, says] : {
           std::tuple<const char*, int, const char*>{"info {d}/absent.pdf --lang ja", 2, "X 不明\t{d}/absent.pdf\n"},
           {"--lang ja --quiet extract {d}/a.pdf 2 -o {d}/out/q.pdf", 0, ""},
           {"extract {d}/a.pdf 2 -o {d}/out/q.pdf --quiet --lang ja", 0, ""},
           {"extract {d}/a.pdf 2 -o {d}/out/q.pdf --lang ja", 0, "ページ抽出操作を完了しました\n"},
           {"extract --help", 0, "--layout WORD:{inherit,none,one-column,single,two-left,two-right}..."},
           {"split --help", 0, "--keep-annotations          Keep links, comments and form fields of the copied pages\n..."},
           {"merge {d}/a.pdf {d}/a.pdf -o {d}/out/k.pdf --keep-annotations --quiet", 0, ""},
           {"split {d}/a.pdf 3 --output-dir {d}/out --keep-annotations --quiet", 0, ""},
           {"unprotect {d}/locked.pdf --output-dir {d}/out --password-file - < {d}/o.txt", 0, "{d}/locked.pdf\tDone\t{d}/out/locked-r.pdf\nDone\n"},
           {"unprotect {d}/locked.pdf --output-dir {d}/out --password-file - < {d}/u.txt", 6,
            "folvex: {d}/locked.pdf: Failure - Remove Security: the owner password is needed to remove the protection..."},
           {"protect {d}/a.pdf --output-dir {d}/out --user-password-file - --owner-password-file {d}/o.txt < {d}/u.txt", 0, "Done..."}}) {
    SCOPED_TRACE(arguments);
    const std::string command = Filled(arguments, "{d}", Dir), input = command.find('<') == std::string::npos ? " </dev/null" : "";
    const CommandResult run = RunCommand(std::string(FOLVEX_CLI_PATH) + " " + command + " 2>&1" + input);
    EXPECT_EQ(run.ExitCode, status) << run.Output.substr(0, 2000);
    const std::string expected = Filled(says, "{d}", Dir);
    if (expected.ends_with("...")) {
      EXPECT_NE(run.Output.find(expected.substr(0, expected.size() - 3)), std::string::npos) << run.Output.substr(0, 2000);
    } else {
      EXPECT_EQ(run.Output, expected);
    }
    for (const std::string& name : TakeOutputs()) {
      EXPECT_TRUE(CheckWithQpdf(Dir + "/" + name, name == "a-s.pdf" ? "u" : "").Clean) << name;
    }
  }
  EXPECT_NE(CheckWithQpdf(Dir + "/a-s.pdf", "o").Output.find("Supplied password is owner password"), std::string::npos);
  EXPECT_EQ(PdfText(Dir + "/locked-r.pdf"), PdfText(Dir + "/a.pdf"));
}

}  // namespace
}  // namespace folvex
