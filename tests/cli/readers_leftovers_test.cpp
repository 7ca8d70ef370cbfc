// Files other readers open although they bend the rules: a catalog or page tree without /Type, pages
// written directly in /Kids, an /O or /U shorter than 32 bytes, streams that name their own crypt
// filter, a damaged file whose page tree lies in object streams. Copies of them must read cleanly everywhere.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::Folvex;
using testing::Quoted;

// Each file merged with itself: both copies of its first page show it, and the merged file reads
// without a warning from qpdf (a page copied without /Type gets one), with the input's password
// where the output is protected as the input was.
TEST(ReadersLeftovers, RealFilesMergeIntoCleanCopies) {
  const std::string dir = testing::RealWorldDir();
  if (!testing::HaveTool("qpdf") || testing::ReadFile(dir + "/qpdf__catalgg.pdf").empty()) {
    GTEST_SKIP() << "no qpdf or no real-world files";
  }
  struct File {
    const char* Name;
    const char* Password;
    const char* Text;  // the page's text where poppler cannot read the input (it gives up on direct pages)
    bool DamagedPage = false;  // the page dictionary, copied as it stands, has qpdf's warnings
  };
  const File files[] = {
      {"qpdf__catalgg.pdf", "", nullptr},                // /Type /Catalgg
      {"qpdf__no-pages-types.pdf", "", nullptr},         // neither the root node nor the page has /Type
      {"pdfjs__issue5334.pdf", "", nullptr},             // a catalog of /Pages alone
      {"qpdf__direct-pages.pdf", "", "Potato"},          // page dictionaries written in /Kids
      {"qpdf__short-O-U.pdf", "19723102477", nullptr},  // AES-128 with a 16-byte /U
      // An untyped catalog named by a cross-reference stream that does not inflate, a page tree
      // only in object streams, objects that lost their ends
      {"qpdf__fuzz-16214.pdf", "", nullptr, true},
  };
  for (const auto& [name, password, text, damagedPage] : files) {
    SCOPED_TRACE(name);
    const std::string input = dir + "/" + name;
    const std::string output = testing::TempDir() + "/merged-" + name;
    const std::string passwordOption = *password == 0 ? "" : " --password " + std::string(password);
    const auto run = Folvex("merge " + Quoted(input) + " " + Quoted(input) + " -o " + Quoted(output) + passwordOption +
                            " --quiet");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const testing::QpdfCheck check = testing::CheckWithQpdf(output, password);
    if (damagedPage) {
      const std::regex otherWarning(R"(WARNING: (?!.*(dictionary key|unknown token)).*)");
      EXPECT_FALSE(std::regex_search(check.Output, otherWarning)) << check.Output.substr(0, 400);
      EXPECT_NE(check.Output.find("operation succeeded"), std::string::npos);
    } else {
      EXPECT_TRUE(check.Clean) << check.Output.substr(0, 400);
    }
    for (int page : {1, 2}) {
      // pdftoppm is given no password: a protected copy is compared by its text.
      if (text == nullptr) {
        testing::ExpectSamePage(output, page, input, 1, password, *password == 0);
      } else {
        EXPECT_EQ(testing::PageText(output, page).find(text), 0u);
      }
    }
  }
}

// A file protected with AES-128 whose update adds streams that name the Identity crypt filter
// (their data is stored plain): the unprotected copy keeps their data and loses the /Crypt filter
// and its decode parameters, which no longer apply.
TEST(ReadersLeftovers, UnprotectedCopiesLoseTheCryptFilter) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "no qpdf";
  const std::string plain = testing::WriteTempFile("crypt-plain.pdf", testing::SimplePdf(2));
  const std::string input = testing::TempDir() + "/crypt-filters.pdf";
  ASSERT_TRUE(testing::EncryptWithQpdf(plain, input, "u", "o", "128 --use-aes=y"));
  std::string text = testing::ReadFile(input);
  std::smatch root, id, encrypt, size;
  ASSERT_TRUE(std::regex_search(text, root, std::regex(R"(/Root (\d+) 0 R)")));
  ASSERT_TRUE(std::regex_search(text, id, std::regex(R"(/ID ?\[[^\]]*\])")));
  ASSERT_TRUE(std::regex_search(text, encrypt, std::regex(R"(/Encrypt \d+ 0 R)")));
  ASSERT_TRUE(std::regex_search(text, size, std::regex(R"(/Size (\d+))")));
  const std::string catalog = root[1], encryptEntry = encrypt[0], idEntry = id[0];
  const int first = std::stoi(size[1]);
  const std::size_t previous = text.rfind("startxref");
  const std::string previousXref = text.substr(previous + 10, text.find_first_of("\r\n", previous + 10) - previous - 10);
  const std::string metadata = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">plain metadata</x:xmpmeta>";
  const std::string pieceData = "q 1 0 0 1 0 0 cm Q";
  struct Added {
    int Number;
    std::string Body;
  };
  const Added added[] = {
      {first, "<< /Type /Metadata /Subtype /XML /Filter /Crypt /DecodeParms << /Name /Identity >> /Length " +
                  std::to_string(metadata.size()) + " >>\nstream\n" + metadata + "\nendstream"},
      {first + 1, "<< /Filter [/Crypt /ASCIIHexDecode] /DecodeParms [<< /Name /Identity >> null] /Length " +
                      std::to_string(pieceData.size() * 2 + 1) + " >>\nstream\n" + [&] {
                        std::string hex;
                        for (unsigned char c : pieceData) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15];
                        return hex + ">";
                      }() + "\nendstream"},
      {std::stoi(catalog), "<< /Type /Catalog /Pages 2 0 R /Metadata " + std::to_string(first) + " 0 R /Piece " +
                               std::to_string(first + 1) + " 0 R >>"},
  };
  std::string update = "xref\n0 1\n0000000000 65535 f \n";
  for (const Added& object : added) {
    char row[32];
    std::snprintf(row, sizeof row, "%d 1\n%010zu 00000 n \n", object.Number, text.size());
    update += row;
    text += std::to_string(object.Number) + " 0 obj\n" + object.Body + "\nendobj\n";
  }
  const std::size_t xref = text.size();
  text += update + "trailer\n<< /Size " + std::to_string(first + 2) + " /Root " + catalog + " 0 R " + encryptEntry + " " +
          idEntry + " /Prev " + previousXref + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  const std::string updated = testing::WriteTempFile("crypt-filters-updated.pdf", text);
  ASSERT_TRUE(testing::CheckWithQpdf(updated, "o").Clean);

  const auto run = Folvex("unprotect " + Quoted(updated) + " --password o --quiet");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string output = testing::TempDir() + "/crypt-filters-updated-r.pdf";
  const std::string written = testing::ReadFile(output);
  EXPECT_EQ(written.find("/Crypt"), std::string::npos);
  EXPECT_EQ(written.find("/Identity"), std::string::npos);
  EXPECT_NE(written.find("/Filter [/ASCIIHexDecode] /DecodeParms [null]"), std::string::npos);
  const testing::QpdfCheck check = testing::CheckWithQpdf(output);
  EXPECT_TRUE(check.Clean) << check.Output.substr(0, 400);
  const auto shown = [&](int number) {
    return testing::RunCommand("qpdf --show-object=" + std::to_string(number) + " --filtered-stream-data " + Quoted(output))
        .Output;
  };
  EXPECT_EQ(shown(first), metadata);
  EXPECT_EQ(shown(first + 1), pieceData);
}

}  // namespace
}  // namespace folvex
