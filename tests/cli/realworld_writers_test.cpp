// Every writer over a fixed sample of real files, judged by qpdf and poppler: the page count, a
// qpdf --check no worse than the inputs', and each compared page rendered (annotations hidden on
// both sides, since copied pages leave them out) and, for a source page without /Annots, read as
// text exactly like its source page.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

namespace fs = std::filesystem;
using testing::Folvex;
using testing::Quoted;
using testing::RunCommand;

// Producers and structures: pdfTeX with object streams, rotated and inherited page trees,
// inline images, damaged and repaired files, big object streams, linearized files, compact page
// dictionaries (/Parent 3 0 R>>), an /Info naming the page tree, a /Prev loop, incremental updates,
// page labels, annotations and forms.
const char* const kSample[] = {
    "local__libtasn1", "pdfjs__rotation", "pypdf__indirect-rotation", "qpdf__inline-images",
    "pysamples__habibi-rotated", "qpdf__big-ostream", "pdfjs__tracemonkey_a11y",
    "qpdf__append-page-content-damaged", "qpdf__lin1", "pypdf__GeoBase_NHNC1_Data_Model_UML_EN",
    "pdfjs__canvas", "pdfjs__issue3214", "pdfjs__pdkids", "pysamples__cmyk-image", "qpdf__append-xref-loop",
    "pysamples__reportlab-overlay", "pdfcpu__testRot", "qpdf__xref-compressed-in-compressed",
    "pdfjs__annotation-underline", "pdfjs__labelled_pages", "pdfcpu__viaIncrementalSave",
    "qpdf__manual-appearances-out",
};

struct PageOf {
  std::string File;
  int Page = 0;
};

// A written file: where it is, the password that opens it, and the source of each of its pages.
struct Written {
  std::string Path;
  std::string Password;
  std::vector<PageOf> Pages;
};

// What the outside programs say about a file and its pages, asked once per file.
class Judge {
 public:
  int Pages(const std::string& path) {
    auto [it, added] = PageCounts.try_emplace(path, 0);
    if (added) it->second = testing::PdfinfoPages(path);
    return it->second;
  }

  bool Clean(const std::string& path) {
    auto [it, added] = CleanFiles.try_emplace(path, false);
    if (added) it->second = testing::CheckWithQpdf(path).Clean;
    return it->second;
  }

  const std::string& Rendered(const std::string& path, int page) {
    auto [it, added] = Renders.try_emplace({path, page});
    if (added) it->second = Render(path, page, "");
    return it->second;
  }

  const std::string& Text(const std::string& path, int page) {
    auto [it, added] = Texts.try_emplace({path, page});
    if (added) it->second = testing::PageText(path, page);
    return it->second;
  }

  // The 1-based pages whose dictionaries hold /Annots, from qpdf's JSON of the file.
  bool HasAnnotations(const std::string& path, int page) {
    auto [it, added] = Annotated.try_emplace(path);
    if (added) it->second = AnnotatedPages(path);
    return it->second.count(page) != 0;
  }

  static std::string Render(const std::string& path, int page, const std::string& password) {
    const auto number = std::to_string(page);
    const std::string upw = password.empty() ? "" : " -upw " + Quoted(password);
    return RunCommand("pdftoppm -q -r 24 -hide-annotations" + upw + " -f " + number + " -l " + number + " " + Quoted(path))
        .Output;
  }

  // The file's pages, then first, middle and last of them compared with their sources.
  void Expect(const Written& out) {
    SCOPED_TRACE(out.Path);
    const std::string upw = out.Password.empty() ? "" : " -upw " + Quoted(out.Password);
    const testing::CommandResult info = RunCommand("pdfinfo" + upw + " " + Quoted(out.Path) + " 2>/dev/null");
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info.Output, pages, std::regex("Pages: +([0-9]+)"))) << info.Output;
    EXPECT_EQ(std::stoi(pages[1]), static_cast<int>(out.Pages.size()));

    bool inputsClean = true;
    for (const PageOf& source : out.Pages) inputsClean = inputsClean && Clean(source.File);
    const testing::QpdfCheck check = testing::CheckWithQpdf(out.Path, out.Password);
    EXPECT_TRUE(check.Clean || !inputsClean) << check.Output.substr(0, 2000);

    const std::size_t n = out.Pages.size();
    std::set<std::size_t> compared = {0, n / 2, n - 1};
    for (const std::size_t k : compared) {
      const PageOf& source = out.Pages[k];
      const int page = static_cast<int>(k) + 1;
      const std::string& expected = Rendered(source.File, source.Page);
      EXPECT_FALSE(expected.empty()) << source.File << " page " << source.Page << " does not render";
      EXPECT_TRUE(Render(out.Path, page, out.Password) == expected)
          << "page " << page << " does not look like page " << source.Page << " of " << source.File;
      if (HasAnnotations(source.File, source.Page)) continue;
      EXPECT_EQ(testing::PageText(out.Path, page, out.Password), Text(source.File, source.Page))
          << "page " << page << " of " << source.File << " page " << source.Page;
    }
  }

 private:
  static std::set<int> AnnotatedPages(const std::string& path) {
    const std::string json =
        RunCommand("qpdf --json=2 --json-key=pages --json-key=qpdf " + Quoted(path) + " 2>/dev/null").Output;
    std::set<int> pages;
    const std::regex pageObject("\"object\": \"([0-9]+ [0-9]+ R)\",[^}]*\"pageposfrom1\": ([0-9]+)");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), pageObject); it != std::sregex_iterator(); ++it) {
      const std::size_t at = json.find("\"obj:" + (*it)[1].str() + "\": {");
      if (at == std::string::npos) continue;
      const std::size_t next = json.find("\n      \"obj:", at + 1);
      const std::string body = json.substr(at, next == std::string::npos ? std::string::npos : next - at);
      if (body.find("\n          \"/Annots\":") != std::string::npos) pages.insert(std::stoi((*it)[2].str()));
    }
    return pages;
  }

  std::map<std::string, int> PageCounts;
  std::map<std::string, bool> CleanFiles;
  std::map<std::pair<std::string, int>, std::string> Renders;
  std::map<std::pair<std::string, int>, std::string> Texts;
  std::map<std::string, std::set<int>> Annotated;
};

class RealWorldWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveTool("qpdf") || !testing::HaveTool("pdftoppm") || !testing::HaveTool("pdftotext")) {
      GTEST_SKIP() << "qpdf or poppler missing";
    }
    if (!fs::exists(testing::RealWorldDir())) GTEST_SKIP() << "no real-world files";
    Folder = testing::TempDir() + "/rw-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }

  static std::string Input(const char* name) { return testing::RealWorldDir() + "/" + name + ".pdf"; }

  std::vector<PageOf> AllPagesOf(const std::string& file) {
    std::vector<PageOf> pages;
    for (int page = 1; page <= Oracles.Pages(file); ++page) pages.push_back({file, page});
    return pages;
  }

  void Run(const std::string& arguments) {
    const testing::CommandResult run = Folvex(arguments + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << arguments << ": " << run.Output;
  }

  std::string Folder;
  Judge Oracles;
};

// folvex info counts the pages of files from many producers as pdfinfo does, one line each.
TEST_F(RealWorldWriters, Info) {
  std::string arguments, expected;
  for (const char* name : kSample) {
    arguments += " " + Quoted(Input(name));
    expected += std::to_string(Oracles.Pages(Input(name))) + "\t" + Input(name) + "\n";
  }
  const testing::CommandResult run = RunCommand(std::string(FOLVEX_CLI_PATH) + " info" + arguments);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, expected);
}

// The last page, the first two, the last again: reversed and repeated.
TEST_F(RealWorldWriters, Extract) {
  for (const char* name : kSample) {
    const std::string input = Input(name);
    const int count = Oracles.Pages(input);
    if (count < 2) continue;
    const std::string output = Folder + "/" + name + ".pdf";
    const std::string last = std::to_string(count);
    ASSERT_NO_FATAL_FAILURE(Run("extract " + Quoted(input) + " " + last + ",1-2," + last + " -o " + Quoted(output)));
    Oracles.Expect({output, "", {{input, count}, {input, 1}, {input, 2}, {input, count}}});
  }
}

// Small files whole; of larger ones the first two pages and the last, each a file of its own and
// nothing else in the folder.
TEST_F(RealWorldWriters, Split) {
  for (const char* name : kSample) {
    const std::string input = Input(name);
    const int count = Oracles.Pages(input);
    if (count < 2) continue;
    const std::string out = Folder + "/" + name;
    fs::create_directories(out);
    const bool whole = count <= 6;
    ASSERT_NO_FATAL_FAILURE(Run("split " + Quoted(input) + (whole ? "" : " 1-2," + std::to_string(count)) +
                                " --output-dir " + Quoted(out)));
    const int digits = static_cast<int>(std::to_string(count).size());
    std::size_t files = 0;
    for (int page = 1; page <= count; ++page) {
      if (!whole && page > 2 && page != count) continue;
      std::string number = std::to_string(page);
      number.insert(0, static_cast<std::size_t>(digits) - number.size(), '0');
      Oracles.Expect({out + "/" + name + "_" + number + ".pdf", "", {{input, page}}});
      ++files;
    }
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(out), fs::directory_iterator())), files);
  }
}

// Each file behind its neighbour in the sample, and one file behind itself.
TEST_F(RealWorldWriters, Merge) {
  const std::size_t n = std::size(kSample);
  for (std::size_t k = 0; k <= n; ++k) {
    const std::string first = Input(kSample[k % n]);
    const std::string second = Input(kSample[k == n ? 0 : (k + 1) % n]);
    const std::string output = Folder + "/merged-" + std::to_string(k) + ".pdf";
    ASSERT_NO_FATAL_FAILURE(Run("merge " + Quoted(first) + " " + Quoted(second) + " -o " + Quoted(output)));
    std::vector<PageOf> pages = AllPagesOf(first);
    const std::vector<PageOf> more = AllPagesOf(second);
    pages.insert(pages.end(), more.begin(), more.end());
    // The last page of the first input and the first of the second meet in the middle.
    Oracles.Expect({output, "", pages});
    const std::size_t seam = static_cast<std::size_t>(Oracles.Pages(first));
    EXPECT_TRUE(Judge::Render(output, static_cast<int>(seam) + 1, "") == Oracles.Rendered(second, 1)) << output;
  }
}

// A protected copy (RC4 128-bit and AES-256 by turns) opens with the user password, and its
// unprotected copy shows the pages of the original.
TEST_F(RealWorldWriters, ProtectAndUnprotect) {
  bool aes = false;
  for (const char* name : kSample) {
    const std::string input = Folder + "/" + name + ".pdf";
    fs::copy_file(Input(name), input);
    ASSERT_NO_FATAL_FAILURE(Run("protect " + Quoted(input) + " --user-password u --owner-password o" +
                                (aes ? " --aes256" : "")));
    aes = !aes;
    const std::string protectedCopy = Folder + "/" + name + "-s.pdf";
    ASSERT_NO_FATAL_FAILURE(Run("unprotect " + Quoted(protectedCopy) + " --password o"));
    const std::vector<PageOf> pages = AllPagesOf(Input(name));
    Oracles.Expect({protectedCopy, "u", pages});
    Oracles.Expect({Folder + "/" + name + "-s-r.pdf", "", pages});
  }
}

}  // namespace
}  // namespace folvex
