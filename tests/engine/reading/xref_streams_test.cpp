#include "engine/reading/xref_streams.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/reading/scanners.h"
#include "engine/reading/xref.h"
#include "tests/support/pdf_writer.h"
#include "tests/support/stream_encoders.h"

namespace folvex {
namespace {

using testing::ImageOf;

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
  // The /Filter value as written, when not the default one; /AHx or /A85 in it encode the
  // deflated data (their /DecodeParms entry is null).
  std::string Filter = "";
  std::size_t CutBytes = 0;  // taken from the end of the deflated data
  bool WriteLength = true;
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
      data = testing::Deflate(data);
      data.resize(data.size() - format.CutBytes);
      std::string filter = format.Filter;
      if (filter.empty()) filter = format.ArrayForms ? "[/FlateDecode]" : "/FlateDecode";
      const bool hex = filter.find("/AHx") != std::string::npos, a85 = filter.find("/A85") != std::string::npos;
      if (hex) data = testing::AsciiHex(data);
      if (a85) data = testing::Ascii85(data);
      dict += " /Filter " + filter;
      if (format.Predictor != 0) {
        std::string parms = "<< /Columns " + std::to_string(width) + " /Predictor " + std::to_string(format.Predictor) + " >>";
        if (hex || a85) parms = "[null " + parms + "]";
        dict += format.ArrayForms ? " /DecodeParms [" + parms + "]" : " /DecodeParms " + parms;
      }
    }
    if (format.WriteLength) dict += " /Length " + std::to_string(data.size());
    dict += " >>";
    Text += std::to_string(number) + " 0 obj\n" + dict + "\nstream\n" + data +
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
};

