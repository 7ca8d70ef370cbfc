// The page count of every file of the real-world corpus against the count qpdf, pdfinfo and mutool
// agree on (expected.json beside the files), and its protection against qpdf's.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/reading/open_document.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// Where Folvex deliberately or knowingly differs from the outside tools (for files no outside tool
// opens, from -1): its own page count (-1: not read).
const std::map<std::string, int> kOwnCounts = {
    {"pdfjs__Pages-tree-refs.pdf", 1},  // a loop without pages next to one page, under /Count 2
    {"qpdf__deep-pages.pdf", -1},
    {"pdfjs__issue18986.pdf", 1},
};
// A damaged file whose trailer names an /Encrypt that the outside tools do not use.
const char* const kProtectedAlone = "pdfjs__issue15893_reduced.pdf";

// The text behind "key": up to the next comma, line end or brace, without quotes.
std::string Value(const std::string& text, const std::string& key, std::size_t from, std::size_t to) {
  const std::size_t at = text.find("\"" + key + "\": ", from);
  if (at >= to) return "";
  const std::size_t start = at + key.size() + 4;
  std::string value = text.substr(start, text.find_first_of(",\n}", start) - start);
  return value.empty() || value[0] != '"' ? value : value.substr(1, value.size() - 2);
}

TEST(RealWorldPages, EveryCountedFileHasTheOutsideToolsPageCount) {
  const std::string dir = testing::RealWorldDir();
  const std::string json = testing::ReadFile(dir + "/../expected.json");
  if (!std::filesystem::is_directory(dir) || json.empty()) GTEST_SKIP() << "no real-world files";
  int counted = 0;
  for (std::size_t at = json.find("\"file\": "); at != std::string::npos;) {
    const std::size_t next = json.find("\"file\": ", at + 1);
    const std::string name = Value(json, "file", at, next);
    const std::size_t expected = json.find("\"expected\": ", at);
    const std::string rule = Value(json, "rule", expected, next);
    const bool encrypted = Value(json, "is_encrypted", at, next) == "true";
    at = next;
    if (rule != "count" && rule != "password" && rule != "not-pdf") continue;
    SCOPED_TRACE(name);
    int pages = rule == "not-pdf" ? -1 : std::stoi(Value(json, "pages", expected, next));
    if (kOwnCounts.count(name) != 0) pages = kOwnCounts.at(name);
    EngineState state;
    const int ours = CountPages(state, dir + "/" + name);
    if (encrypted && ours == -1 && rule != "not-pdf") {
      // Cross-reference streams of a protected file are read only with its key.
      EXPECT_EQ(state.LastErrorCode, -1000);
    } else {
      EXPECT_EQ(ours, pages);
    }
    if (rule != "not-pdf") {
      EXPECT_EQ(state.EncryptRef.has_value(), encrypted || name == kProtectedAlone);
    }
    ++counted;
  }
  EXPECT_GT(counted, 700);
}

}  // namespace
}  // namespace folvex
