#include "engine/reading/xref_streams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::HaveTool;
using testing::ImageOf;
using testing::PdfinfoPages;
using testing::RunCommand;
using testing::SimplePdf;
using testing::WriteTempFile;

// One cross-reference stream row; type -1 stands for the stream being written itself.
struct Row {
  int Type = 0;
  long long Field2 = 0;
  long long Field3 = 0;
};

struct XrefFormat {
  std::array<int, 3> W{1, 2, 1};
  int Predictor = 12;        // 0: no /DecodeParms
  std::vector<int> Tags{2};  // PNG filter tag of each row, repeated
  bool Compress = true;
  bool ArrayForms = false;  // /Filter [/FlateDecode] /DecodeParms [<< >>]
  bool EolBeforeEndstream = true;
};

std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 9);
  out.resize(size);
  return out;
}

int Paeth(int a, int b, int c) {
  int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// Applies the PNG filter given by each row's tag to rows of `width` bytes.
std::string PngEncode(const std::string& raw, std::size_t width, const std::vector<int>& tags) {
  std::string out;
  for (std::size_t r = 0; r * width < raw.size(); ++r) {
    const int tag = tags[r % tags.size()];
    out += static_cast<char>(tag);
    for (std::size_t i = 0; i < width; ++i) {
      auto at = [&](std::size_t row, std::size_t col) {
        return static_cast<int>(static_cast<Byte>(raw[row * width + col]));
      };
      int x = at(r, i), left = i > 0 ? at(r, i - 1) : 0, up = r > 0 ? at(r - 1, i) : 0;
      int upLeft = (r > 0 && i > 0) ? at(r - 1, i - 1) : 0;
      int predicted = tag == 1   ? left
                      : tag == 2 ? up
                      : tag == 3 ? (left + up) / 2
                      : tag == 4 ? Paeth(left, up, upLeft)
                                 : 0;
      out += static_cast<char>((x - predicted) & 0xFF);
    }
  }
  return out;
}

// Writes files that use cross-reference streams and object streams.
class XrefStreamPdf {
 public:
  XrefStreamPdf() : Text("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n") {}

  void Object(int number, const std::string& body) {
    Entries[number] = {1, static_cast<long long>(Text.size()), 0};
    Text += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }

  // Returns the stream data as written.
  std::string ObjectStream(int number, const std::vector<std::pair<int, std::string>>& objects,
                           const std::string& filter = "/Filter /FlateDecode", bool eolBeforeEndstream = true) {
    std::string head, body;
    for (std::size_t i = 0; i < objects.size(); ++i) {
      head += std::to_string(objects[i].first) + " " + std::to_string(body.size()) + " ";
      body += objects[i].second + "\n";
      Entries[objects[i].first] = {2, number, static_cast<long long>(i)};
    }
    std::string data = head + body;
    if (filter.find("FlateDecode") != std::string::npos) data = Deflate(data);
    Object(number, "<< /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " + std::to_string(head.size()) +
                       " " + filter + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                       (eolBeforeEndstream ? "\n" : "") + "endstream");
    return data;
  }

  // Rows for first..last from the objects written so far; self is the number of the stream to come.
  std::vector<Row> Rows(int first, int last, int self) const {
    std::vector<Row> rows;
    for (int n = first; n <= last; ++n) {
      auto it = Entries.find(n);
      rows.push_back(n == self ? Row{-1, 0, 0} : it != Entries.end() ? it->second : Row{0, 0, n == 0 ? 255 : 0});
    }
    return rows;
  }

  // Writes the cross-reference stream, startxref and %%EOF; returns the stream's offset.
  long XrefStream(int number, const std::string& entries, std::vector<Row> rows, const XrefFormat& format = {}) {
    const long offset = static_cast<long>(Text.size());
    const std::size_t width = static_cast<std::size_t>(format.W[0] + format.W[1] + format.W[2]);
    std::string raw;
    for (Row row : rows) {
      if (row.Type == -1) row = {1, offset, 0};
      const long long fields[3] = {row.Type, row.Field2, row.Field3};
      for (int f = 0; f < 3; ++f) {
        for (int b = format.W[f] - 1; b >= 0; --b) raw += static_cast<char>(b >= 8 ? 0 : (fields[f] >> (8 * b)) & 0xFF);
      }
    }
    std::string dict = "<< /Type /XRef /W [" + std::to_string(format.W[0]) + " " + std::to_string(format.W[1]) + " " +
                       std::to_string(format.W[2]) + "] " + entries;
    std::string data = raw;
    if (format.Predictor >= 10) data = PngEncode(raw, width, format.Tags);
    if (format.Compress) {
      data = Deflate(data);
      dict += format.ArrayForms ? " /Filter [/FlateDecode]" : " /Filter /FlateDecode";
      if (format.Predictor != 0) {
        std::string parms =
            "<< /Columns " + std::to_string(width) + " /Predictor " + std::to_string(format.Predictor) + " >>";
        dict += format.ArrayForms ? " /DecodeParms [" + parms + "]" : " /DecodeParms " + parms;
      }
    }
    dict += " /Length " + std::to_string(data.size()) + " >>";
    Text += std::to_string(number) + " 0 obj\n" + dict + "\nstream\n" + data + (format.EolBeforeEndstream ? "\n" : "") +
            "endstream\nendobj\n";
    Text += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
    Entries[number] = {1, offset, 0};
    return offset;
  }

  std::string Text;
  std::map<int, Row> Entries;
};

// A one-page document: catalog, pages and font in an object stream, page and contents plain.
//   1 catalog, 2 pages, 3 page, 4 contents, 5 object stream [1 2 7], 6 xref stream, 7 font.
XrefStreamPdf OnePageDocument(const std::string& objectStreamFilter = "/Filter /FlateDecode") {
  XrefStreamPdf pdf;
  pdf.Object(3,
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << /F1 7 0 R >> >> "
             "/Contents 4 0 R >>");
  const std::string content = "BT /F1 12 Tf 20 100 Td (Hello) Tj ET";
  pdf.Object(4, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
  pdf.ObjectStream(5,
                   {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                    {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                    {7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"}},
                   objectStreamFilter);
  return pdf;
}

struct Opened {
  int Code = 0;
  FileImage Image;
  XrefTable Table;
  int Catalog = -1, CatalogGeneration = -1;
};

Opened Convert(const std::string& text, const XrefTable* classicTable = nullptr) {
  Opened result;
  EngineState state;
  result.Image = ImageOf(text);
  result.Code = ConvertXrefStreams(state, result.Image, classicTable);
  EXPECT_EQ(state.LastErrorCode, result.Code);
  if (result.Code == 0) {
    EngineState parse;
    EXPECT_EQ(ParseXrefChain(parse, result.Image, result.Table, result.Catalog, result.CatalogGeneration), 1)
        << "code " << parse.LastErrorCode;
    EXPECT_EQ(parse.NeedsConversion, 0);
  }
  return result;
}

// The text of an object from behind "obj" up to "endobj", or "" when it cannot be located.
std::string ObjectText(const Opened& doc, int number) {
  int error = 0;
  int offset = LookupObjectOffset(doc.Table, number, error);
  if (offset < 0) return "";
  const Byte* p = LocateObject(doc.Image.Begin(), doc.Image.End(), offset, number, error);
  if (p == nullptr) return "";
  std::string rest(reinterpret_cast<const char*>(p), static_cast<std::size_t>(doc.Image.End() - p));
  return rest.substr(0, rest.find("endobj"));
}

void ExpectObjectsOfOnePageDocument(const Opened& doc) {
  EXPECT_EQ(doc.Catalog, 1);
  EXPECT_EQ(ObjectText(doc, 1).rfind("<< /Type /Catalog /Pages 2 0 R >>", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 2).rfind("<< /Type /Pages /Kids [3 0 R] /Count 1 >>", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 3).rfind("<< /Type /Page /Parent 2 0 R", 0), 0u);
  EXPECT_NE(ObjectText(doc, 4).find("(Hello) Tj"), std::string::npos);
  EXPECT_EQ(ObjectText(doc, 6).rfind("<< /Type /XRef", 0), 0u);
  EXPECT_NE(ObjectText(doc, 7).find("/BaseFont /Helvetica"), std::string::npos);
}

std::string Tail(const Opened& doc, std::size_t from) {
  return std::string(reinterpret_cast<const char*>(doc.Image.Begin()) + from, doc.Image.Size() - from);
}

TEST(ConvertXrefStreams, WritesTheExtractedObjectsAndAFreshClassicTable) {
  XrefStreamPdf pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  const std::string& in = pdf.Text;
  Opened doc = Convert(in);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);

  // The object stream object gives way to its objects, written in its place; the whitespace behind
  // its "endobj" goes with it.
  const std::size_t streamAt = static_cast<std::size_t>(pdf.Entries[6].Field2);
  const std::size_t objStmAt = in.find("5 0 obj");
  const std::size_t behind = in.find("endobj\n", objStmAt) + 7;
  std::string expected = in.substr(0, objStmAt);
  expected += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\n\nendobj\n";
  expected += "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\n\nendobj\n";
  expected += "7 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\n\nendobj\n";
  const long shift = static_cast<long>(expected.size()) - static_cast<long>(behind);
  expected += in.substr(behind);
  const std::size_t xref = expected.size() + 1;
  char line[64];
  expected += "\nxref\n0 8\n0000000000 65535 f \n";
  auto entry = [&](long offset) {
    std::snprintf(line, sizeof line, "%010ld 00000 n \n", offset);
    expected += line;
  };
  entry(static_cast<long>(expected.find("1 0 obj\n<<")));
  entry(static_cast<long>(expected.find("2 0 obj\n<<")));
  entry(static_cast<long>(in.find("3 0 obj")));
  entry(static_cast<long>(in.find("4 0 obj")));
  entry(0);  // the object stream is gone
  entry(static_cast<long>(streamAt) + shift);
  entry(static_cast<long>(expected.find("7 0 obj\n<<")));
  expected += "trailer\n<<\n/Size 8\n/Root 1 0 R\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  EXPECT_EQ(Tail(doc, 0), expected);
}

TEST(ConvertXrefStreams, ReadsPredictorTagsWidthsAndFilterForms) {
  struct Case {
    const char* Name;
    XrefFormat Format;
  };
  const Case cases[] = {
      {"up, W [1 2 1]", {{1, 2, 1}, 12, {2}, true, false}},
      {"sub", {{1, 2, 1}, 12, {1}, true, false}},
      {"average", {{1, 2, 1}, 12, {3}, true, false}},
      {"paeth", {{1, 2, 1}, 12, {4}, true, false}},
      {"mixed tags, predictor 15", {{1, 3, 2}, 15, {0, 1, 2, 3, 4}, true, false}},
      {"predictor 10", {{1, 2, 1}, 10, {4, 3}, true, false}},
      {"array forms", {{1, 2, 1}, 12, {2, 4}, true, true}},
      {"array filter without parameters", {{1, 2, 1}, 0, {}, true, true}},
      {"flate without predictor", {{1, 4, 2}, 0, {}, true, false}},
      {"uncompressed", {{1, 2, 1}, 0, {}, false, false}},
      {"zero type width", {{0, 2, 1}, 12, {2}, true, false}},
      {"zero generation width", {{1, 2, 0}, 12, {2}, true, false}},
      {"wide fields", {{2, 8, 2}, 12, {4}, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    XrefStreamPdf pdf = OnePageDocument();
    std::vector<Row> rows = pdf.Rows(0, 7, 6);
    if (c.Format.W[0] == 0 || c.Format.W[2] == 0) {
      // Without a type field every row is an object in use, and without a third field every
      // generation is 0: keep the table to plain objects.
      pdf = XrefStreamPdf{};
      pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
      pdf.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
      pdf.XrefStream(3, "/Size 4 /Root 1 0 R /Index [1 3]", pdf.Rows(1, 3, 3), c.Format);
      Opened doc = Convert(pdf.Text);
      ASSERT_EQ(doc.Code, 0);
      EXPECT_EQ(ObjectText(doc, 2).rfind("<< /Type /Pages /Kids [] /Count 0 >>", 0), 0u);
      EXPECT_EQ(ObjectText(doc, 3).rfind("<< /Type /XRef", 0), 0u);
      continue;
    }
    pdf.XrefStream(6, "/Size 8 /Root 1 0 R", rows, c.Format);
    Opened doc = Convert(pdf.Text);
    ASSERT_EQ(doc.Code, 0);
    ExpectObjectsOfOnePageDocument(doc);
  }
}

TEST(ConvertXrefStreams, RefusesWhatItCannotDecode) {
  XrefFormat tiff;
  tiff.Predictor = 2;
  XrefStreamPdf pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6), tiff);
  EXPECT_EQ(Convert(pdf.Text).Code, -36);

  XrefFormat badTag;
  badTag.Tags = {2, 7};
  pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6), badTag);
  EXPECT_EQ(Convert(pdf.Text).Code, -36);

  pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  std::string text = pdf.Text;
  const std::size_t w = text.find("/W [1 2 1]");
  EXPECT_EQ(Convert(text.replace(w, 10, "/W [1 9 1]")).Code, -25);
  EXPECT_EQ(Convert(text.replace(w, 10, "/W [1 2 x]")).Code, -26);
  EXPECT_EQ(Convert(text.replace(w, 10, "/W [0 0 0]")).Code, -26);
  EXPECT_EQ(Convert(text.replace(w, 10, "/W 1 2 1  ")).Code, -23);

  pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  text = pdf.Text;
  const std::size_t filter = text.find("/Filter /FlateDecode", text.find("/Type /XRef"));
  EXPECT_EQ(Convert(text.replace(filter, 20, "/Filter /LZWDecode  ")).Code, -36);
  EXPECT_EQ(Convert(text.replace(filter, 20, "/Filter [/A /B]     ")).Code, -36);
}

TEST(ConvertXrefStreams, ReadsObjectStreamsWithArrayFiltersAndAnIndirectLength) {
  XrefStreamPdf pdf = OnePageDocument("/Filter [/FlateDecode] /DecodeParms [<< /Predictor 1 >>]");
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);

  pdf = OnePageDocument();
  const std::size_t length = pdf.Text.find("/Length ", pdf.Text.find("/Type /ObjStm")) + 8;
  const std::size_t digits = pdf.Text.find(' ', length) - length;
  const std::string value = pdf.Text.substr(length, digits);
  pdf.Text.replace(length, digits, "8 0 R");
  pdf.Object(8, value);
  pdf.XrefStream(6, "/Size 9 /Root 1 0 R", pdf.Rows(0, 8, 6));
  doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
}

TEST(ConvertXrefStreams, StreamDataEndingInALineFeedKeepsItsLastByte) {
  // Without an end-of-line before "endstream", a last data byte 10 is data: here the last byte of
  // the compressed object stream, and the generation 10 in the last row of an uncompressed table.
  XrefStreamPdf pdf;
  std::string data;
  for (int padding = 0; padding < 5000; ++padding) {
    pdf = XrefStreamPdf{};
    pdf.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    data = pdf.ObjectStream(3, {{1, "<< /Type /Catalog /Pages 2 0 R /Pad (" + std::string(padding, 'x') + ") >>"}},
                            "/Filter /FlateDecode", false);
    if (data.back() == '\n') break;
  }
  ASSERT_EQ(data.back(), '\n');
  pdf.Text += "5 10 obj\n(five)\nendobj\n";
  pdf.Entries[5] = {1, static_cast<long long>(pdf.Text.rfind("5 10 obj")), 10};
  XrefFormat plain;
  plain.Predictor = 0;
  plain.Compress = false;
  plain.EolBeforeEndstream = false;
  pdf.XrefStream(4, "/Size 6 /Root 1 0 R", pdf.Rows(0, 5, 4), plain);
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  EXPECT_EQ(ObjectText(doc, 1).rfind("<< /Type /Catalog /Pages 2 0 R", 0), 0u);
  ASSERT_EQ(doc.Table.size(), 6u);
  EXPECT_EQ(doc.Table[5].Generation, 10);
  EXPECT_EQ(ObjectText(doc, 5).rfind("(five)", 0), 0u);
}

TEST(ConvertXrefStreams, TheNewestDefinitionWinsOverAnObjectStream) {
  XrefStreamPdf pdf = OnePageDocument();
  const long first = pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  pdf.Object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
  pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [7 2] /Prev " + std::to_string(first), pdf.Rows(7, 8, 8));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  EXPECT_NE(ObjectText(doc, 7).find("/BaseFont /Courier"), std::string::npos);
  EXPECT_EQ(Tail(doc, 0).find("Helvetica"), std::string::npos);
  EXPECT_EQ(ObjectText(doc, 1).rfind("<< /Type /Catalog", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 2).rfind("<< /Type /Pages", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 8).rfind("<< /Type /XRef", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 6).rfind("<< /Type /XRef", 0), 0u);
}

TEST(ConvertXrefStreams, IndexWithSeveralSubsectionsNumbersEachRun) {
  // An update that redefines object 1 and adds 7 and its own stream 8: /Index [1 1 7 2].
  XrefStreamPdf pdf = OnePageDocument();
  const long first = pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>");
  pdf.Object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
  std::vector<Row> rows = pdf.Rows(1, 1, 8);
  for (const Row& row : pdf.Rows(7, 8, 8)) rows.push_back(row);
  pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [1 1 7 2] /Prev " + std::to_string(first), rows);
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  EXPECT_NE(ObjectText(doc, 1).find("/PageMode /UseNone"), std::string::npos);
  EXPECT_NE(ObjectText(doc, 7).find("/BaseFont /Courier"), std::string::npos);
  EXPECT_EQ(ObjectText(doc, 2).rfind("<< /Type /Pages", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 8).rfind("<< /Type /XRef", 0), 0u);
}

TEST(ConvertXrefStreams, ShiftsObjectsBehindAStreamWhoseFirstObjectWasRedefined) {
  // Two object streams so that objects lie behind each of them; the catalog (first object of
  // stream 5) is redefined by an update that names it alone in /Index.
  XrefStreamPdf pdf = OnePageDocument();
  pdf.ObjectStream(9, {{10, "(ten)"}, {11, "(eleven)"}});
  pdf.Object(12, "(twelve)");
  const long first = pdf.XrefStream(6, "/Size 13 /Root 1 0 R", pdf.Rows(0, 12, 6));
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>");
  pdf.XrefStream(13, "/Size 14 /Root 1 0 R /Index [1 1] /Prev " + std::to_string(first), pdf.Rows(1, 1, 13));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  EXPECT_NE(ObjectText(doc, 1).find("/PageMode /UseNone"), std::string::npos);
  EXPECT_EQ(ObjectText(doc, 2).rfind("<< /Type /Pages", 0), 0u);
  EXPECT_NE(ObjectText(doc, 7).find("Helvetica"), std::string::npos);
  EXPECT_EQ(ObjectText(doc, 10).rfind("(ten)", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 11).rfind("(eleven)", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 12).rfind("(twelve)", 0), 0u);
  EXPECT_EQ(ObjectText(doc, 6).rfind("<< /Type /XRef", 0), 0u);
  EXPECT_EQ(Tail(doc, 0).find("1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>"), std::string::npos);
}

TEST(ConvertXrefStreams, AFileEndingRightAfterEofConverts) {
  XrefStreamPdf pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  ASSERT_EQ(pdf.Text.back(), '\n');
  pdf.Text.pop_back();
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
}

TEST(ConvertXrefStreams, IndexGivesTheFirstObjectNumberAndRowsBeyondTheTableAreIgnored) {
  XrefStreamPdf pdf = OnePageDocument();
  // /Index starts at 1; the rows run on to object 40 while /Size is 8.
  std::vector<Row> rows = pdf.Rows(1, 7, 6);
  for (int n = 8; n <= 40; ++n) rows.push_back({1, 999999, 0});
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Index [1 40]", rows);
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
  EXPECT_EQ(doc.Table.size(), 8u);
  EXPECT_NE(Tail(doc, 0).find("\nxref\n0 8\n"), std::string::npos);
}

TEST(ConvertXrefStreams, ConvertsAHybridFileFromItsClassicTable) {
  // Classic objects 3, 4 and the object stream 5; the catalog, pages and font live in the object
  // stream, which only the /XRefStm stream describes.
  XrefStreamPdf pdf = OnePageDocument();
  const long xrefStm = static_cast<long>(pdf.Text.size());
  std::vector<Row> rows = pdf.Rows(0, 7, 6);
  pdf.Text += "6 0 obj\n<< /Type /XRef /W [1 2 1] /Size 8 /Length 32 >>\nstream\n";
  for (const Row& row : rows) {
    const Row r = row.Type == -1 ? Row{1, xrefStm, 0} : row;
    pdf.Text += std::string{static_cast<char>(r.Type), static_cast<char>(r.Field2 >> 8),
                            static_cast<char>(r.Field2 & 0xFF), static_cast<char>(r.Field3)};
  }
  pdf.Text += "\nendstream\nendobj\n";
  const long classic = static_cast<long>(pdf.Text.size());
  pdf.Text += "xref\n0 8\n0000000000 65535 f \n0000000000 00000 f \n0000000000 00000 f \n";
  char line[32];
  for (int n : {3, 4, 5, 6}) {
    std::snprintf(line, sizeof line, "%010lld 00000 n \n",
                  n == 6 ? static_cast<long long>(xrefStm) : pdf.Entries[n].Field2);
    pdf.Text += line;
  }
  pdf.Text += "0000000000 00000 f \ntrailer\n<< /Size 8 /Root 1 0 R /Info 3 0 R /XRefStm " + std::to_string(xrefStm) +
              " >>\nstartxref\n" + std::to_string(classic) + "\n%%EOF\n";

  EngineState state;
  XrefTable classicTable;
  int catalog = -1, generation = -1;
  ASSERT_EQ(ParseXrefChain(state, ImageOf(pdf.Text), classicTable, catalog, generation), 1);
  EXPECT_EQ(state.NeedsConversion, 1);

  EXPECT_EQ(Convert(pdf.Text, nullptr).Code, -15);
  Opened doc = Convert(pdf.Text, &classicTable);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
}

TEST(ConvertXrefStreams, AnEncryptedFileIsNotConverted) {
  XrefStreamPdf pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Encrypt 9 0 R /ID [<00><00>]", pdf.Rows(0, 7, 6));
  EngineState state;
  FileImage image = ImageOf(pdf.Text);
  EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), -1000);
  EXPECT_EQ(state.LastErrorCode, -1000);
  ASSERT_TRUE(state.EncryptRef.has_value());
  EXPECT_EQ(*state.EncryptRef, pdf.Text.find("/Encrypt"));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Begin()), image.Size()), pdf.Text);

  // A file whose protection was already found in a classic trailer (and removed) is converted.
  EngineState decrypted;
  decrypted.EncryptRef = 5;
  EXPECT_EQ(ConvertXrefStreams(decrypted, image, nullptr), 0);
}

