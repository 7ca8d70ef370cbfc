#include "app/model/list_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace folvex {
namespace {

struct Row {
  const char* Name;
  const char* Page = "?";
  const char* Date = "01/01/20 00:00:00";
  bool Selected = false;
  bool Focused = false;
};

FileList ListOf(const std::vector<Row>& rows, bool japanese = false) {
  FileList list;
  list.Japanese = japanese;
  for (const Row& r : rows) {
    ListEntry row;
    row.Name = r.Name;
    row.Path = std::string("C:\\") + r.Name;
    row.Page = r.Page;
    row.Date = r.Date;
    row.Icon = IconOf(PageValueOf(r.Page));
    row.Selected = r.Selected;
    row.Focused = r.Focused;
    list.Rows.push_back(row);
  }
  return list;
}

// Names in list order, selected rows marked with '*' and the focused one with '+'.
std::string Names(const FileList& list) {
  std::string names;
  for (const ListEntry& row : list.Rows) {
    if (!names.empty()) names += ' ';
    names += row.Name;
    if (row.Selected) names += '*';
    if (row.Focused) names += '+';
  }
  return names;
}

TEST(SortRows, KeysAndDirections) {
  struct Case {
    const char* Title;
    std::vector<Row> Rows;
    SortKey Key;
    bool SelectedOnly;
    bool Ascending;
    const char* After;
  };
  const std::vector<Row> pages = {{"n", "12"},  {"u", "?"},          {"x", "X Not PDF?"}, {"f", "X Not Found"},
                                  {"e", "Encrypted"}, {"k", "2 Encrypted"}, {"m", "3"}};
  const std::vector<Row> dates = {{"d00", "?", "01/01/00 00:00:00"}, {"d99", "?", "12/31/99 23:59:58"},
                                  {"d79", "?", "06/01/79 00:00:00"}, {"d80", "?", "06/01/80 00:00:00"},
                                  {"d20b", "?", "03/01/20 00:00:00"}, {"d20a", "?", "02/29/20 10:00:00"}};
  for (const Case& c : {
           Case{"names ignore ASCII case", {{"b.pdf"}, {"A.pdf"}, {"a2.pdf"}, {"C.pdf"}}, SortKey::Name, false, true,
                "A.pdf a2.pdf b.pdf C.pdf"},
           Case{"names upper-cased before comparing: '_' sorts after letters",
                {{"_x.pdf"}, {"b.pdf"}, {"a.pdf"}}, SortKey::Name, false, true, "a.pdf b.pdf _x.pdf"},
           Case{"a name sorts before its continuations", {{"ab.pdf"}, {"ab"}, {"a"}}, SortKey::Name, false, true,
                "a ab ab.pdf"},
           Case{"descending", {{"a"}, {"c"}, {"b"}}, SortKey::Name, false, false, "c b a"},
           Case{"pages: not PDF, encrypted uncounted, not found, uncounted, counts", pages, SortKey::Page, false, true,
                "x e f u k m n"},
           Case{"dates: 1980-1999 before 2000-2079", dates, SortKey::Date, false, true, "d80 d99 d00 d20a d20b d79"},
           Case{"selected rows among their own positions",
                {{"d", "?", "", true}, {"z"}, {"b", "?", "", true}, {"a"}, {"c", "?", "", true}}, SortKey::Name, true,
                true, "b* z c* a d*"},
       }) {
    SCOPED_TRACE(c.Title);
    FileList list = ListOf(c.Rows);
    SortRows(list, c.Key, c.SelectedOnly, c.Ascending);
    EXPECT_EQ(Names(list), c.After);
  }
}

TEST(SortRows, PathsAndJapaneseDates) {
  FileList list = ListOf({{"b"}, {"a"}});
  list.Rows[0].Path = "C:\\x\\b";
  list.Rows[1].Path = "D:\\a";
  EXPECT_FALSE(SortRows(list, SortKey::Path, false, true)) << "C:\\x\\b already before D:\\a";
  EXPECT_TRUE(SortRows(list, SortKey::Path, false, false));
  EXPECT_EQ(Names(list), "a b");

  FileList japanese = ListOf({{"new", "?", "05/01/01 00:00:00"}, {"old", "?", "98/12/31 00:00:00"}}, true);
  EXPECT_TRUE(SortRows(japanese, SortKey::Date, false, true));
  EXPECT_EQ(Names(japanese), "old new");
  EXPECT_EQ(japanese.Rows[0].Date, "98/12/31 00:00:00") << "the date text comes back unchanged";
}

TEST(SortRows, AnOrderedListIsLeftAlone) {
  FileList list = ListOf({{"a", "1"}, {"b", "2"}, {"c", "2"}});
  EXPECT_FALSE(SortRows(list, SortKey::Name, false, true));
  EXPECT_FALSE(SortRows(list, SortKey::Page, false, true)) << "equal keys are not exchanged";
  EXPECT_TRUE(SortRows(list, SortKey::Page, false, false));
  EXPECT_EQ(Names(list), "b c a");
}

TEST(SortRows, RowsKeepTheirStateTextsAndIcons) {
  FileList list = ListOf({{"b", "12 Encrypted", "01/01/20 00:00:00", true, true}, {"a", "Encrypted"}});
  EXPECT_TRUE(SortRows(list, SortKey::Name, false, true));
  EXPECT_EQ(Names(list), "a b*+");
  EXPECT_EQ(list.Rows[0].Page, "Encrypted");
  EXPECT_EQ(list.Rows[0].Icon, kIconEncrypted);
  EXPECT_EQ(list.Rows[1].Page, "12 Encrypted");
  EXPECT_EQ(list.Rows[1].Icon, kIconEncrypted);
  EXPECT_EQ(list.Rows[1].Path, "C:\\b");
}

TEST(SortToggles, FirstUseAscendsRepeatedUseAlternatesOthersReset) {
  SortToggles toggles;
  EXPECT_TRUE(FlipSortToggle(toggles, SortKey::Name, false));
  EXPECT_FALSE(FlipSortToggle(toggles, SortKey::Name, false));
  EXPECT_TRUE(FlipSortToggle(toggles, SortKey::Name, false));
  EXPECT_TRUE(FlipSortToggle(toggles, SortKey::Name, true)) << "the selected-rows toggle is its own";
  EXPECT_TRUE(FlipSortToggle(toggles, SortKey::Name, false)) << "it was cleared by the other command";
  ResetSortToggles(toggles);
  EXPECT_TRUE(FlipSortToggle(toggles, SortKey::Page, true));
}

TEST(DragOrder, SelectionLandsAfterTheTargetDownwardsBeforeItUpwards) {
  struct Case {
    const char* Title;
    std::vector<int> Selected;
    int Target;
    const char* After;
  };
  for (const Case& c : {
           Case{"two rows dragged down onto e", {1, 2}, 4, "a d e b* c*"},
           Case{"two rows dragged up onto b", {3, 4}, 1, "a d* e* b c"},
           Case{"to the end of the list", {0, 2}, 5, "b d e a* c*"},
           Case{"onto the top row", {2, 4}, 0, "c* e* a b d"},
           Case{"onto a selected row", {1, 3}, 3, "a c b* d* e"},
           Case{"scattered selection gathers", {0, 4}, 2, "b c a* e* d"},
           Case{"onto itself", {2}, 2, "a b c* d e"},
       }) {
    SCOPED_TRACE(c.Title);
    FileList list = ListOf({{"a"}, {"b"}, {"c"}, {"d"}, {"e"}});
    for (const int row : c.Selected) list.Rows[static_cast<std::size_t>(row)].Selected = true;
    const std::vector<int> order = DragOrder(list, c.Target);
    ApplyRowOrder(list, order);
    EXPECT_EQ(Names(list), c.After);
  }
}

TEST(DragOrder, UnchangedOrderIsReported) {
  FileList list = ListOf({{"a"}, {"b", "?", "", true}, {"c"}});
  EXPECT_FALSE(ApplyRowOrder(list, DragOrder(list, 1)));
  EXPECT_TRUE(ApplyRowOrder(list, DragOrder(list, 2)));
  EXPECT_EQ(Names(list), "a c b*");
  EXPECT_FALSE(ApplyRowOrder(list, DragOrder(list, 3))) << "b is already last";
}

TEST(DropAndDragTargets, RowsFromGeometry) {
  // Rows 20 pixels high; row 3 is the top visible one at y = 40; 5 rows fit; the list ends at 150.
  ListGeometry geometry;
  geometry.TopIndex = 3;
  geometry.FullyVisibleRows = 5;
  geometry.FirstRowTop = 40;
  geometry.RowHeight = 20;
  geometry.ListBottom = 150;
  struct Case {
    int RowCount;
    int Y;
    int Drop;
    int Drag;
  };
  for (const Case& c : {
           Case{20, 10, 0, 3},    // on the toolbar / above the first row
           Case{20, 30, 3, 3},    // over the column headers
           Case{20, 45, 3, 3},    // inside row 3
           Case{20, 60, 4, 3},    // on row 3's bottom edge: the drop goes below it, the drag onto it
           Case{20, 61, 4, 4},    //
           Case{20, 139, 7, 7},   //
           Case{20, 145, 8, 8},   // row 8, one past the last fully visible row
           Case{20, 161, 20, 20}, // below the walked rows / rows starting below the list
           Case{6, 121, 6, 6},    // below the last row of a short list
           Case{0, 50, 0, 0},     // empty list
       }) {
    SCOPED_TRACE(c.Y);
    EXPECT_EQ(DropInsertionIndex(c.RowCount, geometry, c.Y), c.Drop);
    EXPECT_EQ(DragTargetRow(c.RowCount, geometry, c.Y), c.Drag);
  }
}

}  // namespace
}  // namespace folvex
