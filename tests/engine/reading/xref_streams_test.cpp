#include "engine/reading/xref_streams.h"

#include <gtest/gtest.h>

#include <chrono>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/reading/open_document.h"
#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"
#include "tests/support/stream_encoders.h"

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
  int Predictor = 12;        // 0: no /DecodeParms; 2: TIFF
  std::vector<int> Tags{2};  // PNG filter tag of each row, repeated
  bool Compress = true;
  bool ArrayForms = false;  // /Filter [/FlateDecode] /DecodeParms [<< >>]
  bool EolBeforeEndstream = true;
  // The /Filter value as written, when not the default one; /AHx or /A85 in it encode the
  // deflated data (their /DecodeParms entry is null).
  std::string Filter = "";
  std::size_t CutBytes = 0;  // taken from the end of the deflated data
  bool WriteLength = true;
  std::string StreamEol = "\n";  // behind "stream"
  int Colors = 1;                 // TIFF: the row is /Columns pixels of /Colors bytes
  std::string FirstParms = "null";  // the /DecodeParms element of the ASCII filter
  int Columns = 0;                  // /Columns when not the row width
};

// Applies the PNG filter given by each row's tag (0 none, 1 Sub, 2 Up, 3 Average, 4 Paeth) to rows
// of `width` bytes.
std::string PngEncode(const std::string& raw, std::size_t width, const std::vector<int>& tags) {
  std::string out;
  auto at = [&](std::size_t row, std::size_t col) {
    return static_cast<int>(static_cast<Byte>(raw[row * width + col]));
  };
  for (std::size_t r = 0; r * width < raw.size(); ++r) {
    const int tag = tags[r % tags.size()];
    out += static_cast<char>(tag);
    for (std::size_t i = 0; i < width; ++i) {
      const int left = i > 0 ? at(r, i - 1) : 0, up = r > 0 ? at(r - 1, i) : 0;
      const int upLeft = (r > 0 && i > 0) ? at(r - 1, i - 1) : 0;
      const int p = left + up - upLeft, pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
      const int paeth = pa <= pb && pa <= pc ? left : (pb <= pc ? up : upLeft);
      const int predicted[] = {0, left, up, (left + up) / 2, paeth};
      // Tags above 4 are not filters; such rows are written as they are.
      out += static_cast<char>((at(r, i) - (tag <= 4 ? predicted[tag] : 0)) & 0xFF);
    }
  }
  return out;
}

std::string TiffEncode(const std::string& raw, std::size_t width, std::size_t colors) {
  std::string out = raw;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (i % width >= colors) out[i] = static_cast<char>(raw[i] - raw[i - colors]);
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
    if (filter.find("/Fl") != std::string::npos) data = testing::Deflate(data);
    if (filter.find("/AHx") != std::string::npos) data = testing::AsciiHex(data);
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
    if (format.Predictor == 2) data = TiffEncode(raw, width, static_cast<std::size_t>(format.Colors));
    if (format.Compress) {
      data = testing::Deflate(data);
      data.resize(data.size() - format.CutBytes);
      std::string filter = format.Filter;
      if (filter.empty()) filter = format.ArrayForms ? "[/FlateDecode]" : "/FlateDecode";
      const bool hex = filter.find("/AHx") != std::string::npos, a85 = filter.find("/A85") != std::string::npos;
      if (hex) data = testing::AsciiHex(data);
      if (a85) data = testing::Ascii85(data);
      dict += " /Filter " + filter;
      if (format.Predictor != 0) {
        const std::size_t columns = format.Columns != 0 ? static_cast<std::size_t>(format.Columns)
                                                        : width / static_cast<std::size_t>(format.Colors);
        std::string parms = "<< /Columns " + std::to_string(columns) +
                            " /Predictor " + std::to_string(format.Predictor) + " >>";
        if (format.Colors != 1) parms.insert(3, "/Colors " + std::to_string(format.Colors) + " ");
        if (hex || a85) parms = "[" + format.FirstParms + " " + parms + "]";
        dict += format.ArrayForms ? " /DecodeParms [" + parms + "]" : " /DecodeParms " + parms;
      }
    } else if (!format.Filter.empty()) {
      dict += " /Filter " + format.Filter;
    }
    if (format.WriteLength) dict += " /Length " + std::to_string(data.size());
    dict += " >>";
    Text += std::to_string(number) + " 0 obj\n" + dict + "\nstream" + format.StreamEol + data +
            (format.EolBeforeEndstream ? "\n" : "") + "endstream\nendobj\n";
    Text += "startxref\n" + std::to_string(offset) + "\n%%EOF\n";
    Entries[number] = {1, offset, 0};
    return offset;
  }

  // Writes a classic section for numbers (type 1 entries as "n", any other as "f"), its trailer,
  // startxref and %%EOF; returns the section's offset.
  long ClassicSection(const std::vector<int>& numbers, const std::string& trailer) {
    const long offset = static_cast<long>(Text.size());
    Text += "xref\n";
    char line[32];
    for (int n : numbers) {
      auto it = Entries.find(n);
      const bool used = it != Entries.end() && it->second.Type == 1;
      std::snprintf(line, sizeof line, "%d 1\n%010lld %05d %c \n", n, used ? it->second.Field2 : 0LL,
                    n == 0 ? 65535 : 0, used ? 'n' : 'f');
      Text += line;
    }
    Text += "trailer\n<< " + trailer + " >>\nstartxref\n" + std::to_string(offset) + "\n%%EOF\n";
    return offset;
  }

  std::string Text;
  std::map<int, Row> Entries;
};

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const std::string kPages = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
const std::string kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
const std::string kCourier = "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>";
const std::string kPage =
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << /F1 7 0 R >> >> /Contents 4 0 R >>";
const std::string kContents = "<< /Length 36 >>\nstream\nBT /F1 12 Tf 20 100 Td (Hello) Tj ET";