TEST(ConvertXrefStreams, SetsTheInformationDictionaryFromTheNewestStream) {
  XrefStreamPdf pdf = OnePageDocument();
  const long first = pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Info 4 0 R", pdf.Rows(0, 7, 6));
  pdf.Object(8, "<< /Title (t) >>");
  pdf.XrefStream(9, "/Size 10 /Root 1 0 R /Info 8 0 R /Prev " + std::to_string(first) + " /Index [8 2]",
                 pdf.Rows(8, 9, 9));
  EngineState state;
  FileImage image = ImageOf(pdf.Text);
  ASSERT_EQ(ConvertXrefStreams(state, image, nullptr), 0);
  EXPECT_EQ(state.InfoNumber, 8);
  EXPECT_EQ(state.InfoGeneration, 0);
}

TEST(ConvertXrefStreams, APrevChainThatComesBackEndsThere) {
  XrefStreamPdf pdf = OnePageDocument();
  const long offset = static_cast<long>(pdf.Text.size());
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Prev " + std::to_string(offset), pdf.Rows(0, 7, 6));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);

  // Two sections that name each other.
  pdf = OnePageDocument();
  const long first = pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Prev 999999", pdf.Rows(0, 7, 6));
  pdf.Object(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>");
  pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [7 2] /Prev " + std::to_string(first), pdf.Rows(7, 8, 8));
  const long second = std::stol(pdf.Text.substr(pdf.Text.rfind("startxref\n") + 10));
  std::string text = pdf.Text;
  const std::string padded = std::to_string(second);
  text.replace(text.find("/Prev 999999"), 12, "/Prev " + padded + std::string(6 - padded.size(), ' '));
  doc = Convert(text);
  ASSERT_EQ(doc.Code, 0);
  EXPECT_NE(ObjectText(doc, 7).find("Courier"), std::string::npos);
}

TEST(ConvertXrefStreams, APrevToAClassicSectionFails) {
  std::string classic = SimplePdf(1);
  const long classicXref = std::stol(classic.substr(classic.rfind("startxref\n") + 10));
  XrefStreamPdf pdf;
  pdf.Text = classic;
  pdf.Object(20, "(update)");
  pdf.XrefStream(21, "/Size 22 /Root 1 0 R /Index [20 2] /Prev " + std::to_string(classicXref), pdf.Rows(20, 21, 21));
  EXPECT_EQ(Convert(pdf.Text).Code, -14);
}

TEST(ConvertXrefStreams, HostileNumbersFailWithTheImageUnchanged) {
  XrefStreamPdf base = OnePageDocument();
  base.XrefStream(6, "/Size 8 /Root 1 0 R", base.Rows(0, 7, 6));
  auto change = [&](const std::string& from, const std::string& to, std::size_t after = 0) {
    std::string text = base.Text;
    const std::size_t at = text.find(from, after);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const std::size_t objStm = base.Text.find("/Type /ObjStm");
  const std::size_t xrefStream = base.Text.find("/Type /XRef");
  struct Case {
    std::string Text;
    int Code;
  };
  const Case cases[] = {
      {change("/Size 8", "/Size 99999999"), -13},
      {change("/Size 8", "/Size 2000000"), -13},
      {change("/Size 8", "/Size x"), -13},
      {change("/Length ", "/Length 9", xrefStream), -36},
      {change("/Length ", "/Length 9", objStm), -36},
      {change("/First ", "/First 9", objStm), -54},
      {change("/N 3", "/N 9"), -53},
      {change("/N 3", "/N x"), -32},
      {change("/Length ", "/Length 1 0 R /X ", xrefStream), -32},
      {change("/Type /XRef", "/Type /XRaf"), -20},
      {change("/Type /ObjStm", "/Type /Foo   "), -20},
      {change("startxref\n", "startxref\n9", base.Text.rfind("startxref")), -5},
      {change("%%EOF", "%%EOX", base.Text.rfind("%%EOF")), -2},
      {change("stream\n", "strem\n", xrefStream), -36},
      {std::string("%PDF"), -1},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("case " + std::to_string(index++));
    EngineState state;
    FileImage image = ImageOf(c.Text);
    EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), c.Code);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.Begin()), image.Size()), c.Text);
  }
}

