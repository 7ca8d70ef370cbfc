// The model below the commands: the file list's row classes and page texts (protected files as
// they are counted are met in tests/app/jobs); the history's snapshots; sorting; Folvex.ini (every key read,
// defaulted and written back through the whole file's text, the text of other code pages, the file
// on disk at start and at the end).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/model/history.h"
#include "app/model/list_order.h"
#include "app/model/settings_file.h"
#include "engine/assembly/output_settings.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

// A row; the path is C:\f\ and the name unless given.
struct RowText {
  const char* Name;
  const char* Page = "?";
  const char* Date = "01/01/20 00:00:00";
  bool Selected = false;
  bool Focused = false;
  const char* Path = nullptr;
};

FileList ListOf(const std::vector<RowText>& rows, bool japanese = false) {
  FileList list{{}, japanese};
  for (const RowText& s : rows) {
    list.Rows.push_back({s.Name, s.Path ? s.Path : std::string("C:\\f\\") + s.Name, s.Date, s.Page,
                         IconOf(PageValueOf(s.Page)), s.Selected, s.Focused});
  }
  return list;
}

// Names in list order, '*' after a selected row and '+' after the focused one; with all, every field.
std::string Names(const FileList& list, bool all = false) {
  std::string names;
  for (const ListEntry& r : list.Rows) {
    names += (names.empty() ? "" : " ") + r.Name + (r.Selected ? "*" : "") + (r.Focused ? "+" : "") +
             (all ? "|" + r.Path + "|" + r.Date + "|" + r.Page + "|" + std::to_string(r.Icon) : "");
  }
  return names;
}

// The row classes every rule reads from the Page text in either language (uncounted, marked,
// encrypted), the text rebuilt from its stored value, and the counts that give it (a count below 1
// is a failure: a file without pages is no usable PDF file). The bare "Encrypted" of a protected
// file that could not be counted is an encrypted row like a counted one.
TEST(FileList, RowClassesPageValuesAndTheCountsThatGiveThem) {
  struct Case { const char* English; const char* Japanese; const char* Classes; PageValue Value; int Icon; std::vector<PageCount> Counts; };
  for (const Case& c : {Case{"?", "?", "U--", {0, false}, kIconPdf, {}},
                        Case{"12", "12", "---", {12, false}, kIconPdf, {{12, false, 0}}},
                        Case{"12 Encrypted", "12 暗号化", "--E", {12, true}, kIconEncrypted, {{12, true, 0}}},
                        Case{"Encrypted", "暗号化", "--E", {-2, false}, kIconEncrypted, {{-1, false, -1000}, {0, false, -1000}}},
                        Case{"X Not Found", "X 不明", "-M-", {-1, false}, kIconNotFound, {{-2, false, 0}}},
                        Case{"X Not PDF?", "X 未対応", "-M-", {-3, false}, kIconNotPdf, {{-1, false, -118}, {0, false, 0}}}}) {
    for (const bool japanese : {false, true}) {
      const char* page = japanese ? c.Japanese : c.English;
      const PageValue value = PageValueOf(page);
      EXPECT_EQ(std::string(IsUncounted(page) ? "U" : "-") + (IsMarked(page) ? "M" : "-") + (IsEncryptedPage(page) ? "E" : "-"),
                c.Classes) << page;
      EXPECT_EQ(std::pair(value.Value, value.Encrypted), std::pair(c.Value.Value, c.Value.Encrypted)) << page;
      EXPECT_EQ(PageTextOf(value, !japanese), japanese ? c.English : c.Japanese) << page;
      for (const PageCount& count : c.Counts) {
        ListEntry row;
        ApplyPageCount(row, count, japanese);
        EXPECT_EQ(row.Page + " " + std::to_string(row.Icon), std::string(page) + " " + std::to_string(c.Icon)) << count.Result;
      }
    }
  }
}

