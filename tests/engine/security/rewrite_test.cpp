#include "engine/security/rewrite.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/core/document_texts.h"
#include "engine/reading/pdf_strings.h"
#include "engine/security/standard_handler.h"
#include "tests/support/oracles.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::CheckWithQpdf;
using testing::HaveTool;
using testing::PdfText;
using testing::PdfWriter;
using testing::WriteTempFile;

// The parameters ProtectFile makes for user password "u" and owner password "o".
std::vector<Byte> SetUpProtection(EngineState& state) {
  SecurityParameters& p = state.Security;
  p = SecurityParameters{};
  p.EncryptVersion = 2;
  p.EncryptRevision = 3;
  p.KeyLength = 16;
  p.Permissions = -3904;
  const auto owner = ComputeOwnerEntry("o", "u", 3, 16);
  p.OwnerEntry.assign(owner.begin(), owner.end());
  p.FileId = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
  const auto user = ComputeUserEntry(3, "u", p);
  p.UserEntry.assign(user.begin(), user.end());
  return p.FileKey;
}

std::string Text(const FileImage& image) {
  return std::string(reinterpret_cast<const char*>(image.Begin()), image.Size());
}

// A one-page document whose objects carry the given numbers: catalog, pages, page, contents.
std::string PageDocument(const std::array<int, 4>& n) {
  PdfWriter w;
  const std::string ref = " 0 R";
  w.Object(n[0], "<< /Type /Catalog /Pages " + std::to_string(n[1]) + ref + " >>");
  w.Object(n[1], "<< /Type /Pages /Kids [" + std::to_string(n[2]) + ref + "] /Count 1 >>");
  w.Object(n[2], "<< /Type /Page /Parent " + std::to_string(n[1]) + ref + " /MediaBox [0 0 200 200] /Contents " +
                     std::to_string(n[3]) + ref +
                     " /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
  w.Stream(n[3], "", "BT /F1 12 Tf 20 100 Td (Hello rewrite) Tj ET");
  w.Finish("/Root " + std::to_string(n[0]) + " 0 R");
  return w.Bytes();
}

TEST(RewriteWithKey, TableWrittenByObjectNumber) {
  const struct {
    const char* Name;
    std::array<int, 4> Numbers;
    const char* Header;
    const char* Encrypt;
    std::vector<int> Free;
  } cases[] = {
      {"numbered without gaps", {1, 2, 3, 4}, "xref\n0 6\n", "/Encrypt 5 0 R", {}},
      {"numbered with gaps", {1, 3, 4, 7}, "xref\n0 9\n", "/Encrypt 8 0 R", {2, 5, 6}},
  };
  for (const auto& test : cases) {
    EngineState state;
    const std::vector<Byte> key = SetUpProtection(state);
    FileImage image = testing::ImageOf(PageDocument(test.Numbers));
    ASSERT_EQ(TransformDocument(state, image, key, true), 0) << test.Name;
    const std::string text = Text(image);
    const std::size_t xref = text.rfind("\nxref\n") + 1;
    ASSERT_NE(xref, std::string::npos);
    EXPECT_EQ(text.substr(xref, std::string(test.Header).size()), test.Header) << test.Name;
    EXPECT_NE(text.find(test.Encrypt), std::string::npos) << test.Name;
    for (int number : test.Free) {
      const std::size_t line = xref + std::string(test.Header).size() + 20 * static_cast<std::size_t>(number);
      EXPECT_EQ(text.substr(line, 20), "0000000000 65535 f \n") << test.Name << " object " << number;
    }
    EXPECT_NE(text.find("/ID [<A0A1A2A3A4A5A6A7A8A9AAABACADAEAF><A0A1A2A3A4A5A6A7A8A9AAABACADAEAF>]"),
              std::string::npos);
    if (HaveTool("qpdf") && HaveTool("pdftotext")) {
      const std::string path = WriteTempFile(std::string("rewrite-") + test.Name + ".pdf", text);
      const auto check = CheckWithQpdf(path, "u");
      EXPECT_TRUE(check.Clean) << test.Name << "\n" << check.Output;
      EXPECT_NE(PdfText(path, "u").find("Hello rewrite"), std::string::npos) << test.Name;
    }

    // Unprotecting drops /Encrypt, which becomes a free entry, and the table keeps its numbering.
    state.Security.EncryptObjectNumber = test.Numbers[3] + 1;
    ASSERT_EQ(TransformDocument(state, image, key, false), 0) << test.Name;
    const std::string plain = Text(image);
    const std::size_t plainXref = plain.rfind("\nxref\n") + 1;
    const int size = test.Numbers[3] + 2;
    const std::string header = "xref\n0 " + std::to_string(size) + "\n";
    EXPECT_EQ(plain.substr(plainXref, header.size()), header) << test.Name;
    EXPECT_EQ(plain.substr(plainXref + header.size() + 20 * static_cast<std::size_t>(size - 1), 20),
              "0000000000 65535 f \n")
        << "the dropped /Encrypt";
    EXPECT_EQ(plain.find("/Encrypt"), std::string::npos);
    EXPECT_NE(plain.find("(Hello rewrite)"), std::string::npos) << "the contents are plain again";
  }
}

TEST(RewriteWithKey, StringsAreDecodedEncryptedAndWrittenBack) {
  EngineState state;
  const std::vector<Byte> key = SetUpProtection(state);
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R /Extra 9 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
  w.Object(9, "<< /A (a\\)b) /B <48656c6c6f> /C (line\r\nend) /D (oct\\101\\\nal) /E [(x) <7>] >>");
  w.Finish("/Root 1 0 R");
  FileImage image = testing::ImageOf(w.Bytes());
  ASSERT_EQ(TransformDocument(state, image, key, true), 0);
  const std::string text = Text(image);
  const std::size_t a = text.find("/A (", text.find("9 0 obj"));
  ASSERT_NE(a, std::string::npos);
  const Byte* cursor = image.Begin() + a + 3;
  std::vector<Byte> encrypted;
  ASSERT_TRUE(DecodePdfString(cursor, image.End(), encrypted));
  EXPECT_EQ(encrypted.size(), 3u);
  EXPECT_NE(std::string(encrypted.begin(), encrypted.end()), "a)b");
  EXPECT_EQ(text.find("<48656c6c6f>"), std::string::npos);

  state.Security.EncryptObjectNumber = 10;
  ASSERT_EQ(TransformDocument(state, image, key, false), 0);
  const std::string plain = Text(image);
  EXPECT_NE(plain.find("/A (a\\)b) /B <48656C6C6F> /C (line\\nend) /D (octAal) /E [(x) <70>] >>"), std::string::npos)
      << plain;
}

TEST(RewriteWithKey, StreamLengths) {
  const std::string data = "BT /F1 12 Tf 20 100 Td (Stream data) Tj ET";
  const std::string length = std::to_string(data.size());
  const struct {
    const char* Name;
    std::string Contents;  // object 4 (and its length object 5)
    const char* Written;   // expected in the protected copy
  } cases[] = {
      {"length in a later object", "4 0 obj\n<< /Length 5 0 R >>\nstream\n" + data + "\nendstream\nendobj\n5 0 obj\n" +
                                       length + "\nendobj\n",
       "5 0 obj\n"},
      {"length too long", "4 0 obj\n<< /Length 999 >>\nstream\n" + data + "\nendstream\nendobj\n", "/Length "},
      {"length too short, CRLF", "4 0 obj\n<< /Length 3 >>\nstream\r\n" + data + "\r\nendstream\nendobj\n", "/Length "},
      {"CR alone after stream", "4 0 obj\n<< /Length " + length + " >>\nstream\r" + data + "\nendstream\nendobj\n",
       "stream\n"},
      {"blanks after stream", "4 0 obj\n<< /Length " + length + " >>\nstream  \r\n" + data + "\nendstream\nendobj\n",
       "stream\n"},
      {"no length", "4 0 obj\n<< /Filter [] >>\nstream\n" + data + "\nendstream\nendobj\n", "/Length "},
      {"negative length", "4 0 obj\n<< /Length -7 >>\nstream\n" + data + "\nendstream\nendobj\n", "/Length "},
      {"length naming its own stream", "4 0 obj\n<< /Length 4 0 R >>\nstream\n" + data + "\nendstream\nendobj\n",
       "/Length "},
  };
  for (const auto& test : cases) {
    PdfWriter w;
    w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    w.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources << /Font << /F1 "
                "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>");
    std::string bytes = w.Bytes() + test.Contents;
    // A table over the objects as they stand.
    std::string table = "xref\n0 6\n0000000000 65535 f \n";
    for (int number = 1; number <= 5; ++number) {
      const std::size_t at = bytes.find("\n" + std::to_string(number) + " 0 obj") + 1;
      char line[32];
      std::snprintf(line, sizeof line, "%010zu 00000 %c \n", at == 0 ? 0 : at, at == 0 ? 'f' : 'n');
      table += line;
    }
    const std::size_t xref = bytes.size();
    bytes += table + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";

    EngineState state;
    const std::vector<Byte> key = SetUpProtection(state);
    FileImage image = testing::ImageOf(bytes);
    ASSERT_EQ(TransformDocument(state, image, key, true), 0) << test.Name;
    const std::string text = Text(image);
    EXPECT_EQ(text.find(data), std::string::npos) << test.Name;
    if (std::string(test.Written) == "5 0 obj\n") {
      EXPECT_NE(text.find("5 0 obj\n" + length + "\nendobj\n"), std::string::npos) << test.Name;
    } else if (std::string(test.Written) == "stream\n") {
      EXPECT_NE(text.find(">>\nstream\n"), std::string::npos) << test.Name;
      EXPECT_EQ(text.find("stream\r"), std::string::npos) << test.Name;
      EXPECT_EQ(text.find("stream "), std::string::npos) << test.Name;
    } else {
      EXPECT_NE(text.find("/Length " + length), std::string::npos) << test.Name << "\n" << text.substr(0, 600);
    }
    if (HaveTool("qpdf") && HaveTool("pdftotext")) {
      const std::string path = WriteTempFile("stream-lengths.pdf", text);
      const auto check = CheckWithQpdf(path, "u");
      EXPECT_TRUE(check.Clean) << test.Name << "\n" << check.Output;
      EXPECT_NE(PdfText(path, "u").find("Stream data"), std::string::npos) << test.Name;
    }
    state.Security.EncryptObjectNumber = 6;
    ASSERT_EQ(TransformDocument(state, image, key, false), 0) << test.Name;
    EXPECT_NE(Text(image).find("\n" + data + "\nendstream\n"), std::string::npos) << test.Name;
  }
}