// A one-page document: catalog, pages and font in an object stream, page and contents plain.
//   1 catalog, 2 pages, 3 page, 4 contents, 5 object stream [1 2 7], 6 xref stream, 7 font.
XrefStreamPdf OnePageDocument(const std::string& objectStreamFilter = "/Filter /FlateDecode") {
  XrefStreamPdf pdf;
  pdf.Object(3, kPage);
  pdf.Object(4, kContents + "\nendstream");
  pdf.ObjectStream(5, {{1, kCatalog}, {2, kPages}, {7, kFont}}, objectStreamFilter);
  return pdf;
}

// The one-page document closed by its cross-reference stream 6 for objects 0 to 7.
XrefStreamPdf OnePageFile(const std::string& entries = "", const XrefFormat& format = {},
                          const std::string& objectStreamFilter = "/Filter /FlateDecode") {
  XrefStreamPdf pdf = OnePageDocument(objectStreamFilter);
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R" + entries, pdf.Rows(0, 7, 6), format);
  return pdf;
}

std::string PrevTo(const XrefStreamPdf& pdf, int stream) {
  return " /Prev " + std::to_string(pdf.Entries.at(stream).Field2);
}

std::string Text(const FileImage& image) {
  return std::string(reinterpret_cast<const char*>(image.Begin()), image.Size());
}

struct Opened {
  int Code = 0;
  FileImage Image;
  XrefTable Table;
  int Catalog = -1, CatalogGeneration = -1;
  int Info = -1, InfoGeneration = -1;
};

Opened Convert(const std::string& text, const XrefTable* classicTable = nullptr,
               ConversionLayout layout = ConversionLayout::InPlace) {
  Opened result;
  EngineState state;
  result.Image = ImageOf(text);
  result.Code = ConvertXrefStreams(state, result.Image, classicTable, nullptr, layout);
  EXPECT_EQ(state.LastErrorCode, result.Code);
  result.Info = state.InfoNumber;
  result.InfoGeneration = state.InfoGeneration;
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

// Each object must be found through the table and begin with its text.
void ExpectObjects(const Opened& doc, const std::map<int, std::string>& starts) {
  for (const auto& [number, start] : starts) {
    EXPECT_EQ(ObjectText(doc, number).substr(0, start.size()), start) << "object " << number;
  }
}

void ExpectObjectsOfOnePageDocument(const Opened& doc) {
  EXPECT_EQ(doc.Catalog, 1);
  ExpectObjects(doc, {{1, kCatalog}, {2, kPages}, {3, kPage}, {4, kContents}, {6, "<< /Type /XRef"}, {7, kFont}});
}

TEST(ConvertXrefStreams, WritesTheExtractedObjectsAndAFreshClassicTable) {
  XrefStreamPdf pdf = OnePageFile();
  const std::string& in = pdf.Text;
  Opened doc = Convert(in);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);

  // The object stream object gives way to its objects, written in its place; the whitespace behind
  // its "endobj" goes with it.
  const std::size_t objStmAt = in.find("5 0 obj");
  const std::size_t behind = in.find("endobj\n", objStmAt) + 7;
  std::string expected = in.substr(0, objStmAt) + "1 0 obj\n" + kCatalog + "\n\nendobj\n2 0 obj\n" + kPages +
                         "\n\nendobj\n7 0 obj\n" + kFont + "\n\nendobj\n";
  const long shift = static_cast<long>(expected.size()) - static_cast<long>(behind);
  expected += in.substr(behind);
  const std::size_t xref = expected.size() + 1;
  expected += "\nxref\n0 8\n0000000000 65535 f \n";
  char line[64];
  for (long offset : {static_cast<long>(expected.find("1 0 obj\n<<")), static_cast<long>(expected.find("2 0 obj\n<<")),
                      static_cast<long>(in.find("3 0 obj")), static_cast<long>(in.find("4 0 obj")),
                      0L,  // the object stream is gone
                      static_cast<long>(pdf.Entries[6].Field2) + shift,
                      static_cast<long>(expected.find("7 0 obj\n<<"))}) {
    std::snprintf(line, sizeof line, "%010ld 00000 n \n", offset);
    expected += line;
  }
  expected += "trailer\n<<\n/Size 8\n/Root 1 0 R\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  EXPECT_EQ(Text(doc.Image), expected);
}

TEST(ConvertXrefStreams, ConvertsEveryFormOfTheOnePageDocument) {
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  const std::pair<const char*, XrefFormat> formats[] = {
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
      {"wide fields", {{2, 8, 2}, 12, {4}, true, false}},
  };
  for (const auto& [name, format] : formats) files.emplace_back(name, OnePageFile("", format).Text);
  XrefFormat tiff, tiffColors, abbreviated, hex, hexParms, a85, nullFilter, noLength, crlf, noEndMarker;
  tiff.Predictor = 2;
  tiffColors.Predictor = 2;
  tiffColors.Colors = 2;  // rows of two pixels, each two bytes
  hexParms.Filter = "[/AHx /Fl]";
  hexParms.FirstParms = "<< /Ignored [1] >>";
  XrefFormat pngColumns;
  pngColumns.Columns = 3;  // PNG rows are as wide as /W says
  abbreviated.Filter = "/Fl";
  hex.Filter = "[/AHx /Fl]";
  a85.Filter = "[/A85 /FlateDecode]";
  nullFilter = {{1, 2, 1}, 0, {}, false, false};
  nullFilter.Filter = "null";
  noLength.WriteLength = false;
  crlf.StreamEol = "\r\n";
  noEndMarker.CutBytes = 4;  // the checksum
  const std::pair<const char*, XrefFormat> moreFormats[] = {
      {"PNG rows whose /Columns disagrees", pngColumns},
      {"TIFF predictor", tiff},
      {"TIFF predictor, two colours", tiffColors},
      {"ASCIIHex with parameters before Flate", hexParms},
      {"/Fl", abbreviated},
      {"ASCIIHex before Flate", hex},
      {"ASCII85 before Flate", a85},
      {"/Filter null", nullFilter},
      {"no /Length", noLength},
      {"CR LF behind stream", crlf},
      {"Flate without its end", noEndMarker},
  };
  for (const auto& [name, format] : moreFormats) files.emplace_back(name, OnePageFile("", format).Text);
  files.emplace_back("uncompressed object stream", OnePageFile("", {}, "").Text);
  files.emplace_back("object stream with /Fl", OnePageFile("", {}, "/Filter /Fl").Text);
  files.emplace_back("object stream with ASCIIHex before Flate", OnePageFile("", {}, "/Filter [/AHx /Fl]").Text);
  files.emplace_back("object stream of /Type /Potato", OnePageFile().Text);
  files.back().second.replace(files.back().second.find("/Type /ObjStm"), 13, "/Type /Potato");
  files.emplace_back("object stream with array filters",
                     OnePageFile("", {}, "/Filter [/FlateDecode] /DecodeParms [<< /Predictor 1 >>]").Text);
  files.emplace_back("ending right after %%EOF", OnePageFile().Text);
  files.back().second.pop_back();

  XrefStreamPdf pdf = OnePageDocument();  // the object stream's /Length as an indirect object
  const std::size_t length = pdf.Text.find("/Length ", pdf.Text.find("/Type /ObjStm")) + 8;
  const std::size_t digits = pdf.Text.find(' ', length) - length;
  const std::string value = pdf.Text.substr(length, digits);
  pdf.Text.replace(length, digits, "8 0 R");
  pdf.Object(8, value);
  pdf.XrefStream(6, "/Size 9 /Root 1 0 R", pdf.Rows(0, 8, 6));
  files.emplace_back("indirect object stream length", pdf.Text);

  pdf = OnePageDocument();
  pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Prev " + std::to_string(pdf.Text.size()), pdf.Rows(0, 7, 6));
  files.emplace_back("a /Prev to itself", pdf.Text);

  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    Opened doc = Convert(bytes);
    EXPECT_EQ(doc.Code, 0);
    if (doc.Code != 0) continue;
    ExpectObjectsOfOnePageDocument(doc);
  }
}