// A snapshot keeps every field (the date year first) and the focus row; undo and redo give them
// back.
TEST(History, SnapshotsKeepEveryRowAndTheFocus) {
  History history;
  ASSERT_TRUE(StartHistory(history));
  FileList list = ListOf({{"a", "12", "02/29/24 10:11:12"}, {"b", "Encrypted"}, {"c", "3 Encrypted", "", true},
                          {"d", "X Not Found", "", true, true}, {"e", "X Not PDF?"}});
  const std::string before = Names(list, true);
  TakeSnapshot(history, list, 1150);
  list.Rows.erase(list.Rows.begin() + 2, list.Rows.end());
  list.Rows[0].Selected = true;
  CommitStep(history, 1150);
  int focus = -1;
  ASSERT_TRUE(Undo(history, list, focus));
  EXPECT_EQ(Names(list, true) + " " + std::to_string(focus), before + " 3");
  EXPECT_EQ(history.Slots[0].Rows[0].Date, "24/02/29 10:11:12");
  ASSERT_TRUE(Redo(history, list, focus));
  EXPECT_EQ(Names(list) + " " + std::to_string(focus), "a* b 0");
}

// Each case sorts by a key, over all rows or the selected ones only, ascending or not; the names
// after it, "=" before them when nothing moved. Each row moves whole: path, date, page text, icon.
TEST(SortRows, KeysDirectionsAndTheRowsTheyMove) {
  struct Case { const char* Title; std::vector<RowText> Rows; SortKey Key; bool SelectedOnly, Ascending; const char* After; bool Japanese = false; };
  const std::vector<RowText> pages = {{"n", "12"}, {"u", "?"}, {"x", "X Not PDF?"}, {"f", "X Not Found"},
                                      {"e", "Encrypted"}, {"k", "2 Encrypted"}, {"m", "3"}};
  const std::vector<RowText> dates = {{"d00", "?", "01/01/00 00:00:00"}, {"d99", "?", "12/31/99 23:59:58"}, {"d79", "?", "06/01/79 00:00:00"},
                                      {"d80", "?", "06/01/80 00:00:00"}, {"d20b", "?", "03/01/20 00:00:00"}, {"d20a", "?", "02/29/20 10:00:00"}};
  using enum SortKey;
  for (const Case& c : {
           Case{"names ignore ASCII case", {{"b.pdf"}, {"A.pdf"}, {"a2.pdf"}, {"C.pdf"}}, Name, false, true, "A.pdf a2.pdf b.pdf C.pdf"},
           Case{"names upper-cased: '_' after letters", {{"_x"}, {"b"}, {"a"}}, Name, false, true, "a b _x"},
           Case{"a name before its continuations", {{"ab.pdf"}, {"ab"}, {"a"}}, Name, false, true, "a ab ab.pdf"},
           Case{"descending", {{"a"}, {"c"}, {"b"}}, Name, false, false, "c b a"},
           Case{"pages: not PDF, encrypted uncounted, not found, uncounted, counts", pages, Page, false, true, "x e f u k m n"},
           Case{"dates: 1980-1999 before 2000-2079", dates, Date, false, true, "d80 d99 d00 d20a d20b d79"},
           Case{"dates year first", {{"new", "?", "05/01/01 00:00:00"}, {"old", "?", "98/12/31 00:00:00"}}, Date, false, true, "old new", true},
           Case{"selected rows among their own positions", {{"d", "?", "", true}, {"z"}, {"b", "?", "", true}, {"a"},
                {"c", "?", "", true, true}}, Name, true, true, "b* z c*+ a d*"},
           Case{"an ordered list is left alone", {{"a", "1"}, {"b", "2"}}, Name, false, true, "= a b"},
           Case{"equal keys are not exchanged", {{"a", "1"}, {"b", "2"}, {"c", "2"}}, Page, false, true, "= a b c"},
           Case{"equal keys keep their order descending", {{"a", "1"}, {"b", "2"}, {"c", "2"}}, Page, false, false, "b c a"},
           Case{"paths", {{"b", "?", "", false, false, "C:\\x\\b"}, {"a", "?", "", false, false, "D:\\a"}}, Path, false, false, "a b"},
       }) {
    FileList list = ListOf(c.Rows, c.Japanese);
    const std::string before = Names(list, true);
    const bool moved = SortRows(list, c.Key, c.SelectedOnly, c.Ascending);
    EXPECT_EQ((moved ? "" : "= ") + Names(list), c.After) << c.Title;
    for (const ListEntry& row : list.Rows) EXPECT_NE(before.find(Names(FileList{{row}, false}, true)), std::string::npos) << c.Title;
  }
}

