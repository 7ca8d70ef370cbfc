// tomlet as a real process, launched the way the main program launches it: the list file it was
// handed is gone once it has read it, however the run ends; a PDF file named on the command line or
// in the list is never removed. The page files are judged by pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Quoted;

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Each case: the list file's first line (nullptr: no list file); whether the list file is in TMP
// (else "~tpfd" in the current directory, TMP unset); the PDF file the list or the command line
// names, under the case's folder, and its pages (0: it does not exist); the arguments (LIST: the
// list file's name, INPUT: the PDF file's path); the exit status; the pages written as page files.
TEST(TomletListFile, RemovedOnceReadAndNeverTheInput) {
  if (!testing::HaveTool("pdfinfo") || !testing::HaveTool("pdftotext")) GTEST_SKIP() << "poppler-utils missing";
  struct Case { const char* Title; const char* Words; bool TmpSet; const char* InputName; int InputPages; std::string Arguments;
                int Exit; std::vector<int> Pages; };
  const std::vector<Case> cases = {
      {"all pages", "/dw /p1 ", true, "doc.pdf", 3, "-Bu LIST", 0, {1, 2, 3}},
      {"one file of a run, keeping annotations", "/ka ", true, "doc.pdf", 3, "-Bc4242 LIST", 0, {1, 2, 3}},
      {"page input", "", true, "doc.pdf", 3, "--ranges 3,1 /us-Bp LIST", 0, {1, 3}},
      {"page input without a terminal to ask: cancelled", "", true, "doc.pdf", 3, "/jp-Bp LIST", 5, {}},
      {"a one-page file", "", true, "one.pdf", 1, "-Bc7 LIST", 3, {}},
      {"a missing file", "", true, "gone.pdf", 0, "-Bu LIST", 1, {}},
      {"without TMP, in the current directory", "/po ", false, "doc.pdf", 3, "-Bu LIST", 0, {1, 2, 3}},
      {"the path form", nullptr, true, "doc.pdf", 3, "-Auto INPUT", 0, {1, 2, 3}},
      {"the path form of page input, cancelled", nullptr, true, "doc.pdf", 3, "-Autop INPUT", 5, {}},
      {"a list-file form naming a PDF file: not a list", nullptr, true, "tmp/doc.pdf", 3, "-Bu doc.pdf", 1, {}},
      {"a run form without its window: no command", nullptr, true, "doc.pdf", 3, "-Bc INPUT", 1, {}},
  };
  const std::string root = testing::TempDir() + "/tomlet-list-file";
  std::filesystem::remove_all(root);
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title);
    const std::string folder = root + "/" + std::to_string(++index);
    const std::string tmp = folder + "/tmp";
    std::filesystem::create_directories(tmp);
    const std::string input = folder + "/" + c.InputName;
    const std::string bytes = c.InputPages > 0 ? testing::SimplePdf(c.InputPages) : std::string();
    if (c.InputPages > 0) std::ofstream(input, std::ios::binary) << bytes;
    const std::string listName = c.TmpSet ? "~tpfd00" + std::to_string(index) + ".tmp" : "~tpfd";
    const std::string listPath = (c.TmpSet ? tmp : folder) + "/" + listName;
    if (c.Words != nullptr) std::ofstream(listPath, std::ios::binary) << c.Words << "\n" << input << "\n";
    const std::set<std::string> before = NamesIn(folder);

    std::string arguments = c.Arguments;
    if (const std::size_t at = arguments.find("LIST"); at != std::string::npos) arguments.replace(at, 4, listName);
    if (const std::size_t at = arguments.find("INPUT"); at != std::string::npos) arguments.replace(at, 5, Quoted(input));
    const testing::CommandResult run = testing::RunCommand("cd " + Quoted(folder) + " && " + (c.TmpSet ? "TMP=" + Quoted(tmp) : "env -u TMP") +
                                                           " " + FOLVEX_TOMLET_PATH + " " + arguments + " </dev/null >/dev/null 2>&1");
    EXPECT_EQ(run.ExitCode, c.Exit);
    EXPECT_FALSE(c.Words != nullptr && std::filesystem::exists(listPath)) << "the list file is left";
    EXPECT_EQ(testing::ReadFile(input), bytes);

    std::set<std::string> expected = before;
    if (c.Words != nullptr && !c.TmpSet) expected.erase(listName);
    for (const int page : c.Pages) {
      const std::string name = "doc_" + std::to_string(page) + ".pdf";
      expected.insert(name);
      EXPECT_EQ(testing::PdfinfoPages(folder + "/" + name), 1) << name;
      EXPECT_EQ(testing::PageText(folder + "/" + name, 1), testing::PageText(input, page)) << name;
    }
    EXPECT_EQ(NamesIn(folder), expected);
    EXPECT_EQ(NamesIn(tmp).size(), std::string(c.InputName).starts_with("tmp/") ? 1u : 0u);
  }
}

}  // namespace
}  // namespace folvex
