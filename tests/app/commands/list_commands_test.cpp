// The commands on the file list driven through the session with real files: drops and their
// questions, sorting by the column headers, delete, update, drag, undo and redo over 25 steps
// with their tooltips.
#include "app/commands/list_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/commands/command_table.h"
#include "app/session/command_ids.h"
#include "tests/support/job_session.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

class ListCommands : public testing::JobSession {
 protected:
  void Run(int id) { ASSERT_TRUE(RunListCommand(Session, Desktop, id)) << id; }
  void Drop(const std::vector<std::string>& paths, int at) { DropFiles(Session, Desktop, paths, at); }
  void Select(std::initializer_list<int> rows) {
    DeselectAll(Session.List);
    for (const int row : rows) Session.List.Rows[static_cast<std::size_t>(row)].Selected = true;
  }
  // The rows, their page texts, the undo steps and the toolbar's Undo and Redo tooltips.
  std::string State() const {
    return Names() + " " + Pages() + " | " + std::to_string(Session.Undo.UndoCount) + " " + Desktop.Toolbar.UndoTooltip + " " +
           Desktop.Toolbar.RedoTooltip;
  }
};

TEST_F(ListCommands, DropsAreSelectedSortedByNameAndOneStepEach) {
  Drop({Pdf("c.pdf", 2), Pdf("a.pdf", 2), Pdf("B.pdf", 2)}, 0);
  EXPECT_EQ(State(), "a.pdf* B.pdf* c.pdf* [?][?][?] | 1 Undo-Drop Redo-X") << "the automatic sort is no step of its own";
  Run(ColumnSortCommand(0, true));  // the drop's sort turned the toggle on: now descending
  EXPECT_EQ(State(), "c.pdf* B.pdf* a.pdf* [?][?][?] | 2 Undo-Array File(Select) Redo-X");
  Run(kCmdUndo);
  Run(kCmdUndo);
  EXPECT_EQ(State(), "  | 0 Undo-X Redo-Drop");
  // Later drops insert at the point and drop the redo steps; equal names keep the order of
  // insertion (the later file above); with PageDisp a file is counted when it comes.
  Drop({Pdf("x.pdf", 1)}, 0);
  EXPECT_FALSE(CommandEnabled(kCmdRedo, CurrentContext(Session)));
  Drop({Pdf("y.pdf", 1)}, 1);
  Drop({Pdf("m.pdf", 1)}, 1);
  Drop({Pdf("one/same.pdf", 1), Pdf("two/same.pdf", 1)}, 99);
  Session.Settings.PageDisp = true;
  Drop({Pdf("c4.pdf", 4)}, 0);
  EXPECT_EQ(State(), "c4.pdf* x.pdf m.pdf y.pdf same.pdf same.pdf [4][?][?][?][?][?] | 5 Undo-Drop Redo-X");
  EXPECT_EQ(Row(4).Path + " " + Row(5).Path, PathOf("two/same.pdf") + " " + PathOf("one/same.pdf"));
}

// A file that is no PDF file is questioned: OK goes on, Cancel stops the drop there.
TEST_F(ListCommands, ANonPdfFileIsQuestionedOkGoesOnCancelStops) {
  for (const auto& [answer, after] : {std::pair{MessageAnswer::Ok, "a.pdf* b.pdf* | 1"}, {MessageAnswer::Cancel, "a.pdf* | 1"}}) {
    StartSession(Session, false, Folder);
    Desktop = testing::ScriptedDesktop();
    Desktop.MessageAnswers = {answer};
    Drop({Pdf("a.pdf", 1), PathOf("notes.txt"), Pdf("b.pdf", 1)}, 0);
    EXPECT_EQ(Names() + " | " + std::to_string(Session.Undo.UndoCount), after);
    ASSERT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"Not PDF File!\n\n notes.txt"});
    EXPECT_EQ(std::pair(Desktop.Messages[0].Icon, Desktop.Messages[0].Buttons), std::pair(MessageIcon::Information, MessageButtons::OkCancel));
  }
}