TEST(ConvertXrefStreams, ObjectStreamsWithCorruptDataOrPairsFail) {
  XrefStreamPdf pdf = OnePageDocument("");
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);

  // The last object's offset (two digits) made smaller than the one before it.
  std::string text = pdf.Text;
  const std::size_t pairs = text.find("1 0 2 ");
  ASSERT_NE(pairs, std::string::npos);
  const std::size_t last = text.find(" 7 ", pairs) + 3;
  text[last] = '0';
  text[last + 1] = '0';
  EXPECT_EQ(Convert(text).Code, -54);

  // A compressed object stream whose checksum does not match.
  pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  text = pdf.Text;
  const std::size_t dataEnd = text.find("\nendstream", text.find("/Type /ObjStm"));
  text[dataEnd - 1] = static_cast<char>(text[dataEnd - 1] ^ 0x55);
  EXPECT_EQ(Convert(text).Code, -36);
}

TEST(ConvertXrefStreams, ACancelledJobLeavesTheImage) {
  XrefStreamPdf pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R", pdf.Rows(0, 7, 6));
  JobControl control;
  control.CancelFlag = 3;
  EngineState state;
  state.Control = &control;
  FileImage image = ImageOf(pdf.Text);
  EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), kConvertCancelled);
  EXPECT_EQ(image.Size(), pdf.Text.size());
}

