// The file list model: row classes and page texts, protected files counted; the history's
// snapshots and memory limits; sorting.
#include <gtest/gtest.h>

#include "app/model/history.h"
#include "app/model/list_order.h"
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
      EXPECT_EQ(IconOf(value), c.Icon) << page;
      EXPECT_EQ(PageTextOf(value, !japanese), japanese ? c.English : c.Japanese) << page;
      for (const PageCount& count : c.Counts) {
        ListEntry row;
        ApplyPageCount(row, count, japanese);
        EXPECT_EQ(row.Page + " " + std::to_string(row.Icon), std::string(page) + " " + std::to_string(c.Icon)) << count.Result;
      }
    }
  }
}

// Protected files with cross-reference streams: the empty user password opens them for counting;
// any other user password leaves the bare encrypted text.
TEST(FileList, ProtectedStreamFilesAreCountedWithTheEmptyPassword) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string plain = testing::WriteTempFile("count-plain.pdf", testing::SimplePdf(12));
  for (const auto& [user, method, page] : {std::tuple{"", "128 --use-aes=n", "12 Encrypted"}, {"", "128 --use-aes=y", "12 Encrypted"},
                                           {"", "256", "12 Encrypted"}, {"u", "128 --use-aes=n", "Encrypted"}}) {
    const std::string path = testing::TempDir() + "/count.pdf";
    ASSERT_EQ(testing::RunCommand(std::string("qpdf --allow-weak-crypto --object-streams=generate --encrypt '") + user +
                                  "' owner " + method + " -- '" + plain + "' '" + path + "' 2>&1").ExitCode, 0);
    const ListEntry row = MakeRow(path, false, true, CountPagesOfFile);
    EXPECT_EQ(row.Page + " " + std::to_string(row.Icon), std::string(page) + " 3") << method << user;
  }
}

// A snapshot keeps every field (the date year first) and the focus row; undo and redo give them
// back. Starting, a snapshot and the snapshot an undo takes of the present list, each failing for
// memory: the history is switched off for good, its memory freed, the list left as it is.
TEST(History, SnapshotsKeepEveryRowAndAMemoryFailureSwitchesTheHistoryOff) {
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

  for (const std::size_t limit : {100u, 300u, 200u}) {
    History small;
    small.MaxRowsPerSlot = limit;
    FileList rows;
    const bool started = StartHistory(small);
    TakeSnapshot(small, rows, 1400);
    rows.Rows.push_back(ListOf({{"a"}}).Rows[0]);
    CommitStep(small, 1400);
    rows.Rows.resize(251, rows.Rows[0]);
    EXPECT_TRUE(limit != 300 || !TakeSnapshot(small, rows, 1400));
    EXPECT_FALSE(Undo(small, rows, focus)) << limit;
    CommitStep(small, 1400);
    EXPECT_EQ(std::to_string(rows.Rows.size()) + (small.Enabled ? " on " : " off ") + std::to_string(small.Slots.size()) + " " +
                  std::to_string(small.UndoCount), std::string("251 off 0 ") + (started ? "1" : "0")) << limit;
  }
}

// Each case sorts by a key, over all rows or the selected ones only, ascending or not; the names
// after it, "=" before them when nothing moved. Each row moves whole: path, date, page text, icon.
TEST(SortRows, KeysDirectionsAndTheRowsTheyMove) {
  struct Case { const char* Title; std::vector<RowText> Rows; SortKey Key; bool SelectedOnly, Ascending; const char* After; };
  const std::vector<RowText> pages = {{"n", "12"}, {"u", "?"}, {"x", "X Not PDF?"}, {"f", "X Not Found"},
                                      {"e", "Encrypted"}, {"k", "2 Encrypted"}, {"m", "3"}};
  const std::vector<RowText> dates = {{"d00", "?", "01/01/00 00:00:00"}, {"d99", "?", "12/31/99 23:59:58"},
                                      {"d79", "?", "06/01/79 00:00:00"}, {"d80", "?", "06/01/80 00:00:00"},
                                      {"d20b", "?", "03/01/20 00:00:00"}, {"d20a", "?", "02/29/20 10:00:00"}};
  using enum SortKey;
  for (const Case& c : {
           Case{"names ignore ASCII case", {{"b.pdf"}, {"A.pdf"}, {"a2.pdf"}, {"C.pdf"}}, Name, false, true, "A.pdf a2.pdf b.pdf C.pdf"},
           Case{"names upper-cased: '_' after letters", {{"_x"}, {"b"}, {"a"}}, Name, false, true, "a b _x"},
           Case{"a name before its continuations", {{"ab.pdf"}, {"ab"}, {"a"}}, Name, false, true, "a ab ab.pdf"},
           Case{"descending", {{"a"}, {"c"}, {"b"}}, Name, false, false, "c b a"},
           Case{"pages: not PDF, encrypted uncounted, not found, uncounted, counts", pages, Page, false, true, "x e f u k m n"},
           Case{"dates: 1980-1999 before 2000-2079", dates, Date, false, true, "d80 d99 d00 d20a d20b d79"},
           Case{"selected rows among their own positions", {{"d", "?", "", true}, {"z"}, {"b", "?", "", true}, {"a"},
                {"c", "?", "", true, true}}, Name, true, true, "b* z c*+ a d*"},
           Case{"an ordered list is left alone", {{"a", "1"}, {"b", "2"}}, Name, false, true, "= a b"},
           Case{"equal keys are not exchanged", {{"a", "1"}, {"b", "2"}, {"c", "2"}}, Page, false, true, "= a b c"},
           Case{"equal keys keep their order descending", {{"a", "1"}, {"b", "2"}, {"c", "2"}}, Page, false, false, "b c a"},
           Case{"paths", {{"b", "?", "", false, false, "C:\\x\\b"}, {"a", "?", "", false, false, "D:\\a"}}, Path, false, false, "a b"},
       }) {
    FileList list = ListOf(c.Rows);
    const std::string before = Names(list, true);
    const bool moved = SortRows(list, c.Key, c.SelectedOnly, c.Ascending);
    EXPECT_EQ((moved ? "" : "= ") + Names(list), c.After) << c.Title;
    for (const ListEntry& row : list.Rows) {
      EXPECT_NE(before.find(Names(FileList{{row}, false}, true)), std::string::npos) << c.Title << " " << row.Name;
    }
  }
  FileList japanese = ListOf({{"new", "?", "05/01/01 00:00:00"}, {"old", "?", "98/12/31 00:00:00"}}, true);
  EXPECT_TRUE(SortRows(japanese, SortKey::Date, false, true));
  EXPECT_EQ(Names(japanese) + " " + japanese.Rows[0].Date, "old new 98/12/31 00:00:00");
}

}  // namespace
}  // namespace folvex