TEST(ConvertXrefStreams, ZeroWidthTypeOrGenerationFields) {
  // Without a type field every row is an object in use, and without a third field every
  // generation is 0: keep the table to plain objects.
  for (std::array<int, 3> widths : {std::array<int, 3>{0, 2, 1}, std::array<int, 3>{1, 2, 0}}) {
    const XrefFormat format{widths, 12, {2}, true, false};
    XrefStreamPdf pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    pdf.XrefStream(3, "/Size 4 /Root 1 0 R /Index [1 3]", pdf.Rows(1, 3, 3), format);
    Opened doc = Convert(pdf.Text);
    ASSERT_EQ(doc.Code, 0) << widths[0] << widths[1] << widths[2];
    ExpectObjects(doc, {{2, "<< /Type /Pages /Kids [] /Count 0 >>"}, {3, "<< /Type /XRef"}});
  }
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
  pdf.XrefStream(4, "/Size 6 /Root 1 0 R", pdf.Rows(0, 5, 4), XrefFormat{{1, 2, 1}, 0, {}, false, false, false});
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ASSERT_EQ(doc.Table.size(), 6u);
  EXPECT_EQ(doc.Table[5].Generation, 10);
  ExpectObjects(doc, {{1, "<< /Type /Catalog /Pages 2 0 R"}, {5, "(five)"}});
}

// An update redefines the first (1) and the last (7) object of object stream 5, adds object 13 as
// the new information dictionary, and lists them in a three-pair /Index. A second object stream
// and a plain object lie behind stream 5 and must be shifted with it.
TEST(ConvertXrefStreams, TheNewestDefinitionsWinAndLaterObjectsAreShifted) {
  XrefStreamPdf pdf = OnePageDocument();
  pdf.ObjectStream(9, {{10, "(ten)"}, {11, "(eleven)"}});
  pdf.Object(12, "(twelve)");
  pdf.XrefStream(6, "/Size 13 /Root 1 0 R /Info 4 0 R", pdf.Rows(0, 12, 6));
  pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>");
  pdf.Object(7, kCourier);
  pdf.Object(13, "<< /Title (t) >>");
  std::vector<Row> rows = pdf.Rows(1, 1, 14);
  for (const Row& row : pdf.Rows(7, 7, 14)) rows.push_back(row);
  for (const Row& row : pdf.Rows(13, 14, 14)) rows.push_back(row);
  pdf.XrefStream(14, "/Size 15 /Root 1 0 R /Info 13 0 R /Index [1 1 7 1 13 2]" + PrevTo(pdf, 6), rows);
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjects(doc, {{1, "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>"}, {2, kPages}, {3, kPage},
                      {6, "<< /Type /XRef"}, {7, kCourier}, {10, "(ten)"}, {11, "(eleven)"}, {12, "(twelve)"},
                      {13, "<< /Title (t) >>"}, {14, "<< /Type /XRef"}});
  EXPECT_EQ(Text(doc.Image).find("Helvetica"), std::string::npos);
  EXPECT_EQ(Text(doc.Image).find("1 0 obj\n" + kCatalog), std::string::npos);
  EXPECT_EQ(doc.Info, 13);
  EXPECT_EQ(doc.InfoGeneration, 0);
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
  EXPECT_NE(Text(doc.Image).find("\nxref\n0 8\n"), std::string::npos);
}

// The one-page document as a hybrid file: classic objects 3, 4 and the object stream 5; the
// catalog, pages and font live in the object stream, which only the /XRefStm stream 6 describes.
// classic receives the offset of the classic section.
XrefStreamPdf HybridOnePageFile(long& classic) {
  XrefStreamPdf pdf = OnePageDocument();
  const long xrefStm = pdf.XrefStream(6, "/Size 8", pdf.Rows(0, 7, 6), XrefFormat{{1, 2, 1}, 0, {}, false, false});
  pdf.Text.erase(pdf.Text.rfind("startxref"));
  classic = pdf.ClassicSection({0, 1, 2, 3, 4, 5, 6, 7},
                               "/Size 8 /Root 1 0 R /Info 3 0 R /XRefStm " + std::to_string(xrefStm));
  return pdf;
}

// The classic table ParseXrefChain makes of text; the parse must succeed.
XrefTable ClassicTableOf(const std::string& text) {
  EngineState state;
  XrefTable table;
  int catalog = -1, generation = -1;
  EXPECT_EQ(ParseXrefChain(state, ImageOf(text), table, catalog, generation), 1) << state.LastErrorCode;
  EXPECT_EQ(state.NeedsConversion, 1);
  return table;
}

