#include "app/model/history.h"

#include <gtest/gtest.h>

#include <string>

namespace folvex {
namespace {

ListEntry RowNamed(const std::string& name, const std::string& page = "?", const std::string& date = "") {
  ListEntry row;
  row.Name = name;
  row.Path = "C:\\files\\" + name;
  row.Page = page;
  row.Icon = IconOf(PageValueOf(page));
  row.Date = date;
  return row;
}

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

// One list change recorded the way a command records it: snapshot, change, commit.
void AppendRow(History& history, FileList& list, const std::string& name, int commandId = 1400) {
  TakeSnapshot(history, list, commandId);
  list.Rows.push_back(RowNamed(name));
  CommitStep(history, commandId);
}

TEST(History, TwentyFiveChangesTwentyUndosTwentyRedos) {
  History history;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  for (int i = 1; i <= 25; ++i) AppendRow(history, list, "r" + std::to_string(i));
  EXPECT_EQ(history.UndoCount, 20);
  int focus = 0;
  for (int i = 1; i <= 20; ++i) {
    ASSERT_TRUE(Undo(history, list, focus)) << i;
    EXPECT_EQ(list.Rows.size(), static_cast<std::size_t>(25 - i));
  }
  EXPECT_EQ(history.UndoCount, 0);
  EXPECT_EQ(history.RedoCount, 20);
  EXPECT_FALSE(Undo(history, list, focus)) << "the 21st undo";
  EXPECT_EQ(list.Rows.size(), 5u);
  EXPECT_EQ(UndoTooltip(history, false), "Undo-X");
  for (int i = 1; i <= 20; ++i) {
    ASSERT_TRUE(Redo(history, list, focus)) << i;
    EXPECT_EQ(list.Rows.size(), static_cast<std::size_t>(5 + i));
  }
  EXPECT_FALSE(Redo(history, list, focus));
  EXPECT_EQ(list.Rows.back().Name, "r25");
  EXPECT_EQ(history.UndoCount, 20);
  EXPECT_EQ(RedoTooltip(history, false), "Redo-X");
}

TEST(History, LabelsFollowTheSteps) {
  History history;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  EXPECT_EQ(UndoTooltip(history, false), "Undo-X");
  EXPECT_EQ(RedoTooltip(history, true), "やり直し-×");
  AppendRow(history, list, "a", 1400);
  AppendRow(history, list, "b", 1190);
  AppendRow(history, list, "c", 1110);
  EXPECT_EQ(UndoTooltip(history, false), "Undo-Record from Folder");
  EXPECT_EQ(UndoTooltip(history, true), "元に戻す-フォルダ指定登録");

  int focus = 0;
  ASSERT_TRUE(Undo(history, list, focus));
  EXPECT_EQ(RedoTooltip(history, false), "Redo-Record from Folder");
  EXPECT_EQ(UndoTooltip(history, false), "Undo-Array File(All)");
  ASSERT_TRUE(Undo(history, list, focus));
  EXPECT_EQ(RedoTooltip(history, false), "Redo-Array File(All)");
  EXPECT_EQ(UndoTooltip(history, false), "Undo-Drop");
  ASSERT_TRUE(Redo(history, list, focus));
  EXPECT_EQ(UndoTooltip(history, false), "Undo-Array File(All)");
  EXPECT_EQ(RedoTooltip(history, false), "Redo-Record from Folder");

  // A committed step clears the redo steps.
  AppendRow(history, list, "d", 1150);
  EXPECT_EQ(history.RedoCount, 0);
  EXPECT_EQ(RedoTooltip(history, false), "Redo-X");
  EXPECT_EQ(UndoTooltip(history, false), "Undo-Delete");
  EXPECT_FALSE(Redo(history, list, focus));
  EXPECT_EQ(Names(list), "a b d");
}

TEST(History, LabelsOfEveryCommand) {
  struct Case {
    int Id;
    const char* English;
    const char* Japanese;
  };
  for (const Case& c : {Case{1170, "Edit File Name", "ファイル名編集"}, Case{1230, "Array Date(Select)", "日付順（選択）"},
                        Case{1260, "(Merge(All))", "(結合(全))"}, Case{1320, "View Page(Select)", "ページ数表示（選択）"},
                        Case{1410, "Drag", "ドラッグ"}, Case{1460, "Remove Security", "セキュリティ解除"},
                        Case{1420, "X", "×"}, Case{1130, "X", "×"}, Case{0, "X", "×"}}) {
    EXPECT_EQ(HistoryLabel(c.Id, false), c.English) << c.Id;
    EXPECT_EQ(HistoryLabel(c.Id, true), c.Japanese) << c.Id;
  }
}

TEST(History, UndoRestoresRowsSelectionFocusAndTexts) {
  History history;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  list.Rows = {RowNamed("a", "12", "02/29/24 10:11:12"), RowNamed("b", "Encrypted"), RowNamed("c", "3 Encrypted"),
               RowNamed("d", "X Not Found"), RowNamed("e", "X Not PDF?")};
  list.Rows[2].Selected = true;
  list.Rows[3].Selected = true;
  list.Rows[3].Focused = true;
  const FileList before = list;

  TakeSnapshot(history, list, 1150);
  list.Rows.erase(list.Rows.begin() + 2, list.Rows.end());
  list.Rows[0].Selected = true;
  CommitStep(history, 1150);

  int focus = -1;
  ASSERT_TRUE(Undo(history, list, focus));
  EXPECT_EQ(focus, 3);
  ASSERT_EQ(list.Rows.size(), before.Rows.size());
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list.Rows[i].Name, before.Rows[i].Name);
    EXPECT_EQ(list.Rows[i].Path, before.Rows[i].Path);
    EXPECT_EQ(list.Rows[i].Date, before.Rows[i].Date);
    EXPECT_EQ(list.Rows[i].Page, before.Rows[i].Page);
    EXPECT_EQ(list.Rows[i].Icon, before.Rows[i].Icon);
    EXPECT_EQ(list.Rows[i].Selected, before.Rows[i].Selected);
    EXPECT_EQ(list.Rows[i].Focused, before.Rows[i].Focused);
  }
  EXPECT_EQ(list.Rows[1].Icon, kIconEncrypted);
  EXPECT_EQ(history.Slots[0].Rows[0].Date, "24/02/29 10:11:12") << "stored year first";

