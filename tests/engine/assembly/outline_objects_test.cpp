#include "engine/assembly/outline_objects.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/engine/assembly/outline_fixtures.h"

namespace folvex {
namespace {

using namespace std::string_literals;
using testing::MakeOutlineSlot;

std::string Object(int number, const std::string& body) {
  return std::to_string(number) + " 0 obj\n<<\n" + body + ">>\nendobj\n";
}

JobSettings KeepOutlines(bool atTop = false) {
  JobSettings job;
  job.KeepOutlines = 1;
  job.OutlinesToTop = atTop ? 1 : 0;
  return job;
}

TEST(ExtractOutlineObjectsTest, WritesEveryEntryWithItsInputBytes) {
  const DocumentSlot slot = MakeOutlineSlot({
      {.Level = 1, .Page = 1, .Count = 1, .Title = "(Intro \\(1\\))", .View = "/XYZ 0 792 null", .Colour = "1 0 0", .Flags = 2},
      {.Level = 2, .Page = 1, .Title = "<FEFF0041>", .View = "/Fit"},
      {.Level = 1, .Page = 0},
  });
  const std::vector<int> pageIndexList{1, 0};
  const std::vector<int> pageNumbers{5, 6};
  std::string out = "head";
  std::vector<uint32_t> offsets(19, 1);
  ASSERT_EQ(AppendExtractOutlines(out, offsets, 20, KeepOutlines(), slot, pageIndexList, pageNumbers), 4);

  const std::vector<std::string> objects = {
      Object(20, "/First 21 0 R\n/Last 23 0 R\n/Count 3\n"),
      Object(21, "/Title (Intro \\(1\\))\n/C [ 1 0 0]\n/F 2\n/Dest [ 5 0 R /XYZ 0 792 null]\n/Parent 20 0 R\n"
                 "/Next 23 0 R\n/First 22 0 R\n/Last 22 0 R\n/Count 1\n"),
      Object(22, "/Title <FEFF0041>\n/Dest [ 5 0 R /Fit]\n/Parent 21 0 R\n"),
      Object(23, "/Title ()\n/Dest null\n/Parent 20 0 R\n/Prev 21 0 R\n"),
  };
  std::string expected = "head";
  ASSERT_EQ(offsets.size(), 23u);
  for (std::size_t k = 0; k < objects.size(); ++k) {
    EXPECT_EQ(offsets[19 + k], expected.size()) << k;
    expected += objects[k];
  }
  EXPECT_EQ(out, expected);
  EXPECT_EQ(offsets[18], 1u);
}

TEST(ExtractOutlineObjectsTest, PlaceholdersRepeatsAndTopLevel) {
  const DocumentSlot slot = MakeOutlineSlot({{.Level = 3, .Page = 0, .Title = "(Deep)", .View = "/Fit"}});
  const std::vector<int> pageNumbers{7, 9};
  struct Case {
    std::vector<int> Pages;
    bool AtTop;
    std::vector<std::string> Objects;
  };
  const std::vector<Case> cases = {
      {{0},
       false,
       {Object(40, "/First 41 0 R\n/Last 41 0 R\n/Count 3\n"),
        Object(41, "/Title ()\n/Dest null\n/Parent 40 0 R\n/First 42 0 R\n/Last 42 0 R\n/Count 2\n"),
        Object(42, "/Title ()\n/Dest null\n/Parent 41 0 R\n/First 43 0 R\n/Last 43 0 R\n/Count 1\n"),
        Object(43, "/Title (Deep)\n/Dest [ 7 0 R /Fit]\n/Parent 42 0 R\n")}},
      // A page written twice gives its item twice, pointing at each copy.
      {{0, 0},
       true,
       {Object(40, "/First 41 0 R\n/Last 42 0 R\n/Count 2\n"),
        Object(41, "/Title (Deep)\n/Dest [ 7 0 R /Fit]\n/Parent 40 0 R\n/Next 42 0 R\n"),
        Object(42, "/Title (Deep)\n/Dest [ 9 0 R /Fit]\n/Parent 40 0 R\n/Prev 41 0 R\n")}},
  };
  for (const Case& c : cases) {
    std::string out;
    std::vector<uint32_t> offsets;
    const int written = AppendExtractOutlines(out, offsets, 40, KeepOutlines(c.AtTop), slot, c.Pages, pageNumbers);
    EXPECT_EQ(written, static_cast<int>(c.Objects.size()));
    std::string expected;
    for (const std::string& object : c.Objects) expected += object;
    EXPECT_EQ(out, expected);
  }
}

TEST(ExtractOutlineObjectsTest, NothingWrittenWithoutEntries) {
  const DocumentSlot slot = MakeOutlineSlot({{.Page = 2, .Title = "(A)"}});
  const std::vector<int> pageNumbers{4, 5};
  const std::vector<int> otherPages{0, 1}, itsPage{2, 1};
  std::string out = "x";
  std::vector<uint32_t> offsets(3);
  EXPECT_EQ(AppendExtractOutlines(out, offsets, 10, KeepOutlines(), slot, otherPages, pageNumbers), 0);
  EXPECT_EQ(AppendExtractOutlines(out, offsets, 10, JobSettings{}, slot, itsPage, pageNumbers), 0);
  EXPECT_EQ(AppendExtractOutlines(out, offsets, 10, KeepOutlines(), MakeOutlineSlot({}), itsPage, pageNumbers), 0);
  EXPECT_EQ(out, "x");
  EXPECT_EQ(offsets.size(), 3u);
}

TEST(ExtractOutlineObjectsTest, RecordsPointingOutsideTheImageWriteEmptyValues) {
  DocumentSlot slot = MakeOutlineSlot({{.Page = 0, .Title = "(T)", .View = "/Fit", .Colour = "0 1 0"}});
  OutlineItem& item = slot.OutlineItems[1];
  item.TitlePosition = static_cast<int32_t>(slot.Image.Size()) - 1;
  item.ViewLength = 100000;
  item.ColourPosition = -4;
  const std::vector<int> pages{0}, pageNumbers{4};
  std::string out;
  std::vector<uint32_t> offsets;
  ASSERT_EQ(AppendExtractOutlines(out, offsets, 8, KeepOutlines(), slot, pages, pageNumbers), 2);
  EXPECT_NE(out.find(Object(9, "/Title ()\n/Dest null\n/Parent 8 0 R\n")), std::string::npos) << out;
}

std::optional<std::string> Utf16Title(std::u16string_view units) {
  std::string bytes = "\xFE\xFF";
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

TEST(FileNameTitleTest, NamesBecomeEscapedUtf16) {
  struct Case {
    std::string Path;
    std::optional<std::string> Expected;
  };
  const std::vector<Case> cases = {
      {"C:\\docs\\report.pdf", Utf16Title(u"report")},
      {"/home/u/report.PDF", Utf16Title(u"report")},
      {"dir\\sub/name.pdf", Utf16Title(u"name")},
      {"a.pdf", Utf16Title(u"a")},
      {"x/a.pd", Utf16Title(u"a.pd")},  // four characters or fewer: used whole
      {"abcd", Utf16Title(u"abcd")},
      {"x/(draft).pdf", "\xFE\xFF\0\\(\0d\0r\0a\0f\0t\0\\)"s},
      {"\\\\server\\a\\b.pdf", Utf16Title(u"b")},
      {"日本語.pdf", "\xFE\xFF\x65\xE5\x67\x2C\x8A\x9E"s},
      // The extension is four characters, not four bytes.
      {"日本語", "\xFE\xFF\x65\xE5\x67\x2C\x8A\x9E"s},
      // A unit whose low byte is zero, then an ASCII character: every byte is written.
      {"\xC4\x80" "a.pdf", "\xFE\xFF\x01\x00\x00\x61"s},
      // A unit byte that is a backslash is escaped like any other (U+5C0F).
      {"\xE5\xB0\x8F.pdf", "\xFE\xFF\\\\\x0F"s},
      {"\xF0\x9F\x98\x80.pdf", "\xFE\xFF\xD8\x3D\xDE\x00"s},
      // A character outside the basic plane is one of the four, though it takes two units.
      {"ab\xF0\x9F\x98\x80.pd", Utf16Title(u"ab")},
      {"folder/", ""s},
      {"", ""s},
      {"bad\xFF.pdf", std::nullopt},
      {"\xC0\xAF.pdf", std::nullopt},            // overlong '/'
      {"\xED\xA0\x80.pdf", std::nullopt},        // an encoded surrogate
      {"cut\xE6\x97.pdf", std::nullopt},         // a truncated sequence
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(FileNameTitle(c.Path), c.Expected);
  }
}

TEST(FileNameTitleTest, LengthLimits) {
  struct Case {
    std::string Name;
    bool HasTitle;
  };
  const std::vector<Case> cases = {
      {std::string(258, 'n') + ".pdf", true},
      {std::string(259, 'n') + ".pdf", false},
      {std::string(86, '\xE6') + ".pdf", false},  // not UTF-8 at all
      // 2 mark bytes + 172 escaped "(" of 3 bytes + 2 plain units of 2 bytes = 522: still written.
      {std::string(172, '(') + "xx.pdf", true},
      {std::string(172, '(') + "xxx.pdf", false},
      {std::string(174, '(') + ".pdf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name.size());
    const std::optional<std::string> title = FileNameTitle("dir/" + c.Name);
    EXPECT_EQ(title.has_value(), c.HasTitle);
    if (title) {
      EXPECT_LE(title->size(), 522u);
    }
  }
}

// Two inputs of two and one pages; the first has one item on its second page.
struct MergeFixture {
  DocumentSlot First = MakeOutlineSlot({{.Level = 1, .Page = 1, .Count = -1, .Title = "(Ch)", .View = "/Fit"},
                                        {.Level = 2, .Page = 1, .Title = "(Sub)", .View = "/FitH 100"}},
                                       {PageBox{{0, 0, 612, 792}}, PageBox{{0, 0, 10, 10}}});
  DocumentSlot Second = MakeOutlineSlot({}, {PageBox{{10, 20, 595.5f, 842}}});
  std::vector<MergeOutlineFile> Files{{&First, 2, 0, "in\\report.pdf"}, {&Second, 1, 2, "in/b.pdf"}};
  std::vector<int> PageNumbers{5, 6, 7};
};

TEST(MergeOutlineObjectsTest, FileNamesOnly) {
  MergeFixture merge;
  const MergeOutlineOptions options{.FileToOutline = true, .Bold = true, .Italic = true, .Colour = 0x0000FF};
  std::string out;
  std::vector<uint32_t> offsets;
  ASSERT_EQ(AppendMergeOutlines(out, offsets, 30, options, merge.Files, merge.PageNumbers), 3);
  const std::string colour = "/C [ 1.000000 0.000000 0.000000 ]\n/F 3\n";
  const std::string root = Object(30, "/First 31 0 R\n/Last 32 0 R\n/Count 2\n");
  const std::string first =
      Object(31, "/Title (" + *Utf16Title(u"report") + ")\n" + colour +
                     "/Dest [ 5 0 R /XYZ 612.000000 792.000000 null]\n/Parent 30 0 R\n/Next 32 0 R\n");
  const std::string second =
      Object(32, "/Title (" + *Utf16Title(u"b") + ")\n" + colour +
                     "/Dest [ 7 0 R /XYZ 595.500000 842.000000 null]\n/Parent 30 0 R\n/Prev 31 0 R\n");
  EXPECT_EQ(out, root + first + second);
  ASSERT_EQ(offsets.size(), 32u);
  EXPECT_EQ(offsets[29], 0u);
  EXPECT_EQ(offsets[30], root.size());
}

TEST(MergeOutlineObjectsTest, FileEntryStyle) {
  MergeFixture merge;
  struct Case {
    MergeOutlineOptions Options;
    std::string Style;  // the lines between /Title and /Dest
  };
  const std::vector<Case> cases = {
      {{.FileToOutline = true}, ""},
      {{.FileToOutline = true, .Bold = true}, "/F 2\n"},
      {{.FileToOutline = true, .Italic = true}, "/F 1\n"},
      {{.FileToOutline = true, .Colour = 0x804020}, "/C [ 0.125491 0.250981 0.501961 ]\n"},
      {{.FileToOutline = true, .Colour = 0xFF0000}, "/C [ 0.000000 0.000000 1.000000 ]\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    std::vector<uint32_t> offsets;
    ASSERT_EQ(AppendMergeOutlines(out, offsets, 30, c.Options, merge.Files, merge.PageNumbers), 3);
    const std::string expected = "/Title (" + *Utf16Title(u"b") + ")\n" + c.Style + "/Dest [ 7 0 R /XYZ";
    EXPECT_NE(out.find(expected), std::string::npos) << c.Style;
  }
}

TEST(MergeOutlineObjectsTest, ClosedFileEntriesHoldTheirOutlineOneLevelDown) {
  MergeFixture merge;
  const MergeOutlineOptions options{.KeepOutlines = true, .FileToOutline = true, .Down = true, .Open = false};
  std::string out;
  std::vector<uint32_t> offsets;
  ASSERT_EQ(AppendMergeOutlines(out, offsets, 30, options, merge.Files, merge.PageNumbers), 5);
  // Root, file 1 (closed, holding Ch, which is closed and holds Sub), file 2.
  const std::string expected =
      Object(30, "/First 31 0 R\n/Last 34 0 R\n/Count 2\n") +
      Object(31, "/Title (" + *Utf16Title(u"report") +
                     ")\n/Dest [ 5 0 R /XYZ 612.000000 792.000000 null]\n/Parent 30 0 R\n/Next 34 0 R\n"
                     "/First 32 0 R\n/Last 32 0 R\n/Count -1\n") +
      Object(32, "/Title (Ch)\n/Dest [ 6 0 R /Fit]\n/Parent 31 0 R\n/First 33 0 R\n/Last 33 0 R\n/Count -1\n") +
      Object(33, "/Title (Sub)\n/Dest [ 6 0 R /FitH 100]\n/Parent 32 0 R\n") +
      Object(34, "/Title (" + *Utf16Title(u"b") +
                     ")\n/Dest [ 7 0 R /XYZ 595.500000 842.000000 null]\n/Parent 30 0 R\n/Prev 31 0 R\n");
  EXPECT_EQ(out, expected);
}

TEST(MergeOutlineObjectsTest, NothingWrittenWithoutEntries) {
  MergeFixture merge;
  DocumentSlot bare = MakeOutlineSlot({});
  const std::vector<MergeOutlineFile> files{{&bare, 1, 0, "a.pdf"}, {&bare, 1, 1, "b.pdf"}};
  std::string out;
  std::vector<uint32_t> offsets;
  EXPECT_EQ(AppendMergeOutlines(out, offsets, 30, {.KeepOutlines = true}, files, merge.PageNumbers), 0);
  EXPECT_EQ(AppendMergeOutlines(out, offsets, 30, {}, merge.Files, merge.PageNumbers), 0);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace folvex