TEST(ConvertXrefStreams, ConvertsAHybridFileFromItsClassicTable) {
  long classic = 0;
  const std::string text = HybridOnePageFile(classic).Text;
  const XrefTable classicTable = ClassicTableOf(text);
  Opened doc = Convert(text, &classicTable);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
  // Without the parsed table the classic section is read from the file, with the same result.
  Opened fromFile = Convert(text, nullptr);
  ASSERT_EQ(fromFile.Code, 0);
  EXPECT_EQ(Text(fromFile.Image), Text(doc.Image));
}

// The objects a converted file holds (by the start of their text) and those its table leaves out
// (lists at offset 0, or not at all).
struct Holding {
  std::map<int, std::string> Present;
  std::vector<int> Absent;
};

void ExpectHolding(const Opened& doc, const Holding& holding) {
  ExpectObjects(doc, holding.Present);
  for (int number : holding.Absent) {
    int error = 0;
    EXPECT_LE(LookupObjectOffset(doc.Table, number, error), 0) << "object " << number;
  }
}

const std::string kNewCatalog = "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>";

TEST(ConvertXrefStreams, FollowsChainsOfClassicSectionsAndStreams) {
  struct Case {
    const char* Name;
    std::string Text;
    bool WithTable;  // convert with the classic table parsed first, as the open sequence does
    Holding Objects;
  };
  std::vector<Case> cases;
  {
    XrefStreamPdf pdf;  // a stream update over a classic file
    pdf.Object(1, kCatalog);
    pdf.Object(2, kPages);
    pdf.Object(3, kPage);
    pdf.Object(4, kContents + "\nendstream");
    pdf.Object(7, kFont);
    const long classic = pdf.ClassicSection({0, 1, 2, 3, 4, 5, 6, 7}, "/Size 8 /Root 1 0 R");
    pdf.Object(7, kCourier);
    pdf.ObjectStream(9, {{10, "(ten)"}});
    std::vector<Row> rows = pdf.Rows(7, 7, 11);
    for (const Row& row : pdf.Rows(9, 11, 11)) rows.push_back(row);
    pdf.XrefStream(11, "/Size 12 /Root 1 0 R /Index [7 1 9 3] /Prev " + std::to_string(classic), rows);
    cases.push_back({"stream over classic", pdf.Text, false,
                     {{{1, kCatalog}, {2, kPages}, {3, kPage}, {7, kCourier}, {10, "(ten)"}}, {9}}});
  }
  {
    XrefStreamPdf pdf = OnePageFile();  // a classic update over a stream, without /XRefStm
    pdf.Object(7, kCourier);
    pdf.Object(1, kNewCatalog);
    const long classic = pdf.ClassicSection({1, 7}, "/Size 8 /Root 1 0 R" + PrevTo(pdf, 6));
    const Holding holding{{{1, kNewCatalog}, {2, kPages}, {3, kPage}, {7, kCourier}}, {5}};
    cases.push_back({"classic over stream", pdf.Text, false, holding});
    // startxref a few bytes past "xref", before it, or at its line end.
    for (long shift : {19L, -3L, 4L}) {
      std::string text = pdf.Text;
      const std::size_t at = text.rfind("startxref\n") + 10;
      text.replace(at, text.find('\n', at) - at, std::to_string(classic + shift));
      cases.push_back({"startxref off by a few bytes", text, false, holding});
    }
  }
  {
    long classic = 0;  // a stream update over a hybrid file: the older section's /XRefStm counts
    const XrefStreamPdf base = HybridOnePageFile(classic);
    for (long late : {0L, 19L}) {
      XrefStreamPdf pdf = base;
      pdf.Object(7, kCourier);
      pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [7 2] /Prev " + std::to_string(classic + late), pdf.Rows(7, 8, 8));
      cases.push_back({late == 0 ? "stream over hybrid" : "stream over hybrid, /Prev a line late", pdf.Text, false,
                       {{{1, kCatalog}, {2, kPages}, {3, kPage}, {7, kCourier}}, {5}}});
    }
  }
  {
    // Word's empty update section; startxref lands in its trailer, nearer to the "xref" inside
    // "startxref" than to the section's own line.
    XrefStreamPdf pdf = OnePageFile();
    const long classic = static_cast<long>(pdf.Text.size());
    pdf.Text += "xref\n0 0\ntrailer\n<< /Size 8 /Root 1 0 R" + PrevTo(pdf, 6) + " >>\nstartxref\n";
    const long inKeyword = static_cast<long>(pdf.Text.size()) - 5;
    EXPECT_LT(inKeyword - (classic + 32), 32);
    pdf.Text += std::to_string(classic + 32) + "\n%%EOF\n";
    cases.push_back({"startxref in an empty section's trailer", pdf.Text, false,
                     {{{1, kCatalog}, {2, kPages}, {3, kPage}, {7, kFont}}, {5}}});
  }
  {
    long classic = 0;  // every section offset 19 bytes late
    std::string text = HybridOnePageFile(classic).Text;
    const std::size_t stm = text.find("/XRefStm ") + 9, startxref = text.rfind("startxref\n") + 10;
    text.replace(startxref, text.find('\n', startxref) - startxref, std::to_string(classic + 19));
    text.replace(stm, text.find(' ', stm) - stm, std::to_string(std::stol(text.substr(stm)) + 19));
    cases.push_back({"section offsets a line late", text, false,
                     {{{1, kCatalog}, {2, kPages}, {3, kPage}, {7, kFont}}, {5}}});
  }
  {
    // A hybrid update whose /XRefStm stream has a /Prev to the older classic section, which
    // defines object 3 as it was before the update.
    XrefStreamPdf pdf;
    pdf.Object(1, kCatalog);
    pdf.Object(3, "(old three)");
    const long first = pdf.ClassicSection({0, 1, 3}, "/Size 4 /Root 1 0 R");
    pdf.Object(3, "(new three)");
    pdf.ObjectStream(5, {{4, "(four)"}});
    // The /XRefStm stream lists only the compressed object; the object stream is found through
    // the classic entry.
    const long stm = pdf.XrefStream(6, "/Size 7 /Index [4 1] /Prev " + std::to_string(first), pdf.Rows(4, 4, 6));
    pdf.Text.erase(pdf.Text.rfind("startxref"));
    pdf.ClassicSection({3, 5, 6}, "/Size 7 /Root 1 0 R /Prev " + std::to_string(first) + " /XRefStm " +
                                      std::to_string(stm));
    const Holding holding{{{1, kCatalog}, {3, "(new three)"}, {4, "(four)"}}, {5}};
    cases.push_back({"hybrid update, with the classic table", pdf.Text, true, holding});
    cases.push_back({"hybrid update, from the file", pdf.Text, false, holding});
  }
  {
    XrefStreamPdf pdf = OnePageFile(" /Prev 999999");  // a classic update and a stream naming each other
    pdf.Object(7, kCourier);
    const std::string classic = std::to_string(pdf.ClassicSection({7}, "/Size 8 /Root 1 0 R" + PrevTo(pdf, 6)));
    pdf.Text.replace(pdf.Text.find("/Prev 999999"), 12, "/Prev " + classic + std::string(6 - classic.size(), ' '));
    cases.push_back({"a loop through a classic section", pdf.Text, false, {{{1, kCatalog}, {7, kCourier}}, {}}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    XrefTable classicTable;
    if (c.WithTable) classicTable = ClassicTableOf(c.Text);
    Opened doc = Convert(c.Text, c.WithTable ? &classicTable : nullptr);
    EXPECT_EQ(doc.Code, 0);
    if (doc.Code != 0) continue;
    ExpectHolding(doc, c.Objects);
  }

  // The open sequence: the classic parse stops at the stream and asks for the conversion.
  EngineState state;
  XrefTable table;
  int catalog = -1, generation = -1;
  ASSERT_EQ(ParseXrefChain(state, ImageOf(cases[1].Text), table, catalog, generation), 0);
  EXPECT_EQ(state.NeedsConversion, 1);
  EXPECT_EQ(CountPages(state, WriteTempFile("classic-over-stream.pdf", cases[1].Text)), 1);
  EXPECT_EQ(CountPages(state, WriteTempFile("startxref-off.pdf", cases[2].Text)), 1);
}

// Object streams 5 (objects 1, 2, 7) and 9 (objects 10, 11, 12 and 11 once more) side by side;
// change adjusts the rows (8 and 13 are free numbers) before the cross-reference stream 6 is
// written.
TEST(ConvertXrefStreams, ObjectStreamsAsProducersRecordThem) {
  // With the plain objects before (3) and behind (6) the object streams.
  const std::map<int, std::string> firstStream{{1, kCatalog}, {2, kPages}, {7, kFont}, {3, kPage}, {6, "<< /Type /XRef"}};
  auto with = [&](std::map<int, std::string> more) {
    more.insert(firstStream.begin(), firstStream.end());
    return more;
  };
  struct Case {
    const char* Name;
    std::function<void(XrefStreamPdf&)> Change;
    Holding Objects;
  };
  const Case cases[] = {
      {"as written", [](XrefStreamPdf&) {},
       {with({{10, "(ten)"}, {11, "(eleven again)"}, {12, "(twelve)"}}), {5, 9}}},
      {"offsets one byte early",
       [](XrefStreamPdf& pdf) {
         for (int n : {3, 5, 9}) pdf.Entries[n].Field2 -= 1;
       },
       {with({{10, "(ten)"}, {11, "(eleven again)"}, {12, "(twelve)"}}), {}}},
      {"a header two bytes behind its offset", [](XrefStreamPdf& pdf) { pdf.Entries[9].Field2 += 2; },
       {with({{10, "(ten)"}, {12, "(twelve)"}}), {}}},
      {"an offset far off", [](XrefStreamPdf& pdf) { pdf.Entries[9].Field2 -= 60; },
       {firstStream, {10, 11, 12}}},
      {"an index naming another object's pair",
       [](XrefStreamPdf& pdf) {
         pdf.Entries[10].Field3 = 2;
         pdf.Entries[12].Field3 = 0;
       },
       {with({{10, "(ten)"}, {12, "(twelve)"}}), {}}},
      {"an index beyond the pairs", [](XrefStreamPdf& pdf) { pdf.Entries[12].Field3 = 200; },
       {with({{12, "(twelve)"}}), {}}},
      {"the index of a number's first pair", [](XrefStreamPdf& pdf) { pdf.Entries[11].Field3 = 1; },
       {with({{11, "(eleven)\n"}}), {}}},
      {"a row naming the stream of another", [](XrefStreamPdf& pdf) { pdf.Entries[10].Field2 = 5; },
       {with({{11, "(eleven again)"}}), {10}}},
      {"a row naming a plain object", [](XrefStreamPdf& pdf) { pdf.Entries[8] = {2, 3, 0}; },
       {with({{10, "(ten)"}}), {8}}},
      {"a row naming a free object", [](XrefStreamPdf& pdf) { pdf.Entries[8] = {2, 0, 0}; },
       {with({{10, "(ten)"}}), {8}}},
      {"a row naming the cross-reference stream", [](XrefStreamPdf& pdf) { pdf.Entries[8] = {2, 6, 0}; },
       {with({{10, "(ten)"}}), {8}}},
      {"a row naming a dictionary without a stream",
       [](XrefStreamPdf& pdf) {
         pdf.Object(8, "<< /N 1 /First 4 >>");
         pdf.Entries[13] = {2, 8, 0};
       },
       {with({{8, "<< /N 1 /First 4 >>"}, {10, "(ten)"}}), {13}}},
      {"an object stream inside an object stream", [](XrefStreamPdf& pdf) { pdf.Entries[9] = {2, 5, 3}; },
       {firstStream, {9, 10, 11, 12}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    XrefStreamPdf pdf = OnePageDocument();
    pdf.ObjectStream(9, {{10, "(ten)"}, {11, "(eleven)"}, {12, "(twelve)"}, {11, "(eleven again)"}});
    c.Change(pdf);
    pdf.XrefStream(6, "/Size 14 /Root 1 0 R", pdf.Rows(0, 13, 6));
    Opened doc = Convert(pdf.Text);
    EXPECT_EQ(doc.Code, 0);
    if (doc.Code != 0) continue;
    ExpectHolding(doc, c.Objects);
  }
}

// cairo writes a 2-byte index field, which wraps in an object stream of more than 65,535 objects.
TEST(ConvertXrefStreams, FindsObjectsWhoseIndexWrapped) {
  const int count = 65536 + 100;
  std::vector<std::pair<int, std::string>> objects;
  objects.reserve(count);
  for (int i = 0; i < count; ++i) objects.emplace_back(10 + i, "(" + std::to_string(i) + ")");
  XrefStreamPdf pdf = OnePageDocument();
  pdf.ObjectStream(8, objects);
  const int last = 10 + count - 1;
  pdf.XrefStream(9, "/Size " + std::to_string(last + 1) + " /Root 1 0 R", pdf.Rows(0, last, 9),
                 XrefFormat{{1, 3, 2}, 12, {2}, true, false});
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectHolding(doc, {{{1, kCatalog}, {10, "(0)"}, {10 + 65535, "(65535)"}, {10 + 65536, "(65536)"}, {last, "(65635)"}},
                      {}});
}

TEST(ConvertXrefStreams, AnIndexPairOutsideTheTableSkipsOnlyItsRows) {
  struct Case {
    const char* Index;
    std::vector<int> Listed;  // object numbers whose rows are written, in order; -1 a row beyond the table
  };
  const Case cases[] = {
      {"[0 4 50 2 4 4]", {0, 1, 2, 3, -1, -1, 4, 5, 6, 7}},
      {"[0 4 10 1 4 4]", {0, 1, 2, 3, -1, 4, 5, 6, 7}},  // the first number past the table
      {"[0 4 2147483647 1 4 4]", {0, 1, 2, 3, -1, 4, 5, 6, 7}},
      {"[0 3 20 0 4 4]", {0, 1, 2, 4, 5, 6, 7}},  // an empty pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Index);
    XrefStreamPdf pdf = OnePageDocument();
    std::vector<Row> rows;
    const long self = static_cast<long>(pdf.Text.size());
    for (int n : c.Listed) {
      if (n < 0) rows.push_back({1, self, 0});
      for (const Row& row : n < 0 ? std::vector<Row>{} : pdf.Rows(n, n, 6)) rows.push_back(row);
    }
    pdf.XrefStream(6, "/Size 8 /Root 1 0 R /Index " + std::string(c.Index), rows);
    Opened doc = Convert(pdf.Text);
    EXPECT_EQ(doc.Code, 0);
    if (doc.Code != 0) continue;
    const bool pageListed = std::find(c.Listed.begin(), c.Listed.end(), 3) != c.Listed.end();
    Holding holding{{{1, kCatalog}, {2, kPages}, {4, kContents}, {6, "<< /Type /XRef"}, {7, kFont}}, {}};
    if (pageListed) holding.Present[3] = kPage;
    if (!pageListed) holding.Absent.push_back(3);
    ExpectHolding(doc, holding);
  }
}

TEST(ConvertXrefStreams, AnEncryptedFileIsNotConverted) {
  XrefStreamPdf pdf = OnePageFile(" /Encrypt 9 0 R /ID [<00><00>]");
  EngineState state;
  FileImage image = ImageOf(pdf.Text);
  EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), -1000);
  EXPECT_EQ(state.LastErrorCode, -1000);
  ASSERT_TRUE(state.EncryptRef.has_value());
  EXPECT_EQ(*state.EncryptRef, pdf.Text.find("/Encrypt"));
  EXPECT_EQ(Text(image), pdf.Text);

  // A file whose protection was already found in a classic trailer (and removed) is converted.
  EngineState decrypted;
  decrypted.EncryptRef = 5;
  EXPECT_EQ(ConvertXrefStreams(decrypted, image, nullptr), 0);
}

TEST(ConvertXrefStreams, TwoSectionsThatNameEachOtherEndTheChain) {
  XrefStreamPdf pdf = OnePageFile(" /Prev 999999");
  pdf.Object(7, kCourier);
  pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [7 2]" + PrevTo(pdf, 6), pdf.Rows(7, 8, 8));
  const std::string second = std::to_string(pdf.Entries[8].Field2);
  pdf.Text.replace(pdf.Text.find("/Prev 999999"), 12, "/Prev " + second + std::string(6 - second.size(), ' '));
  Opened doc = Convert(pdf.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjects(doc, {{1, kCatalog}, {7, kCourier}});
}

TEST(ConvertXrefStreams, FailuresAndCancellingLeaveTheImageUnchanged) {
  const std::string base = OnePageFile().Text;
  auto change = [&](const std::string& from, const std::string& to, std::size_t after = 0) {
    std::string text = base;
    const std::size_t at = text.find(from, after);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const std::size_t objStm = base.find("/Type /ObjStm");
  const std::size_t xrefStream = base.find("/Type /XRef");
  XrefFormat badTag;
  badTag.Tags = {2, 7};
  // In an uncompressed object stream, the last object's offset (two digits) made smaller than the
  // one before it.
  std::string pairs = OnePageFile("", {}, "").Text;
  pairs.replace(pairs.find(" 7 ", pairs.find("1 0 2 ")) + 3, 2, "00");
  std::string checksum = base;  // a compressed object stream whose checksum does not match
  checksum[checksum.find("\nendstream", objStm) - 1] ^= 0x55;
  XrefStreamPdf over = OnePageFile();  // a classic update over the stream
  over.Object(7, kCourier);
  const std::size_t classicAt = static_cast<std::size_t>(over.ClassicSection({7}, "/Size 8 /Root 1 0 R" + PrevTo(over, 6)));
  auto inClassic = [&](const std::string& from, const std::string& to) {
    std::string text = over.Text;
    const std::size_t at = text.find(from, classicAt);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  struct Case {
    const char* Name;
    std::string Text;
    int Code;
  };
  const Case cases[] = {
      {"/Index not an array", change("/Root 1 0 R", "/Index 5 1 "), -29},
      {"/Index without a number", change("/Root 1 0 R", "/Index [x] "), -29},
      {"/Index with an empty first pair", change("/Root 1 0 R ", "/Index[5 0] "), -30},
      {"/Index with a count that is no number", change("/Root 1 0 R ", "/Index[5 x] "), -30},
      {"object stream without /Length", change("/Length ", "/Lxngth ", objStm), -33},
      {"a classic entry of another type", inClassic("n \n", "x \n"), -39},
      {"a classic count that is no number", inClassic("7 1\n", "7 x\n"), -39},
      {"a classic section without trailer", inClassic("trailer", "trailxr"), -6},
      {"a classic /Prev that is no number", inClassic("/Prev ", "/Prev x"), -31},
      {"a classic /XRefStm that is no number", inClassic("/Size 8", "/XRefStm x /Size 8"), -13},
      {"PNG tag 7", OnePageFile("", badTag).Text, -36},
      {"/W wider than 8", change("/W [1 2 1]", "/W [1 9 1]"), -25},
      {"/W not a number", change("/W [1 2 1]", "/W [1 2 x]"), -26},
      {"/W all zero", change("/W [1 2 1]", "/W [0 0 0]"), -26},
      {"/W not an array", change("/W [1 2 1]", "/W 1 2 1  "), -23},
      {"LZW", change("/Filter /FlateDecode", "/Filter /LZWDecode  ", xrefStream), -36},
      {"two filters", change("/Filter /FlateDecode", "/Filter [/A /B]     ", xrefStream), -36},
      {"huge /Size", change("/Size 8", "/Size 99999999"), -13},
      {"large /Size", change("/Size 8", "/Size 2000000"), -13},
      {"/Size not a number", change("/Size 8", "/Size x"), -13},
      {"xref stream /Length too long", change("/Length ", "/Length 9", xrefStream), -36},
      {"object stream /Length too long", change("/Length ", "/Length 9", objStm), -36},
      {"/First too large", change("/First ", "/First 9", objStm), -54},
      {"/N too large", change("/N 3", "/N 9"), -53},
      {"/N not a number", change("/N 3", "/N x"), -32},
      {"xref stream /Length indirect", change("/Length ", "/Length 1 0 R /X ", xrefStream), -32},
      {"type /XRaf", change("/Type /XRef", "/Type /XRaf"), -20},
      {"startxref beyond the end", change("startxref\n", "startxref\n9", base.rfind("startxref")), -5},
      {"no %%EOF", change("%%EOF", "%%EOX", base.rfind("%%EOF")), -2},
      {"no stream keyword", change("stream\n", "strem\n", xrefStream), -36},
      {"header only", "%PDF", -1},
      {"object offsets out of order", pairs, -54},
      {"object stream checksum", checksum, -36},
      {"cancelled", base, kConvertCancelled},
  };
  JobControl cancel;
  cancel.CancelFlag = 3;
  for (const Case& c : cases) {
    EngineState state;
    if (c.Code == kConvertCancelled) state.Control = &cancel;
    FileImage image = ImageOf(c.Text);
    EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), c.Code) << c.Name;
    EXPECT_EQ(state.LastErrorCode, c.Code) << c.Name;
    EXPECT_TRUE(Text(image) == c.Text) << c.Name;
  }
}

// Decompression stops at its limit: an object stream that would pass 256 MiB fails at once (and
// says so); a cross-reference stream is read only as far as its /Size reaches, so rows beyond it
// cost nothing.
TEST(ConvertXrefStreams, DecompressionStopsAtItsLimit) {
  XrefStreamPdf bomb;
  bomb.Object(3, kPage);
  bomb.Object(4, kContents + "\nendstream");
  const std::string objects = "1 0 2 40 7 80 " + kCatalog + std::string(40 - kCatalog.size(), ' ') + kPages;
  std::string padded = objects + std::string((std::size_t{257} << 20) - objects.size(), ' ');
  const std::string data = testing::Deflate(padded);
  std::string().swap(padded);
  bomb.Object(5, "<< /Type /ObjStm /N 3 /First 14 /Filter /FlateDecode /Length " + std::to_string(data.size()) +
                     " >>\nstream\n" + data + "\nendstream");
  bomb.Entries[1] = {2, 5, 0};
  bomb.Entries[2] = {2, 5, 1};
  bomb.Entries[7] = {2, 5, 2};
  bomb.XrefStream(6, "/Size 8 /Root 1 0 R", bomb.Rows(0, 7, 6));
  EngineState state;
  FileImage image = ImageOf(bomb.Text);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConvertXrefStreams(state, image, nullptr), -38);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(state.StreamLimitPassed);

  // /Size 8 with rows for 2000 more objects behind it: the rows that fit are read.
  XrefStreamPdf longRows = OnePageDocument();
  std::vector<Row> rows = longRows.Rows(0, 7, 6);
  rows.resize(2008, Row{0, 0, 0});
  longRows.XrefStream(6, "/Size 8 /Root 1 0 R", rows);
  const Opened doc = Convert(longRows.Text);
  ASSERT_EQ(doc.Code, 0);
  ExpectObjectsOfOnePageDocument(doc);
}

// Files of the public corpus that need the conversion.
TEST(ConvertXrefStreams, RealWorldFilesCountTheirPages) {
  const std::string dir = testing::RealWorldDir();
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  const std::pair<const char*, int> files[] = {
      {"pdfjs__tracemonkey_a11y.pdf", 1},  {"pdfjs__issue17492.pdf", 1},
      {"pdfjs__prefilled_f1040.pdf", 2},   {"pdfjs__issue20062.pdf", 1},
      {"pdfjs__issue17147.pdf", 1},
      {"qpdf__tiff-predictor.pdf", 1},     {"qpdf__filter-abbreviation.pdf", 1},
      {"pdfjs__bug1770750.pdf", 1},        {"pdfjs__bug1978317.pdf", 1},
      {"qpdf__bad35.pdf", 1},              {"qpdf__xref-compressed-in-compressed.pdf", 30},
      {"qpdf__xref-range.pdf", 1},         {"pypdf__form_acrobatReader.pdf", 1},
      {"pdfjs__comments.pdf", 14},         {"pdfjs__highlights.pdf", 14},
  };
  int found = 0;
  for (const auto& [name, pages] : files) {
    const std::string path = dir + "/" + name;
    if (!std::filesystem::exists(path)) continue;
    ++found;
    EngineState state;
    EXPECT_EQ(CountPages(state, path), pages) << name;
  }
  if (found == 0) GTEST_SKIP() << "none of the files in " << dir;
}

// The appended layout keeps the file's bytes as its first bytes and gives every object the text
// the in-place layout gives it.
void ExpectLayoutsAgree(const std::string& name, const std::string& text) {
  SCOPED_TRACE(name);
  const Opened inPlace = Convert(text);
  const Opened appended = Convert(text, nullptr, ConversionLayout::Appended);
  ASSERT_EQ(appended.Code, inPlace.Code);
  if (inPlace.Code != 0) return;
  EXPECT_EQ(Text(appended.Image).substr(0, text.size()), text);
  EXPECT_EQ(appended.Catalog, inPlace.Catalog);
  ASSERT_EQ(appended.Table.size(), inPlace.Table.size());
  int compared = 0;
  for (std::size_t i = 0; i < inPlace.Table.size(); ++i) {
    const XrefEntry& entry = inPlace.Table[i];
    EXPECT_EQ(appended.Table[i].Number, entry.Number);
    EXPECT_EQ(appended.Table[i].Offset == 0, entry.Offset == 0) << "object " << entry.Number;
    if (entry.Number == 0 || entry.Offset == 0) continue;
    EXPECT_EQ(ObjectText(appended, entry.Number), ObjectText(inPlace, entry.Number)) << "object " << entry.Number;
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST(ConvertXrefStreams, BothLayoutsGiveEveryObjectTheSameText) {
  XrefFormat uncompressed;
  uncompressed.Compress = false;
  uncompressed.Predictor = 0;
  ExpectLayoutsAgree("one page", OnePageFile().Text);
  ExpectLayoutsAgree("one page, uncompressed rows", OnePageFile("", uncompressed).Text);
  if (HaveTool("qpdf")) {
    const std::string in = WriteTempFile("layouts-in.pdf", SimplePdf(40));
    const std::string out = in.substr(0, in.size() - 7) + "-out.pdf";
    ASSERT_EQ(RunCommand("qpdf --object-streams=generate '" + in + "' '" + out + "' 2>&1").ExitCode, 0);
    ExpectLayoutsAgree("qpdf", testing::ReadFile(out));
  }
  const std::string dir = testing::RealWorldDir();
  for (const char* name : {"pdfjs__tracemonkey_a11y.pdf", "pdfjs__prefilled_f1040.pdf", "qpdf__tiff-predictor.pdf",
                           "qpdf__xref-compressed-in-compressed.pdf", "qpdf__hybrid-xref.pdf", "pdfjs__comments.pdf",
                           "pdfcpu__T6.pdf", "pdfcpu__go.pdf"}) {
    const std::string path = dir + "/" + name;
    if (std::filesystem::exists(path)) ExpectLayoutsAgree(name, testing::ReadFile(path));
  }
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Files written by qpdf: convert, parse, locate every object, and let qpdf and pdfinfo judge.
TEST(ConvertXrefStreams, FilesWrittenByQpdfOpenAndPassItsCheck) {
  if (!HaveTool("qpdf") || !HaveTool("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo missing";
  const std::pair<int, const char*> cases[] = {
      {3, "--object-streams=generate"},
      {120, "--object-streams=generate"},
      {5, "--object-streams=generate --stream-data=uncompress"},
      {4, "--object-streams=generate --newline-before-endstream"},
  };
  int round = 0;
  for (const auto& [pages, options] : cases) {
    SCOPED_TRACE(options + std::string(" pages ") + std::to_string(pages));
    const std::string name = "qpdf" + std::to_string(round++);
    const std::string in = WriteTempFile(name + "-in.pdf", SimplePdf(pages));
    const std::string out = in.substr(0, in.size() - 7) + "-out.pdf";
    ASSERT_EQ(RunCommand("qpdf " + std::string(options) + " '" + in + "' '" + out + "' 2>&1").ExitCode, 0);
    const std::string written = testing::ReadFile(out);
    const std::size_t objectStreams = Count(written, "/Type /ObjStm");
    ASSERT_GT(objectStreams, 0u);

    Opened doc = Convert(written);
    ASSERT_EQ(doc.Code, 0);
    EXPECT_GE(doc.Table.size(), static_cast<std::size_t>(4 + 2 * pages));
    EXPECT_EQ(doc.Catalog, std::stoi(written.substr(written.find("/Root") + 5)));
    // Every object is found, except the object streams, which are gone and listed at offset 0.
    std::size_t dissolved = 0;
    for (const XrefEntry& e : doc.Table) {
      int error = 0;
      if (e.Number != 0 && e.Offset == 0) ++dissolved;
      if (e.Number == 0 || e.Offset == 0) continue;
      EXPECT_NE(LocateObject(doc.Image.Begin(), doc.Image.End(), e.Offset, e.Number, error), nullptr)
          << "object " << e.Number << " error " << error;
    }
    EXPECT_EQ(dissolved, objectStreams);

    // qpdf's only complaint may be the offset 0 of each dissolved object stream (exit code 3:
    // success with warnings).
    const std::string converted = WriteTempFile(name + "-converted.pdf", Text(doc.Image));
    testing::CommandResult check = RunCommand("qpdf --check '" + converted + "' 2>&1");
    EXPECT_TRUE(check.ExitCode == 0 || check.ExitCode == 3) << check.Output;
    std::istringstream lines(check.Output);
    std::size_t warnings = 0;
    for (std::string line; std::getline(lines, line);) {
      if (line.find("WARNING") == std::string::npos) continue;
      ++warnings;
      EXPECT_NE(line.find("object has offset 0"), std::string::npos) << line;
    }
    EXPECT_EQ(warnings, objectStreams) << check.Output;
    EXPECT_EQ(PdfinfoPages(converted), pages);
  }
}

}  // namespace
}  // namespace folvex