const std::string kColours16 = " 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 "
                               "16777215 16777215 16777215 16777215 16777215 16777215";

// What a file without any key is written back as: every key in its place with its default.
const std::string kDefaults =
    "[General]\nPosition=\nInputFolder=\nOutputFolder=\nColumns=\n"
    "[Processing]\nOrgFileDelete=On\nNewFileRecord=On\nNewFileOpen=Off\nFileBackUp=Off\nPageDisp=Off\n"
    "[File Setting]\nDispScale=N\nPageLayout=0\nDirection=0\nOutlineKeepE=0\nPageModeE=0\nOutlineKeepM=0\n"
    "PageModeM=0\nOutlineKeepS=0\nPageModeS=0\nFileToOutline=Off\nOItalic=Off\nOBold=Off\nOColor=0" + kColours16 +
    "\nODown=Off\nOOpen=Off\nKeepAnnots=Off\n[Tomlet]\nTomlet=\n"
    "[Security Setting]\nbPrint=0\nbModify=0\nbCopy=0\nbAdAnnot=0\nbSecFolder=0\n";

// The lines of a written text that are not the defaults' in their place, joined by '|'.
std::string ChangedLines(const std::string& text) {
  std::istringstream written(text), defaults(kDefaults);
  std::string changed;
  for (std::string line, expected; std::getline(defaults, expected);) {
    if (!std::getline(written, line) || line != expected) changed += (changed.empty() ? "" : "|") + line;
  }
  for (std::string line; std::getline(written, line);) changed += "|" + line;
  return changed;
}

TEST(SettingsFile, EveryKeyIsReadFromItsFirstLineAnywhereAndWrittenInItsPlace) {
  EXPECT_EQ(SettingsText(ParseSettingsText(""), true), kDefaults);
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText("[General]\ngarbage\x01\n[File Setting]\nDispScale=\n"), true)), "");
  // The file, and the one line of the written file that is not the default's when it is not the file.
  struct Case { std::string Text; std::string Line = ""; };
  const Case cases[] = {
      {"Position=10 20 800 600"}, {"InputFolder=C:\\in\r\n", "InputFolder=C:\\in"}, {"OutputFolder=D:\\出力"},
      {"Columns=1 2 3 4"}, {"OrgFileDelete=Off"}, {"NewFileRecord=Off"}, {"NewFileOpen=On"}, {"FileBackUp=On"}, {"PageDisp=On"},
      {"DispScale=150F"}, {"DispScale=1234567890123456789F", "DispScale=123456789012345"}, {"PageLayout=5"}, {"Direction=1"},
      {"OutlineKeepE=2"}, {"PageModeE=6"}, {"OutlineKeepM=1"}, {"PageModeM=3"}, {"OutlineKeepS=1"}, {"PageModeS=2"},
      {"FileToOutline=On"}, {"OItalic=On"}, {"OBold=On"}, {"ODown=On"}, {"OOpen=On"}, {"KeepAnnots=On"}, {"Tomlet=C:\\T\\Tomlet.exe"},
      {"bPrint=1"}, {"bModify=1"}, {"bCopy=1"}, {"bAdAnnot=1"}, {"bSecFolder=1"},
      // Only "On" and "1" switch on; numbers read as the C runtime's atoi does, saturated.
      {"OBold=on", "OBold=Off"}, {"OBold=On ", "OBold=Off"}, {"KeepAnnots=1", "KeepAnnots=Off"}, {"bCopy=01", "bCopy=0"}, {"bCopy=On", "bCopy=0"},
      {"PageModeS=12abc", "PageModeS=12"}, {"PageModeS=abc", "PageModeS=0"}, {"PageModeS= -2", "PageModeS=-2"},
      {"PageModeS=99999999999999", "PageModeS=2147483647"}, {"PageModeS=-99999999999999", "PageModeS=-2147483648"},
      // The first "Key=" anywhere wins, whatever section or comment it stands in.
      {"[General]\nOrgFileDelete=Off\n[Processing]\nOrgFileDelete=On\n", "OrgFileDelete=Off"},
      {"; note PageLayout=3\nPageLayout=1\n", "PageLayout=3"}, {"[Unknown]\nDirection=2", "Direction=2"},
      // A text that is not UTF-8 is read as Windows-1252.
      {"InputFolder=C:\\Caf\xE9\x80\r\n", "InputFolder=C:\\Caf\xC3\xA9\xE2\x82\xAC"}, {"InputFolder=\xC0\x80", "InputFolder=\xC3\x80\xE2\x82\xAC"},
      // The outline colour, then 16 custom colours; a list that ends early repeats its last number.
      {"OColor=255 0", "OColor=255 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"}, {"OColor=1 2 3", "OColor=1 2 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3"},
      {"OColor=0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18", "OColor=0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16"},
      {"OColor=9  4", "OColor=9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9"}, {"OColor=x 1", "OColor=0" + kColours16},
      {"OColor=-5 1", "OColor=0" + kColours16}, {"OColor=7 -1", "OColor=7 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1"},
  };
  for (const Case& c : cases) {
    const std::string line = c.Line.empty() ? c.Text : c.Line;  // nothing changed when it is the default's own
    EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(c.Text), true)), kDefaults.find("\n" + line + "\n") == std::string::npos ? line : "")
        << c.Text;
  }
  // Windows line ends read the same; without a splitter its path is not kept.
  std::string crlf = SettingsText(ParseSettingsText("Tomlet=C:\\T\\Tomlet.exe"), true);
  for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.insert(at, "\r");
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(crlf), true)), "Tomlet=C:\\T\\Tomlet.exe");
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(crlf), false)), "");
  // A text that is not UTF-8 goes through the caller's decoder when one is given.
  const auto decoder = [](std::string_view) { return std::string("InputFolder=X"); };
  EXPECT_EQ(ParseSettingsText("InputFolder=\x8F\xA0\n", decoder).InputFolder, "X");
  // A value with a line break cannot add a key of its own.
  AppSettings s = ParseSettingsText("");
  s.Tomlet = "/tmp/x\nbPrint=1";
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(SettingsText(s, true)), true)), "Tomlet=/tmp/x");
}