  ASSERT_TRUE(Redo(history, list, focus));
  EXPECT_EQ(Names(list), "a* b");
  EXPECT_EQ(focus, 0);
}

TEST(History, FiveHundredRowsGrowTheSlot) {
  History history;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  for (int i = 0; i < 500; ++i) list.Rows.push_back(RowNamed("row" + std::to_string(i), std::to_string(i + 1)));
  list.Rows[499].Selected = true;
  TakeSnapshot(history, list, 1190);
  EXPECT_EQ(history.Slots[0].Capacity, 800u);
  EXPECT_EQ(history.Slots[1].Capacity, 200u);
  list.Rows.resize(10);
  CommitStep(history, 1190);
  int focus = 0;
  ASSERT_TRUE(Undo(history, list, focus));
  ASSERT_EQ(list.Rows.size(), 500u);
  EXPECT_EQ(list.Rows[499].Page, "500");
  EXPECT_TRUE(list.Rows[499].Selected);
  EXPECT_EQ(focus, 499);
  ASSERT_TRUE(Redo(history, list, focus));
  EXPECT_EQ(list.Rows.size(), 10u);

  FileList exactly;
  exactly.Rows.resize(200, RowNamed("x"));
  TakeSnapshot(history, exactly, 1190);
  EXPECT_EQ(history.Slots[static_cast<std::size_t>(history.Position % kHistorySlots)].Capacity, 400u)
      << "a slot grows while it is not larger than the list";
}

TEST(History, GrowthFailureSwitchesTheHistoryOffForGood) {
  History history;
  history.MaxRowsPerSlot = 300;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  AppendRow(history, list, "a");
  for (int i = 0; i < 250; ++i) list.Rows.push_back(RowNamed("b"));
  EXPECT_FALSE(TakeSnapshot(history, list, 1400));
  EXPECT_FALSE(history.Enabled);
  EXPECT_TRUE(history.Slots.empty()) << "memory freed";
  CommitStep(history, 1400);
  EXPECT_EQ(history.UndoCount, 1) << "no step is committed any more";
  int focus = 0;
  EXPECT_FALSE(Undo(history, list, focus));
  EXPECT_EQ(list.Rows.size(), 251u) << "the list is left as it is";
  EXPECT_TRUE(TakeSnapshot(history, list, 1400)) << "later snapshots are no-ops";
}

TEST(History, StartFailureLeavesTheHistoryDisabled) {
  History history;
  history.MaxRowsPerSlot = 100;
  EXPECT_FALSE(StartHistory(history));
  EXPECT_FALSE(history.Enabled);
  EXPECT_TRUE(history.Slots.empty());
  FileList list;
  AppendRow(history, list, "a");
  EXPECT_EQ(history.UndoCount, 0);
}

TEST(History, UndoSnapshotFailureLeavesTheListAlone) {
  History history;
  history.MaxRowsPerSlot = 200;
  ASSERT_TRUE(StartHistory(history));
  FileList list;
  AppendRow(history, list, "a");
  for (int i = 0; i < 250; ++i) list.Rows.push_back(RowNamed("b"));
  int focus = 0;
  EXPECT_FALSE(Undo(history, list, focus)) << "the present list cannot be kept for redo";
  EXPECT_EQ(list.Rows.size(), 251u);
  EXPECT_FALSE(history.Enabled);
}

}  // namespace
}  // namespace folvex
