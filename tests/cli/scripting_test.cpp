// folvex as scripts and packagers use it, run as a process; outputs judged by qpdf, pdfinfo,
// pdftotext and Python.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using namespace testing;

std::string FreshFolder(const std::string& name) {
  const std::string folder = TempDir() + "/" + name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// The text pdftotext finds on each page, one string per page.
std::vector<std::string> PageTexts(const std::string& path) {
  std::vector<std::string> texts;
  for (int page = 1, count = PdfinfoPages(path); page <= count; ++page) {
    std::string text = PageText(path, page);
    text.erase(text.find_last_not_of("\n\f ") + 1);
    texts.push_back(text);
  }
  return texts;
}

// cmake --install puts the program, its manual page and its completion under the prefix; the
// manual page shows every command, and the completion offers commands, options and choices.
TEST(Install, ProgramManualPageAndCompletion) {
  if (!HaveTool("man") || !HaveTool("gzip")) GTEST_SKIP() << "man or gzip missing";
  const std::string prefix = FreshFolder("install"), build = fs::path(FOLVEX_CLI_PATH).parent_path().string();
  ASSERT_EQ(RunCommand("cmake --install " + Quoted(build) + " --prefix " + Quoted(prefix) + " >/dev/null").ExitCode, 0);
  const std::string version = Folvex("--version").Output;
  EXPECT_EQ(RunCommand(Quoted(prefix + "/bin/folvex") + " --version").Output, version);
  const std::string page = RunCommand("MANWIDTH=200 man -l " + Quoted(prefix + "/share/man/man1/folvex.1.gz") + " 2>&1").Output;
  for (const char* text : {"EXIT STATUS", "cancelled (Ctrl+C)", "EXAMPLES", "folvex info", "folvex extract [OPTIONS] INPUT RANGES", "folvex merge",
                           "folvex protect", "folvex unprotect", "folvex split", "--page-mode", "--pages", "--json",
                           "--keep-annotations"}) {
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
  EXPECT_NE(page.find(version.substr(0, version.size() - 1)), std::string::npos);
  const std::string completion = prefix + "/share/bash-completion/completions/folvex";
  for (const auto& [line, offered] : std::vector<std::pair<std::string, std::string>>{
           {"folvex me", "merge"}, {"folvex --l", "--lang"}, {"folvex --lang ", "en ja"}, {"folvex merge a.pdf --pag", "--pages --page-mode"},
           {"folvex info --j", "--json"}, {"folvex extract --layout two", "two-left two-right"},
           {"folvex protect --al", "--allow"}, {"folvex split x.pdf --output-d", "--output-dir"},
           {"folvex extract a.pdf 1 --ke", "--keep-annotations"}}) {
    SCOPED_TRACE(line);
    const std::string script = "source " + Quoted(completion) + "; COMP_WORDS=(" + line + (line.back() == ' ' ? "''" : "") +
                               "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _folvex; echo ${COMPREPLY[*]}";
    EXPECT_EQ(RunCommand("bash -c " + Quoted(script)).Output, offered + "\n");
  }
}

// info --json: one array, per file its path (any bytes: Python reads the path back to the same
// bytes), page count, protection and method, both languages' texts and an error; --password counts
// a protected file with object streams.
TEST(InfoJson, PythonReadsEveryKindOfFile) {
  if (!HaveTool("qpdf") || !HaveTool("python3")) GTEST_SKIP() << "qpdf or python3 missing";
  const std::string dir = FreshFolder("info-json"), plain = WriteTempFile("info-json/plain.pdf", SimplePdf(3));
  for (const auto& [name, arguments] : std::vector<std::pair<std::string, std::string>>{
           {"rc4-40", "40"}, {"rc4-128", "128 --use-aes=n"}, {"aes-128", "128 --use-aes=y"}, {"aes-256", "256"}}) {
    ASSERT_TRUE(EncryptWithQpdf(plain, dir + "/" + name + ".pdf", "", "owner", arguments));
  }
  ASSERT_EQ(RunCommand("qpdf --object-streams=generate --encrypt user owner 256 -- " + Quoted(plain) + " " +
                       Quoted(dir + "/streams.pdf")).ExitCode, 0);
  WriteTempFile("info-json/notes.txt", "not a PDF file");
  const std::string odd = dir + "/a\"b\\c\x01\xff.pdf";
  fs::copy_file(plain, odd);
  const std::string files = "plain.pdf rc4-40.pdf rc4-128.pdf aes-128.pdf aes-256.pdf streams.pdf notes.txt missing.pdf " + Quoted(odd);
  const std::string reader = "import json, os, sys\nfor o in json.load(sys.stdin):\n"
                             "  print(os.path.basename(os.fsencode(o['path'])) == os.path.basename(os.fsencode(sys.argv[1])),"
                             " o['pages'], o['protected'], o['method'], o['state']['en'], o['state']['ja'], o['error'] is None)\n";
  const std::string read = " | python3 -c " + Quoted(reader) + " " + Quoted(odd);
  const CommandResult run = RunCommand("cd " + Quoted(dir) + " && " + FOLVEX_CLI_PATH + " info --json " + files + read);
  EXPECT_EQ(run.Output,
            "False 3 False None 3 3 True\nFalse 3 True RC4 40 3 Encrypted 3 暗号化 True\n"
            "False 3 True RC4 128 3 Encrypted 3 暗号化 True\nFalse 3 True AES 128 3 Encrypted 3 暗号化 True\n"
            "False 3 True AES 256 3 Encrypted 3 暗号化 True\nFalse None True AES 256 Encrypted 暗号化 False\n"
            "False None False None X Not PDF? X 未対応 False\nFalse None False None X Not Found X 不明 False\n"
            "True 3 False None 3 3 True\n");
  const std::string withPassword = "cd " + Quoted(dir) + " && " + FOLVEX_CLI_PATH + " info --json --password user streams.pdf";
  EXPECT_EQ(RunCommand(withPassword + read).Output, "False 3 True AES 256 3 Encrypted 3 暗号化 True\n");
  EXPECT_EQ(RunCommand(withPassword + " >/dev/null").ExitCode, 0);
}

// z (the last page) and rN (the N-th from the end) wherever a page number stands, in extract, split
// and each input's --pages of merge (its outline items kept for the pages written); a page before
// the first or a malformed one fails, writing nothing.
TEST(PagesFromTheEnd, ExtractSplitAndMergePerInput) {
  if (!HaveTool("qpdf") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string dir = FreshFolder("from-end");
  WriteTempFile("from-end/six.pdf", SimplePdf(6));
  WriteTempFile("from-end/three.pdf", SimplePdf(3));
  struct Case {
    std::string Arguments;
    int Exit;
    std::vector<std::string> Pages;  // of out.pdf; none: no file
  };
  for (const Case& c : std::vector<Case>{
           {"extract six.pdf z", 0, {"Page 6"}},
           {"extract six.pdf r2-z,1,z-r6", 0, {"Page 5", "Page 6", "Page 1", "Page 6", "Page 5", "Page 4", "Page 3", "Page 2", "Page 1"}},
           {"merge six.pdf --pages r3-z three.pdf", 0, {"Page 4", "Page 5", "Page 6", "Page 1", "Page 2", "Page 3"}},
           {"merge three.pdf --pages z,1 six.pdf --pages 2 three.pdf --pages r3", 0, {"Page 3", "Page 1", "Page 2", "Page 1"}},
           {"extract six.pdf r7", 1, {}}, {"extract six.pdf zz", 1, {}}, {"extract six.pdf 2z", 1, {}}, {"extract six.pdf r", 1, {}},
           {"merge six.pdf three.pdf --pages r4", 1, {}}, {"merge --pages 1 six.pdf three.pdf", 1, {}},
           {"merge six.pdf --pages 1 --pages 2 three.pdf", 1, {}}}) {
    SCOPED_TRACE(c.Arguments);
    fs::remove(dir + "/out.pdf");
    const CommandResult run = RunCommand("cd " + Quoted(dir) + " && " + FOLVEX_CLI_PATH + " " + c.Arguments + " -o out.pdf --quiet 2>&1");
    EXPECT_EQ(run.ExitCode, c.Exit) << run.Output.substr(0, 500);
    EXPECT_EQ(fs::exists(dir + "/out.pdf"), !c.Pages.empty());
    if (c.Pages.empty()) continue;
    EXPECT_TRUE(CheckWithQpdf(dir + "/out.pdf").Clean);
    EXPECT_EQ(PageTexts(dir + "/out.pdf"), c.Pages);
  }
  EXPECT_EQ(RunCommand("cd " + Quoted(dir) + " && " + FOLVEX_CLI_PATH + " split six.pdf r2-z --quiet && ls six_*").Output,
            "six_5.pdf\nsix_6.pdf\n");
  // The outline keeps the items of the pages written: those of the second of a real file's two pages
  // (under an empty entry for their level-one parent on page one), none of six.pdf's.
  const std::string real = RealWorldDir() + "/pdfjs__bug1997343.pdf";
  if (!fs::exists(real) || !HaveTool("mutool")) return;
  ASSERT_EQ(Folvex("merge " + Quoted(real) + " --pages z " + Quoted(dir + "/six.pdf") + " --pages 1 --outlines keep -o " +
                   Quoted(dir + "/out.pdf")).ExitCode, 0);
  EXPECT_EQ(RunCommand("mutool show " + Quoted(dir + "/out.pdf") + " outline | grep -o '\"[^\"]*\"'").Output,
            "\"\"\n\"Figures and Tables\"\n\"Theorems\"\n\"Verbatim\"\n\"Citations\"\n");
}

// "-" as an input reads standard input and "-o -" writes standard output, through files in a
// private temporary folder that is gone afterwards; a failure writes nothing to standard output.
TEST(StandardStreams, InputAndOutputAsFiles) {
  if (!HaveTool("qpdf") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or poppler missing";
  const std::string dir = FreshFolder("streams");
  WriteTempFile("streams/six.pdf", SimplePdf(6));
  WriteTempFile("streams/notes.txt", "not a PDF file");
  struct Case {
    std::string Command;
    int Exit;
    std::vector<std::string> Pages;  // of standard output, or of out.pdf for an output that is a file
  };
  for (const Case& c : std::vector<Case>{
           {"extract - 2,z -o - <six.pdf >stdout.pdf", 0, {"Page 2", "Page 6"}},
           {"extract six.pdf 1 -o - >stdout.pdf", 0, {"Page 1"}},
           {"merge six.pdf --pages 1 - --pages z -o out.pdf <six.pdf", 0, {"Page 1", "Page 6"}},
           {"extract - 9 -o - <six.pdf >stdout.pdf", 1, {}}, {"extract - 1 -o - <notes.txt >stdout.pdf", 3, {}},
           {"merge - - -o - <six.pdf >stdout.pdf", 1, {}},
           {"extract - 1 --password-file - -o out.pdf <six.pdf", 1, {}}}) {
    SCOPED_TRACE(c.Command);
    const std::string temporary = FreshFolder("streams-tmp");
    fs::remove(dir + "/out.pdf");
    fs::remove(dir + "/stdout.pdf");
    const CommandResult run = RunCommand("cd " + Quoted(dir) + " && TMPDIR=" + Quoted(temporary) + " " + FOLVEX_CLI_PATH +
                                         " " + c.Command + " 2>/dev/null");
    EXPECT_EQ(run.ExitCode, c.Exit);
    EXPECT_TRUE(fs::is_empty(temporary));
    const std::string written = dir + (fs::exists(dir + "/out.pdf") ? "/out.pdf" : "/stdout.pdf");
    if (c.Pages.empty()) {
      EXPECT_TRUE(!fs::exists(written) || fs::file_size(written) == 0);
      continue;
    }
    EXPECT_TRUE(CheckWithQpdf(written).Clean);
    EXPECT_EQ(PageTexts(written), c.Pages);
  }
}

}  // namespace
}  // namespace folvex