TEST(RewriteWithKey, InformationDictionaryMadeAfresh) {
  ::setenv("SOURCE_DATE_EPOCH", "86400", 1);
  PdfWriter w;
  w.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  w.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
  w.Object(3, "<< /Title (Old title) /Producer (Someone else) >>");
  w.Finish("/Root 1 0 R /Info 3 0 R");
  EngineState state;
  const std::vector<Byte> key = SetUpProtection(state);
  FileImage image = testing::ImageOf(w.Bytes());
  ASSERT_EQ(TransformDocument(state, image, key, true), 0);
  EXPECT_EQ(Text(image).find("Old title"), std::string::npos);
  state.Security.EncryptObjectNumber = 4;
  ASSERT_EQ(TransformDocument(state, image, key, false), 0);
  ::unsetenv("SOURCE_DATE_EPOCH");
  const std::string text = Text(image);
  EXPECT_NE(text.find("3 0 obj\n<<\n/CreationDate (19700102000000)\n/Producer (" + ProducerText() + ")\n>>\nendobj\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("/Info 3 0 R"), std::string::npos);

  // The producer is "Folvex Ver 1.061" in UTF-16BE with a byte-order mark.
  const std::string literal = "(" + ProducerText() + ")";
  const Byte* cursor = reinterpret_cast<const Byte*>(literal.data());
  std::vector<Byte> decoded;
  ASSERT_TRUE(DecodePdfString(cursor, cursor + literal.size(), decoded));
  std::string expected = "\xFE\xFF";
  for (char c : std::string("Folvex Ver 1.061")) expected += std::string(1, '\0') + c;
  EXPECT_EQ(std::string(decoded.begin(), decoded.end()), expected);
  EXPECT_EQ(ProducerText().substr(0, 16), "\\376\\377\\0\\106\\0");
}

// An /Info that is part of the document (the page tree, a form dictionary the catalog names, an
// array) stays as it is; the fresh information dictionary comes behind the highest object and
// /Encrypt behind that.
TEST(RewriteWithKey, InformationThatIsPartOfTheDocumentStays) {
  const struct {
    const char* Name;
    const char* Catalog;
    const char* Info;  // object 4, named by the trailer's /Info
    bool Kept;
  } cases[] = {
      {"a plain dictionary", "<< /Type /Catalog /Pages 2 0 R >>", "<< /Title (Old) >>", false},
      {"named by the catalog", "<< /Type /Catalog /Pages 2 0 R /AcroForm 4 0 R >>", "<< /Fields [] /Title (Old) >>",
       true},
      {"not a dictionary", "<< /Type /Catalog /Pages 2 0 R /Names [4 0 R] >>", "[(Old)]", true},
  };
  for (const auto& c : cases) {
    PdfWriter w;
    w.Object(1, c.Catalog);
    w.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    w.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>");
    w.Object(4, c.Info);
    w.Finish("/Root 1 0 R /Info 4 0 R");
    EngineState state;
    const std::vector<Byte> key = SetUpProtection(state);
    FileImage image = testing::ImageOf(w.Bytes());
    ASSERT_EQ(TransformDocument(state, image, key, true), 0) << c.Name;
    const std::string text = Text(image);
    EXPECT_EQ(text.find("xref\n0 " + std::string(c.Kept ? "7" : "6")) != std::string::npos, true) << c.Name;
    EXPECT_NE(text.find(c.Kept ? "/Info 5 0 R\n/Encrypt 6 0 R" : "/Info 4 0 R\n/Encrypt 5 0 R"), std::string::npos)
        << c.Name;
    if (HaveTool("qpdf")) {
      const std::string path = WriteTempFile("kept-info.pdf", text);
      EXPECT_TRUE(CheckWithQpdf(path, "u").Clean) << c.Name;
      EXPECT_EQ(testing::RunCommand("qpdf --show-npages --password=u " + testing::Quoted(path)).Output, "1\n") << c.Name;
    }
  }
}

}  // namespace
}  // namespace folvex