TEST(SettingsFile, OnDiskAtStartAndAtTheEnd) {
  const std::string folder = testing::TempDir() + "/settings";
  std::filesystem::create_directories(folder);
  // The first start creates the default file and starts in the folder, with the built-in OOpen.
  AppSettings s;
  s.PageDisp = true;
  ASSERT_TRUE(LoadSettings(folder, s));
  const std::string path = SettingsFilePath(folder);
  EXPECT_EQ(testing::ReadFile(path), DefaultSettingsText());
  EXPECT_EQ(s.InputFolder + "|" + s.OutputFolder + "|" + std::to_string(s.PageDisp) + std::to_string(s.Output.OOpen),
            folder + "|" + folder + "|01");
  AppSettings again;
  ASSERT_TRUE(LoadSettings(folder + "/", again));
  EXPECT_EQ(ChangedLines(SettingsText(again, true)), "") << "the next start reads the file it made";

  s.bModify = true;
  s.OutputFolder = folder + "/出力";
  ASSERT_TRUE(SaveSettingsFile(path, s, true));
  EXPECT_EQ(ChangedLines(testing::ReadFile(path)), ChangedLines(SettingsText(s, true)));
  ASSERT_TRUE(ReadSettingsFile(path, again));
  EXPECT_EQ(ChangedLines(SettingsText(again, true)), ChangedLines(SettingsText(s, true)));
  EXPECT_FALSE(SaveSettingsFile(folder + "/no/such/Folvex.ini", s, true));
  again.PageDisp = true;
  EXPECT_FALSE(LoadSettings(folder + "/no/such", again));
  EXPECT_FALSE(again.PageDisp);

  // A settings file made read-only is not replaced (even where the user could): the old settings
  // stay whole and no stray file is left behind.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_FALSE(SaveSettingsFile(path, AppSettings(), false));
  EXPECT_EQ(ChangedLines(testing::ReadFile(path)), ChangedLines(SettingsText(s, true)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace folvex