// Each column header sorts by its key, ascending at the first click and at the first after another
// sort; a click that changes nothing is no step. Selected-row sorts need two selected rows.
TEST_F(ListCommands, ColumnHeadersSortByTheirKeys) {
  Drop({Pdf("b/a.pdf", 3), Pdf("c/b.pdf", 2), Pdf("a/c.pdf", 1)}, 0);
  const char* dates[] = {"01/01/21 00:00:00", "01/01/99 00:00:00", "01/01/20 00:00:00"};
  for (int i = 0; i < 3; ++i) Session.List.Rows[static_cast<std::size_t>(i)].Date = dates[i];
  Run(kCmdPageAll);
  for (const auto& [column, shift, names] : {std::tuple{0, false, "abc 2"}, {0, false, "cba 3"}, {0, false, "abc 4"}, {1, false, "cab 5"},
                                             {0, false, "abc 6"}, {2, false, "bca 7"}, {3, false, "cba 8"}, {3, false, "abc 9"},
                                             {0, true, "abc 9"}, {0, true, "cba 10"}}) {
    Run(ColumnSortCommand(column, shift));
    std::string order;
    for (const ListEntry& row : Session.List.Rows) order += row.Name[0];
    EXPECT_EQ(order + " " + std::to_string(Session.Undo.UndoCount), names) << column;
  }
  Select({1});
  Run(kCmdArrayFileSelect);
  Run(kCmdArrayPathSelect);
  EXPECT_EQ(State(), "c.pdf b.pdf* a.pdf [1][2][3] | 10 Undo-Array File(Select) Redo-X");
  EXPECT_FALSE(RunListCommand(Session, Desktop, ColumnSortCommand(4, false)));
}

TEST_F(ListCommands, DeleteUpdateAndDragUndoneWithSelectionAndFocus) {
  Drop({Pdf("a.pdf", 1), Pdf("b.pdf", 1), Pdf("c.pdf", 1), Pdf("d.pdf", 1)}, 0);
  Select({2, 3});
  Session.List.Rows[3].Focused = true;
  Run(kCmdDelete);
  EXPECT_EQ(State(), "a.pdf b.pdf [?][?] | 2 Undo-Delete Redo-X");
  Desktop.ScrolledRows.clear();
  Run(kCmdUndo);
  EXPECT_EQ(State(), "a.pdf b.pdf c.pdf* d.pdf* [?][?][?][?] | 1 Undo-Drop Redo-Delete");
  EXPECT_EQ(Desktop.ScrolledRows, std::vector<int>{3}) << "the focused row comes back and is shown";
  EXPECT_EQ(Desktop.StatusText, "You can drag PDF files into this window / in this window    2 / all 4");
  Run(kCmdRedo);
  Run(kCmdDeleteKey);  // nothing selected: nothing removed, no step
  Run(kCmdUpdate);     // nothing changed: no step
  std::filesystem::remove(PathOf("b.pdf"));
  Run(kCmdUpdate);
  EXPECT_EQ(State(), "a.pdf b.pdf [?][X Not Found] | 3 Undo-Update Redo-X");
  Run(kCmdArrayPageAll);  // not found sorts before uncounted
  Select({1});
  DragRows(Session, Desktop, 1);  // onto itself: no step
  DragRows(Session, Desktop, 0);
  EXPECT_EQ(State(), "a.pdf* b.pdf [?][X Not Found] | 5 Undo-Drag Redo-X");
  Run(kCmdUndo);
  EXPECT_EQ(State(), "b.pdf a.pdf* [X Not Found][?] | 4 Undo-Array Page(All) Redo-Drag");
  Run(kCmdUndo);
  Run(kCmdUndo);
  EXPECT_EQ(State(), "a.pdf b.pdf [?][?] | 2 Undo-Delete Redo-Update");
}

TEST_F(ListCommands, TwentyFiveChangesTwentyUndosTwentyRedos) {
  const std::string path = Pdf("a.pdf", 1);
  for (int i = 0; i < 25; ++i) Drop({path}, i);
  for (const int id : {kCmdUndo, kCmdRedo}) {
    for (int i = 0; i < 20; ++i) {
      ASSERT_TRUE(CommandEnabled(id, CurrentContext(Session))) << id << " " << i;
      Run(id);
    }
    EXPECT_FALSE(CommandEnabled(id, CurrentContext(Session)));
    Run(id);  // refused: nothing changes
    EXPECT_EQ(Session.List.Rows.size(), id == kCmdUndo ? 5u : 25u);
  }
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip + " " + Desktop.Toolbar.RedoTooltip, "Undo-Drop Redo-X");
}

}  // namespace
}  // namespace folvex