Opened Convert(const std::string& text, const XrefTable* classicTable = nullptr,
               ConversionLayout layout = ConversionLayout::InPlace) {
  Opened result;
  EngineState state;
  result.Image = ImageOf(text);
  result.Code = ConvertXrefStreams(state, result.Image, classicTable, nullptr, layout);
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
  const std::int64_t offset = LookupObjectOffset(doc.Table, number, error);
  if (offset < 0) return "";
  const Byte* p = LocateObject(doc.Image.Begin(), doc.Image.End(), offset, number, error);
  if (p == nullptr) return "";
  std::string rest(reinterpret_cast<const char*>(p), static_cast<std::size_t>(doc.Image.End() - p));
  return rest.substr(0, rest.find("endobj"));
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

// The objects a converted file holds (found through the table, by the start of their text), those
// its table leaves out (lists at offset 0, or not at all), and generations the table must give.
struct Holding {
  std::map<int, std::string> Present;
  std::vector<int> Absent = {};
  std::map<int, int> Generations = {};
};

void ExpectHolding(const Opened& doc, const Holding& holding) {
  for (const auto& [number, start] : holding.Present) {
    EXPECT_EQ(ObjectText(doc, number).substr(0, start.size()), start) << "object " << number;
  }
  for (int number : holding.Absent) {
    int error = 0;
    EXPECT_LE(LookupObjectOffset(doc.Table, number, error), 0) << "object " << number;
  }
  for (const auto& [number, generation] : holding.Generations) {
    ASSERT_LT(static_cast<std::size_t>(number), doc.Table.size());
    EXPECT_EQ(doc.Table[number].Generation, generation) << "object " << number;
  }
}

const std::string kNewCatalog = "<< /Type /Catalog /Pages 2 0 R /PageMode /UseNone >>";

// Each row a file as writers and updates leave it, and the objects its converted table leads to.
TEST(ConvertXrefStreams, FindsTheObjectsOfEachFormAndChain) {
  struct Case {
    std::string Name;
    std::string Text;
    Holding Objects;
    bool WithTable = false;  // convert with the classic table parsed first, as the open sequence does
  };
  std::vector<Case> cases;
  const Holding onePage{{{1, kCatalog}, {2, kPages}, {3, kPage}, {4, kContents}, {6, "<< /Type /XRef"}, {7, kFont}}};
  // Stream forms the real-world corpus does not hold (the common ones it does), on the one-page document.
  XrefFormat hex, a85, noLength, noEndMarker, arrays{{1, 2, 1}, 12, {2, 4}, true, true};
  hex.Filter = "[/AHx /Fl]";
  a85.Filter = "[/A85 /FlateDecode]";
  noLength.WriteLength = false;
  noEndMarker.CutBytes = 4;  // the checksum
  for (const auto& [name, format] : std::vector<std::pair<std::string, XrefFormat>>{
           {"mixed PNG tags, predictor 15", {{1, 3, 2}, 15, {0, 1, 2, 3, 4}, true, false}},
           {"array forms", arrays}, {"ASCIIHex before Flate", hex}, {"ASCII85 before Flate", a85},
           {"no /Length", noLength}, {"Flate without its end", noEndMarker}}) {
    cases.push_back({name, OnePageFile("", format).Text, onePage});
  }
  // Without a type field every row is an object in use, and without a third field every generation
  // is 0: an update written so lists the object stream 5, which must still be taken apart.
  for (std::array<int, 3> widths : {std::array<int, 3>{0, 2, 1}, std::array<int, 3>{1, 2, 0}}) {
    XrefStreamPdf pdf = OnePageFile();
    pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [5 1 8 1]" + PrevTo(pdf, 6), {pdf.Entries.at(5), Row{-1, 0, 0}},
                   XrefFormat{widths, 12, {2}, true, false});
    Holding holding = onePage;
    holding.Present[8] = "<< /Type /XRef";
    cases.push_back({"update with /W [" + std::to_string(widths[0]) + " 2 " + std::to_string(widths[2]) + "]",
                     pdf.Text, holding});
  }
  {
    // Without an end-of-line before "endstream", a last data byte 10 is data: here the last byte of
    // the compressed object stream, and the generation 10 in the last row of an uncompressed table.
    XrefStreamPdf pdf;
    std::string data;
    for (int padding = 0; padding < 5000 && (data.empty() || data.back() != '\n'); ++padding) {
      pdf = XrefStreamPdf{};
      pdf.Object(2, "<< /Type /Pages /Kids [] /Count 0 >>");
      data = pdf.ObjectStream(3, {{1, "<< /Type /Catalog /Pages 2 0 R /Pad (" + std::string(padding, 'x') + ") >>"}},
                              "/Filter /FlateDecode", false);
    }
    EXPECT_EQ(data.back(), '\n');
    pdf.Text += "5 10 obj\n(five)\nendobj\n";
    pdf.Entries[5] = {1, static_cast<long long>(pdf.Text.rfind("5 10 obj")), 10};
    pdf.XrefStream(4, "/Size 6 /Root 1 0 R", pdf.Rows(0, 5, 4), XrefFormat{{1, 2, 1}, 0, {}, false, false, false});
    cases.push_back({"last data bytes that are line feeds", pdf.Text,
                     {{{1, "<< /Type /Catalog /Pages 2 0 R"}, {5, "(five)"}}, {}, {{5, 10}}}});
  }
  {
    // cairo writes a 2-byte index field, which wraps in an object stream of more than 65,535 objects.
    const int count = 65536 + 100, last = 10 + count - 1;
    std::vector<std::pair<int, std::string>> objects;
    for (int i = 0; i < count; ++i) objects.emplace_back(10 + i, "(" + std::to_string(i) + ")");
    XrefStreamPdf pdf = OnePageDocument();
    pdf.ObjectStream(8, objects);
    pdf.XrefStream(9, "/Size " + std::to_string(last + 1) + " /Root 1 0 R", pdf.Rows(0, last, 9),
                   XrefFormat{{1, 3, 2}, 12, {2}, true, false});
    cases.push_back({"cairo's wrapped index", pdf.Text,
                     {{{1, kCatalog}, {10, "(0)"}, {10 + 65535, "(65535)"}, {10 + 65536, "(65536)"}, {last, "(65635)"}}}});
  }
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
    cases.push_back({"stream over classic", pdf.Text,
                     {{{1, kCatalog}, {2, kPages}, {3, kPage}, {7, kCourier}, {10, "(ten)"}}, {9}}});
  }
  {
    XrefStreamPdf pdf = OnePageFile();  // a classic update over a stream, without /XRefStm
    pdf.Object(7, kCourier);
    pdf.Object(1, kNewCatalog);
    const long classic = pdf.ClassicSection({1, 7}, "/Size 8 /Root 1 0 R" + PrevTo(pdf, 6));
    const Holding holding{{{1, kNewCatalog}, {2, kPages}, {3, kPage}, {7, kCourier}}, {5}};
    cases.push_back({"classic over stream", pdf.Text, holding});
    // startxref a few bytes past "xref" (Word writes it 19 bytes late), before it, or at its line end.
    for (long shift : {19L, -3L, 4L}) {
      std::string text = pdf.Text;
      const std::size_t at = text.rfind("startxref\n") + 10;
      text.replace(at, text.find('\n', at) - at, std::to_string(classic + shift));
      cases.push_back({"startxref off by " + std::to_string(shift), text, holding});
    }
  }
  {
    // A stream update over a hybrid file, whose catalog, pages and font live in the object stream
    // only its /XRefStm stream 6 describes: the older section's /XRefStm counts.
    XrefStreamPdf base = OnePageDocument();
    const long xrefStm = base.XrefStream(6, "/Size 8", base.Rows(0, 7, 6), XrefFormat{{1, 2, 1}, 0, {}, false, false});
    base.Text.erase(base.Text.rfind("startxref"));
    const long classic = base.ClassicSection({0, 1, 2, 3, 4, 5, 6, 7},
                                             "/Size 8 /Root 1 0 R /Info 3 0 R /XRefStm " + std::to_string(xrefStm));
    for (long late : {0L, 19L}) {
      XrefStreamPdf pdf = base;
      pdf.Object(7, kCourier);
      pdf.XrefStream(8, "/Size 9 /Root 1 0 R /Index [7 2] /Prev " + std::to_string(classic + late), pdf.Rows(7, 8, 8));
      cases.push_back({late == 0 ? "stream over hybrid" : "stream over hybrid, /Prev a line late", pdf.Text,
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
    cases.push_back({"startxref in an empty section's trailer", pdf.Text,
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
    cases.push_back({"hybrid update, with the classic table", pdf.Text, holding, true});
    cases.push_back({"hybrid update, from the file", pdf.Text, holding});
  }
  {
    XrefStreamPdf pdf = OnePageFile(" /Prev 999999");  // a classic update and a stream naming each other
    pdf.Object(7, kCourier);
    const std::string classic = std::to_string(pdf.ClassicSection({7}, "/Size 8 /Root 1 0 R" + PrevTo(pdf, 6)));
    pdf.Text.replace(pdf.Text.find("/Prev 999999"), 12, "/Prev " + classic + std::string(6 - classic.size(), ' '));
    cases.push_back({"a loop through a classic section", pdf.Text, {{{1, kCatalog}, {7, kCourier}}}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    XrefTable classicTable;
    if (c.WithTable) classicTable = ClassicTableOf(c.Text);
    // Opened documents take the appended layout, rewritten images the in-place one.
    for (ConversionLayout layout : {ConversionLayout::InPlace, ConversionLayout::Appended}) {
      SCOPED_TRACE(layout == ConversionLayout::InPlace ? "in place" : "appended");
      Opened doc = Convert(c.Text, c.WithTable ? &classicTable : nullptr, layout);
      EXPECT_EQ(doc.Code, 0);
      if (doc.Code != 0) continue;
      EXPECT_EQ(doc.Catalog, 1);
      ExpectHolding(doc, c.Objects);
      if (layout == ConversionLayout::Appended) {
        EXPECT_TRUE(Text(doc.Image).compare(0, c.Text.size(), c.Text) == 0) << "the file's bytes come first";
      }
    }
  }
}

// Offset fields of five and eight bytes hold offsets past 2 GiB and 4 GiB; the classic table of the
// conversion writes them in ten digits, and one beyond ten digits stays beyond the file.
TEST(ConvertXrefStreams, OffsetsBeyondFourGibibytes) {
  const std::vector<std::int64_t> offsets{2147483748, 4294967396, 12345678901};
  for (const int width : {5, 8}) {
    SCOPED_TRACE(width);
    XrefStreamPdf pdf;
    pdf.Object(1, kCatalog);
    std::vector<Row> rows{{0, 0, 255}, pdf.Entries.at(1)};
    for (std::int64_t offset : offsets) rows.push_back({1, offset, 0});
    rows.push_back({-1, 0, 0});
    pdf.XrefStream(5, "/Size 6 /Root 1 0 R", rows, XrefFormat{{1, width, 1}, 12, {2}, true, false});
    EngineState state;
    XrefTable read;
    ASSERT_EQ(ReadXrefStreamObjects(state, ImageOf(pdf.Text), nullptr, read), 0);
    ASSERT_EQ(read.size(), 5u);
    Opened doc = Convert(pdf.Text);
    ASSERT_EQ(doc.Code, 0);
    ASSERT_EQ(doc.Table.size(), 6u);
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      EXPECT_EQ(read[i + 1].Offset, offsets[i]);
      EXPECT_EQ(doc.Table[i + 2].Offset, std::min(offsets[i], kMaxTableOffset));
    }
  }
}

TEST(ConvertXrefStreams, FailuresAndCancellingLeaveTheImageUnchanged) {
  const std::string base = OnePageFile().Text;
  const std::size_t objStm = base.find("/Type /ObjStm"), xrefStream = base.find("/Type /XRef");
  XrefStreamPdf over = OnePageFile();  // a classic update over the stream
  over.Object(7, kCourier);
  const std::size_t classicAt = static_cast<std::size_t>(over.ClassicSection({7}, "/Size 8 /Root 1 0 R" + PrevTo(over, 6)));
  auto change = [](std::string text, const std::string& from, const std::string& to, std::size_t after = 0) {
    const std::size_t at = text.find(from, after);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  // In an uncompressed object stream, the last object's offset (two digits) made smaller than the
  // one before it.
  std::string pairs = OnePageFile("", {}, "").Text;
  pairs.replace(pairs.find(" 7 ", pairs.find("1 0 2 ")) + 3, 2, "00");
  std::string checksum = base;  // a compressed object stream whose checksum does not match
  checksum[checksum.find("\nendstream", objStm) - 1] ^= 0x55;
  struct Case {
    const char* Name;
    std::string Text;
    int Code;
  };
  const Case cases[] = {
      {"/Index not an array", change(base, "/Root 1 0 R", "/Index 5 1 "), -29},
      {"a classic section without trailer", change(over.Text, "trailer", "trailxr", classicAt), -6},
      {"/W wider than 8", change(base, "/W [1 2 1]", "/W [1 9 1]"), -25},
      {"/W all zero", change(base, "/W [1 2 1]", "/W [0 0 0]"), -26},
      {"LZW", change(base, "/Filter /FlateDecode", "/Filter /LZWDecode  ", xrefStream), -36},
      {"huge /Size", change(base, "/Size 8", "/Size 99999999"), -13},
      {"/First too large", change(base, "/First ", "/First 9", objStm), -54},
      {"/N too large", change(base, "/N 3", "/N 9"), -53},
      {"startxref beyond the end", change(base, "startxref\n", "startxref\n9", base.rfind("startxref")), -5},
      {"object offsets out of order", pairs, -54},
      {"object stream checksum", checksum, -36},
      {"cancelled", base, kConvertCancelled},
  };
  JobControl cancel;
  cancel.CancelFlag = 3;
  for (const Case& c : cases) {
    for (ConversionLayout layout : {ConversionLayout::InPlace, ConversionLayout::Appended}) {
      SCOPED_TRACE(std::string(c.Name) + (layout == ConversionLayout::InPlace ? ", in place" : ", appended"));
      EngineState state;
      if (c.Code == kConvertCancelled) state.Control = &cancel;
      FileImage image = ImageOf(c.Text);
      EXPECT_EQ(ConvertXrefStreams(state, image, nullptr, nullptr, layout), c.Code);
      EXPECT_EQ(state.LastErrorCode, c.Code);
      EXPECT_TRUE(Text(image) == c.Text);
    }
  }
}

// Decompression stops at its limit: an object stream that would pass 256 MiB fails at once (and
// says so).
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
}

}  // namespace
}  // namespace folvex