// Files written by qpdf: convert, parse, locate every object, and let qpdf and pdfinfo judge.
TEST(ConvertXrefStreams, FilesWrittenByQpdfOpenAndPassItsCheck) {
  if (!HaveTool("qpdf") || !HaveTool("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo missing";
  struct Case {
    int Pages;
    const char* Options;
  };
  const Case cases[] = {
      {3, "--object-streams=generate"},
      {120, "--object-streams=generate"},
      {5, "--object-streams=generate --stream-data=uncompress"},
      {4, "--object-streams=generate --newline-before-endstream"},
  };
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options + std::string(" pages ") + std::to_string(c.Pages));
    const std::string name = "qpdf" + std::to_string(round++);
    const std::string in = WriteTempFile(name + "-in.pdf", SimplePdf(c.Pages));
    const std::string out = in.substr(0, in.size() - 7) + "-out.pdf";
    ASSERT_EQ(RunCommand("qpdf " + std::string(c.Options) + " '" + in + "' '" + out + "' 2>&1").ExitCode, 0);
    const std::string written = testing::ReadFile(out);
    ASSERT_NE(written.find("/ObjStm"), std::string::npos);

    Opened doc = Convert(written);
    ASSERT_EQ(doc.Code, 0);
    EXPECT_GE(doc.Table.size(), static_cast<std::size_t>(4 + 2 * c.Pages));
    // Every object is found, except the object streams, which are gone and listed at offset 0.
    std::size_t objectStreams = 0, dissolved = 0;
    for (std::size_t at = written.find("/Type /ObjStm"); at != std::string::npos;
         at = written.find("/Type /ObjStm", at + 1)) {
      ++objectStreams;
    }
    for (const XrefEntry& e : doc.Table) {
      if (e.Number == 0) continue;
      if (e.Offset == 0) {
        ++dissolved;
        continue;
      }
      int error = 0;
      EXPECT_NE(LocateObject(doc.Image.Begin(), doc.Image.End(), e.Offset, e.Number, error), nullptr)
          << "object " << e.Number << " error " << error;
    }
    EXPECT_EQ(dissolved, objectStreams);
    EXPECT_EQ(doc.Catalog, std::stoi(written.substr(written.find("/Root") + 5)));

    const std::string converted = WriteTempFile(
        name + "-converted.pdf", std::string(reinterpret_cast<const char*>(doc.Image.Begin()), doc.Image.Size()));
    // qpdf's only complaint may be the offset 0 of each dissolved object stream (exit code 3:
    // success with warnings).
    testing::CommandResult check = RunCommand("qpdf --check '" + converted + "' 2>&1");
    EXPECT_TRUE(check.ExitCode == 0 || check.ExitCode == 3) << check.Output;
    std::size_t warnings = 0;
    for (std::size_t at = check.Output.find("WARNING"); at != std::string::npos;
         at = check.Output.find("WARNING", at + 1)) {
      ++warnings;
      const std::size_t lineEnd = check.Output.find('\n', at);
      EXPECT_NE(check.Output.substr(at, lineEnd - at).find("object has offset 0"), std::string::npos) << check.Output;
    }
    EXPECT_EQ(warnings, objectStreams) << check.Output;
    EXPECT_EQ(PdfinfoPages(converted), c.Pages);
  }
}

}  // namespace
}  // namespace folvex
