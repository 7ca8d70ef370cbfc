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
using namespace testing;

// Producers and structures: pdfTeX with object streams, rotated and inherited page trees,
// inline images, damaged and repaired files, big object streams, linearized files, compact page
// dictionaries (/Parent 3 0 R>>), an /Info naming the page tree, a /Prev loop, incremental updates,
// page labels, annotations and forms.
const char* const kSample[] = {
    "local__libtasn1", "pdfjs__rotation", "pypdf__indirect-rotation", "qpdf__inline-images", "pysamples__habibi-rotated",
    "qpdf__big-ostream", "pdfjs__tracemonkey_a11y", "qpdf__append-page-content-damaged", "qpdf__lin1",
    "pypdf__GeoBase_NHNC1_Data_Model_UML_EN", "pdfjs__canvas", "pdfjs__issue3214", "pdfjs__pdkids", "pysamples__cmyk-image",
    "qpdf__append-xref-loop", "pysamples__reportlab-overlay", "pdfcpu__testRot", "qpdf__xref-compressed-in-compressed",
    "pdfjs__annotation-underline", "pdfjs__labelled_pages", "pdfcpu__viaIncrementalSave", "qpdf__manual-appearances-out"};

struct PageOf { std::string File; int Page = 0; };

// A written file: where it is, the password that opens it, and the source of each of its pages.
struct Written { std::string Path, Password; std::vector<PageOf> Pages; };

std::string Render(const std::string& path, int page, const std::string& password = "") {
  const std::string number = std::to_string(page), upw = password.empty() ? "" : " -upw " + Quoted(password);
  return RunCommand("pdftoppm -q -r 24 -hide-annotations" + upw + " -f " + number + " -l " + number + " " + Quoted(path)).Output;
}

// The 1-based pages whose dictionaries hold /Annots, from qpdf's JSON of the file.
std::set<int> AnnotatedPages(const std::string& path) {
  const std::string json = RunCommand("qpdf --json=2 --json-key=pages --json-key=qpdf " + Quoted(path) + " 2>/dev/null").Output;
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

// A value made once per key.
template <typename Key, typename Value, typename Make>
const Value& Once(std::map<Key, Value>& made, const Key& key, const Make& make) {
  auto [it, added] = made.try_emplace(key);
  if (added) it->second = make();
  return it->second;
}

// Runs the writers over the sample; what the outside programs say about an input is asked once.
class RealWorldWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("qpdf") || !HaveTool("pdftoppm") || !HaveTool("pdftotext")) GTEST_SKIP() << "qpdf or poppler missing";
    if (!fs::exists(RealWorldDir())) GTEST_SKIP() << "no real-world files";
    Folder = TempDir() + "/rw-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }

  static std::string Input(const char* name) { return RealWorldDir() + "/" + name + ".pdf"; }
  int Pages(const std::string& path) { return Once(PageCounts, path, [&] { return PdfinfoPages(path); }); }

  std::vector<PageOf> AllPagesOf(const std::string& file) {
    std::vector<PageOf> pages;
    for (int page = 1; page <= Pages(file); ++page) pages.push_back({file, page});
    return pages;
  }

  void Run(const std::string& arguments) {
    const CommandResult run = Folvex(arguments + " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << arguments << ": " << run.Output;
  }

  // The file's pages, then first, middle and last of them compared with their sources.
  void Expect(const Written& out) {
    SCOPED_TRACE(out.Path);
    const std::string password = out.Password.empty() ? "" : "--password=" + Quoted(out.Password) + " ";
    EXPECT_EQ(RunCommand("qpdf --show-npages " + password + Quoted(out.Path) + " 2>/dev/null").Output, std::to_string(out.Pages.size()) + "\n");
    bool inputsClean = true;
    for (const PageOf& source : out.Pages) {
      inputsClean = inputsClean && Once(CleanFiles, source.File, [&] { return CheckWithQpdf(source.File).Clean; });
    }
    const QpdfCheck check = CheckWithQpdf(out.Path, out.Password);
    EXPECT_TRUE(check.Clean || !inputsClean) << check.Output.substr(0, 2000);
    for (const std::size_t k : std::set<std::size_t>{0, out.Pages.size() / 2, out.Pages.size() - 1}) {
      const auto& [file, sourcePage] = out.Pages[k];
      const int page = static_cast<int>(k) + 1;
      SCOPED_TRACE("page " + std::to_string(page) + ", page " + std::to_string(sourcePage) + " of " + file);
      const std::string expected = Render(file, sourcePage);
      EXPECT_FALSE(expected.empty()) << "the source page does not render";
      EXPECT_TRUE(Render(out.Path, page, out.Password) == expected) << "the page looks different";
      if (Once(Annotated, file, [&] { return AnnotatedPages(file); }).count(sourcePage) != 0) continue;
      EXPECT_EQ(PageText(out.Path, page, out.Password), PageText(file, sourcePage));
    }
  }

  std::string Folder;
  std::map<std::string, int> PageCounts;
  std::map<std::string, bool> CleanFiles;
  std::map<std::string, std::set<int>> Annotated;
};

// The last page, the first two, the last again: reversed and repeated.
TEST_F(RealWorldWriters, Extract) {
  for (const char* name : kSample) {
    const std::string input = Input(name);
    const int count = Pages(input);
    if (count < 2) continue;
    const std::string output = Folder + "/" + name + ".pdf", last = std::to_string(count);
    ASSERT_NO_FATAL_FAILURE(Run("extract " + Quoted(input) + " " + last + ",1-2," + last + " -o " + Quoted(output)));
    Expect({output, "", {{input, count}, {input, 1}, {input, 2}, {input, count}}});
  }
}

// Small files whole; of larger ones the first two pages and the last, each a file of its own and
// nothing else in the folder.
TEST_F(RealWorldWriters, Split) {
  for (const char* name : kSample) {
    const std::string input = Input(name);
    const int count = Pages(input);
    if (count < 2) continue;
    const std::string out = Folder + "/" + name;
    fs::create_directories(out);
    const bool whole = count <= 6;
    ASSERT_NO_FATAL_FAILURE(Run("split " + Quoted(input) + (whole ? "" : " 1-2," + std::to_string(count)) +
                                " --output-dir " + Quoted(out)));
    std::size_t files = 0;
    for (int page = 1; page <= count; ++page) {
      if (!whole && page > 2 && page != count) continue;
      const std::string number = std::to_string(page), zeros(std::to_string(count).size() - number.size(), '0');
      Expect({out + "/" + name + "_" + zeros + number + ".pdf", "", {{input, page}}});
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
    std::vector<PageOf> pages = AllPagesOf(first), more = AllPagesOf(second);
    pages.insert(pages.end(), more.begin(), more.end());
    // The last page of the first input and the first of the second meet in the middle.
    Expect({output, "", pages});
    EXPECT_TRUE(Render(output, Pages(first) + 1) == Render(second, 1)) << output;
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
                                (aes ? " --aes256" : " --rc4")));
    aes = !aes;
    const std::string protectedCopy = Folder + "/" + name + "-s.pdf";
    ASSERT_NO_FATAL_FAILURE(Run("unprotect " + Quoted(protectedCopy) + " --password o"));
    const std::vector<PageOf> pages = AllPagesOf(Input(name));
    Expect({protectedCopy, "u", pages});
    Expect({Folder + "/" + name + "-s-r.pdf", "", pages});
  }
}

}  // namespace
}  // namespace folvex
