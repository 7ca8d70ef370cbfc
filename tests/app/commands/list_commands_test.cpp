#include "app/commands/list_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/session/command_ids.h"
#include "tests/support/pdf_writer.h"
#include "tests/support/scripted_desktop.h"

namespace folvex {
namespace {

using testing::ScriptedDesktop;

// A folder of its own for each test, with PDF files of the given page counts.
class ListSession : public ::testing::Test {
 protected:
  void SetUp() override {
    Folder = testing::TempDir() + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(Folder);
    StartSession(Session, false, Folder);
  }

  std::string Pdf(const std::string& name, int pages = 2) {
    const std::string path = Folder + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testing::WriteTempFile(path.substr(testing::TempDir().size() + 1), testing::SimplePdf(pages));
    return path;
  }

  // Names in list order, '*' after a selected row.
  std::string Names() const {
    std::string names;
    for (const ListEntry& row : Session.List.Rows) {
      if (!names.empty()) names += ' ';
      names += row.Name + (row.Selected ? "*" : "");
    }
    return names;
  }

  std::string Pages() const {
    std::string pages;
    for (const ListEntry& row : Session.List.Rows) pages += "[" + row.Page + "]";
    return pages;
  }

  void Run(int id) { ASSERT_TRUE(RunListCommand(Session, Desktop, id)) << id; }

  std::string Folder;
  AppSession Session;
  ScriptedDesktop Desktop;
};

TEST_F(ListSession, DroppingThreeFilesAddsThemSelectedAndSortedByName) {
  DropFiles(Session, Desktop, {Pdf("c.pdf"), Pdf("a.pdf"), Pdf("B.pdf")}, 0);
  EXPECT_EQ(Names(), "a.pdf* B.pdf* c.pdf*");
  EXPECT_EQ(Pages(), "[?][?][?]");
  EXPECT_EQ(Session.Undo.UndoCount, 1) << "the automatic sort is no step of its own";
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Drop");
  EXPECT_EQ(Desktop.ScrolledRows, std::vector<int>{0});
  EXPECT_GE(Desktop.ListFocused, 1);
  EXPECT_TRUE(Desktop.Messages.empty());

  Run(kCmdArrayFileSelect);
  EXPECT_EQ(Names(), "c.pdf* B.pdf* a.pdf*") << "the drop's sort turned the toggle on: now descending";
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Array File(Select)");

  Run(kCmdUndo);
  EXPECT_EQ(Names(), "a.pdf* B.pdf* c.pdf*");
  Run(kCmdUndo);
  EXPECT_EQ(Names(), "");
  EXPECT_FALSE(CommandEnabled(kCmdUndo, CurrentContext(Session)));
}

TEST_F(ListSession, DropInsertsAtThePointLaterFilesAboveEarlierOnes) {
  DropFiles(Session, Desktop, {Pdf("x.pdf")}, 0);
  DropFiles(Session, Desktop, {Pdf("y.pdf")}, 1);
  EXPECT_EQ(Names(), "x.pdf y.pdf*");
  DropFiles(Session, Desktop, {Pdf("m.pdf")}, 1);
  EXPECT_EQ(Names(), "x.pdf m.pdf* y.pdf");

  // Equal names keep the order of insertion: the later file above the earlier one.
  const std::string first = Pdf("one/same.pdf");
  const std::string second = Pdf("two/same.pdf");
  DropFiles(Session, Desktop, {first, second}, 99);
  ASSERT_EQ(Session.List.Rows.size(), 5u);
  EXPECT_EQ(Session.List.Rows[3].Path, second);
  EXPECT_EQ(Session.List.Rows[4].Path, first);
  EXPECT_EQ(Session.Undo.UndoCount, 4);
}

TEST_F(ListSession, ANonPdfFileIsQuestionedOkGoesOnCancelStops) {
  struct Case {
    MessageAnswer Answer;
    const char* After;
    int Steps;
  };
  for (const Case& c : {Case{MessageAnswer::Ok, "a.pdf* b.pdf*", 1}, Case{MessageAnswer::Cancel, "a.pdf*", 1}}) {
    StartSession(Session, false, Folder);
    Desktop = ScriptedDesktop();
    Desktop.MessageAnswers = {c.Answer};
    DropFiles(Session, Desktop, {Pdf("a.pdf"), Folder + "/notes.txt", Pdf("b.pdf")}, 0);
    EXPECT_EQ(Names(), c.After);
    EXPECT_EQ(Session.Undo.UndoCount, c.Steps);
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "Not PDF File!\n\n notes.txt");
    EXPECT_EQ(Desktop.Messages[0].Icon, MessageIcon::Information);
    EXPECT_EQ(Desktop.Messages[0].Buttons, MessageButtons::OkCancel);
    EXPECT_EQ(Desktop.Messages[0].Caption, "Folvex");
  }
  StartSession(Session, true, Folder);
  Desktop = ScriptedDesktop();
  Desktop.MessageAnswers = {MessageAnswer::Cancel};
  DropFiles(Session, Desktop, {Folder + "/x.doc"}, 0);
  EXPECT_EQ(Desktop.MessageTexts(), std::vector<std::string>{"ＰＤＦファイルではありません\n\n x.doc"});
  EXPECT_EQ(Session.Undo.UndoCount, 0) << "nothing added, nothing committed";
}

TEST_F(ListSession, PagesCountedOnDemandAndUndoneInOneStep) {
  DropFiles(Session, Desktop, {Pdf("a.pdf", 3), Pdf("b.pdf", 5), Folder + "/gone.pdf"}, 0);
  EXPECT_EQ(Pages(), "[?][?][?]");
  Run(kCmdPageAll);
  EXPECT_EQ(Pages(), "[3][5][X Not Found]");
  EXPECT_EQ(Desktop.WaitCursorShown, 3);
  EXPECT_FALSE(Desktop.WaitCursorOn);
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-View Page(All)");
  Run(kCmdPageAll);
  EXPECT_EQ(Session.Undo.UndoCount, 2) << "nothing left to count: no step";
  Run(kCmdUndo);
  EXPECT_EQ(Pages(), "[?][?][?]");

  Session.Settings.PageDisp = true;
  DropFiles(Session, Desktop, {Pdf("c.pdf", 4)}, 3);
  EXPECT_EQ(Session.List.Rows[3].Page, "4") << "counted when added";
}

TEST_F(ListSession, SortingAnOrderedListAddsNoStep) {
  DropFiles(Session, Desktop, {Pdf("a.pdf"), Pdf("b.pdf")}, 0);
  Run(kCmdArrayFileAll);
  EXPECT_EQ(Names(), "a.pdf* b.pdf*");
  EXPECT_EQ(Session.Undo.UndoCount, 1);
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Drop");
  Run(kCmdArrayFileAll);
  EXPECT_EQ(Names(), "b.pdf* a.pdf*");
  EXPECT_EQ(Session.Undo.UndoCount, 2);
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Array File(All)");

  // Selected-row sorts need two selected rows; the toggle is not touched otherwise.
  Session.List.Rows[0].Selected = false;
  Run(kCmdArrayFileSelect);
  EXPECT_EQ(Names(), "b.pdf a.pdf*");
  EXPECT_EQ(Session.Undo.UndoCount, 2);
}

TEST_F(ListSession, EditFileName) {
  const std::string a = Pdf("a.pdf");
  const std::string b = Pdf("b.pdf");
  Pdf("B.PDF");  // so that the name in other letters opens on a case-sensitive file system too
  struct Step {
    const char* Title;
    std::vector<int> Selected;
    std::optional<std::string> Typed;
    const char* Names;
    int Steps;
    std::vector<std::string> Messages;
  };
  const std::vector<Step> steps = {
      {"nothing selected: a new row", {}, a, "a.pdf*", 1, {}},
      {"the selected row is replaced", {0}, b, "b.pdf*", 2, {}},
      {"same path in other letters: no step", {0}, Folder + "/B.PDF", "B.PDF*", 2, {}},
      {"cancel", {0}, std::nullopt, "B.PDF*", 2, {}},
      {"not a PDF file name", {0}, Folder + "/b.txt", "B.PDF*", 2, {"Not PDF File"}},
      {"a missing file", {}, Folder + "/missing.pdf", "B.PDF", 2, {"No File\n"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.Title);
    DeselectAll(Session.List);
    for (const int row : step.Selected) Session.List.Rows[static_cast<std::size_t>(row)].Selected = true;
    Desktop.Messages.clear();
    Desktop.EditFileNameAnswers = {step.Typed};
    Run(kCmdEditFileName);
    EXPECT_EQ(Names(), step.Names);
    EXPECT_EQ(Session.Undo.UndoCount, step.Steps);
    EXPECT_EQ(Desktop.MessageTexts(), step.Messages);
    for (const MessageRequest& message : Desktop.Messages) EXPECT_EQ(message.Icon, MessageIcon::Error);
  }
  EXPECT_EQ(Desktop.EditFileNameRequests, (std::vector<std::string>{"", a, b, Folder + "/B.PDF",
                                                                    Folder + "/B.PDF", ""}));

  // Two rows selected: the command is disabled and asks nothing.
  DropFiles(Session, Desktop, {a}, 0);
  SelectAll(Session.List);
  Desktop.EditFileNameAnswers = {a};
  Run(kCmdEditFileName);
  EXPECT_EQ(Desktop.EditFileNameAnswers.size(), 1u);
}

TEST_F(ListSession, RecordFromFolderAppendsTheFolderSortedAndSelected) {
  DropFiles(Session, Desktop, {Pdf("first.pdf")}, 0);
  const std::string folder = Folder + "/scans";
  std::filesystem::create_directories(folder + "/deeper");
  Pdf("scans/z.pdf");
  Pdf("scans/K.PDF");
  Pdf("scans/deeper/x.pdf");
  testing::WriteTempFile(folder.substr(testing::TempDir().size() + 1) + "/readme.txt", "text");

  Desktop.FolderAnswers = {std::nullopt, folder};
  Run(kCmdListFromFolder);
  EXPECT_EQ(Names(), "first.pdf*") << "cancelled";
  Run(kCmdListFromFolder);
  EXPECT_EQ(Names(), "first.pdf K.PDF* z.pdf*");
  EXPECT_EQ(Desktop.FolderRequests.at(1).first, "Select Folder");
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Record from Folder");
  EXPECT_EQ(Session.Undo.UndoCount, 2);
  EXPECT_EQ(Session.List.Rows[1].Path, folder + "/K.PDF");
}

TEST_F(ListSession, UndoAfterDeleteRestoresRowsSelectionAndFocus) {
  DropFiles(Session, Desktop, {Pdf("a.pdf"), Pdf("b.pdf"), Pdf("c.pdf"), Pdf("d.pdf")}, 0);
  DeselectAll(Session.List);
  Session.List.Rows[2].Selected = true;
  Session.List.Rows[3].Selected = true;
  Session.List.Rows[3].Focused = true;
  Run(kCmdDelete);
  EXPECT_EQ(Names(), "a.pdf b.pdf");
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Delete");
  Desktop.ScrolledRows.clear();
  Run(kCmdUndo);
  EXPECT_EQ(Names(), "a.pdf b.pdf c.pdf* d.pdf*");
  EXPECT_TRUE(Session.List.Rows[3].Focused);
  EXPECT_EQ(Desktop.ScrolledRows, std::vector<int>{3});
  EXPECT_EQ(Desktop.Toolbar.RedoTooltip, "Redo-Delete");
  EXPECT_EQ(Desktop.StatusText, "You can drag PDF files into this window / in this window    2 / all 4");
  Run(kCmdRedo);
  EXPECT_EQ(Names(), "a.pdf b.pdf");
  EXPECT_EQ(Desktop.StatusText, "You can drag PDF files into this window / in this window    all 2");

  Run(kCmdDeleteKey);
  EXPECT_EQ(Session.Undo.UndoCount, 2) << "nothing selected: nothing removed, no step";
}

TEST_F(ListSession, TwentyFiveChangesTwentyUndosTwentyRedosThroughCommands) {
  const std::string path = Pdf("a.pdf");
  for (int i = 0; i < 25; ++i) DropFiles(Session, Desktop, {path}, i);
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(CommandEnabled(kCmdUndo, CurrentContext(Session))) << i;
    Run(kCmdUndo);
  }
  EXPECT_EQ(Session.List.Rows.size(), 5u);
  EXPECT_FALSE(CommandEnabled(kCmdUndo, CurrentContext(Session)));
  Run(kCmdUndo);
  EXPECT_EQ(Session.List.Rows.size(), 5u) << "a refused undo changes nothing";
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(CommandEnabled(kCmdRedo, CurrentContext(Session))) << i;
    Run(kCmdRedo);
  }
  EXPECT_EQ(Session.List.Rows.size(), 25u);
  EXPECT_FALSE(CommandEnabled(kCmdRedo, CurrentContext(Session)));
  EXPECT_EQ(Desktop.Toolbar.RedoTooltip, "Redo-X");
}

TEST_F(ListSession, ASplitterRunRefusesListChanges) {
  DropFiles(Session, Desktop, {Pdf("b.pdf"), Pdf("a.pdf")}, 0);
  Session.Splitter.Run = 2;
  DropFiles(Session, Desktop, {Pdf("c.pdf")}, 0);
  DragRows(Session, Desktop, 0);
  for (const int id : {kCmdDelete, kCmdArrayFileAll, kCmdArrayPathSelect, kCmdUndo, kCmdPageAll, kCmdUpdate,
                       kCmdEditFileName, kCmdListFromFolder}) {
    Run(id);
  }
  EXPECT_EQ(Names(), "a.pdf* b.pdf*");
  EXPECT_EQ(Pages(), "[?][?]");
  EXPECT_EQ(Session.Undo.UndoCount, 1);
  EXPECT_TRUE(Desktop.Unscripted.empty()) << "no dialog was opened";
}

TEST_F(ListSession, DragReorderIsOneStepWhenTheOrderChanges) {
  DropFiles(Session, Desktop, {Pdf("a.pdf"), Pdf("b.pdf"), Pdf("c.pdf")}, 0);
  DeselectAll(Session.List);
  Session.List.Rows[0].Selected = true;
  DragRows(Session, Desktop, 0);
  EXPECT_EQ(Session.Undo.UndoCount, 1);
  DragRows(Session, Desktop, 2);
  EXPECT_EQ(Names(), "b.pdf c.pdf a.pdf*");
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Drag");
  Run(kCmdUndo);
  EXPECT_EQ(Names(), "a.pdf* b.pdf c.pdf");
}

TEST_F(ListSession, UpdateMarksMissingFiles) {
  const std::string gone = Pdf("gone.pdf");
  DropFiles(Session, Desktop, {Pdf("kept.pdf"), gone}, 0);
  Run(kCmdUpdate);
  EXPECT_EQ(Session.Undo.UndoCount, 1) << "nothing changed";
  std::filesystem::remove(gone);
  Run(kCmdUpdate);
  EXPECT_EQ(Pages(), "[X Not Found][?]");
  EXPECT_EQ(Session.List.Rows[0].Icon, kIconNotFound);
  EXPECT_EQ(Desktop.Toolbar.UndoTooltip, "Undo-Update");
  Run(kCmdArrayPageAll);
  EXPECT_EQ(Names(), "gone.pdf* kept.pdf*") << "not found sorts before uncounted";
}

TEST_F(ListSession, OpenSelectAllHelpAndAbout) {
  DropFiles(Session, Desktop, {Pdf("a.pdf"), Pdf("b.pdf"), Pdf("c.pdf")}, 0);
  Session.List.Rows[1].Selected = false;
  Run(kCmdOpen);
  EXPECT_EQ(Desktop.ShellOpened, (std::vector<std::string>{Folder + "/a.pdf", Folder + "/c.pdf"}));
  Run(kCmdSelectAllKey);
  EXPECT_EQ(Names(), "a.pdf* b.pdf* c.pdf*");

  struct Case {
    bool Japanese;
    std::deque<bool> Results;
    std::vector<std::string> Opened;
    std::vector<std::string> Messages;
  };
  for (const Case& c : {Case{false, {true}, {"HelpE.htm"}, {}}, Case{false, {false, true}, {"HelpE.htm", "Help.htm"}, {}},
                        Case{false, {false, false}, {"HelpE.htm", "Help.htm"}, {"Help File Not Found"}},
                        Case{true, {false}, {"Help.htm"}, {"ヘルプファイルの起動に失敗しました"}}}) {
    StartSession(Session, c.Japanese, "C:\\Folvex");
    Desktop = ScriptedDesktop();
    Desktop.ShellOpenResults = c.Results;
    Run(kCmdHelp);
    std::vector<std::string> expected;
    for (const std::string& name : c.Opened) expected.push_back("C:\\Folvex\\" + name);
    EXPECT_EQ(Desktop.ShellOpened, expected);
    EXPECT_EQ(Desktop.MessageTexts(), c.Messages);
  }
  Run(kCmdAbout);
  EXPECT_EQ(Desktop.AboutShown, 1);
  EXPECT_FALSE(RunListCommand(Session, Desktop, kCmdExtract)) << "jobs are not list commands";
}

TEST(StatusText, HintAndCountsInBothLanguages) {
  FileList list;
  EXPECT_EQ(StatusText(list, false), "You can drag PDF files into this window / in this window");
  list.Rows.resize(3);
  EXPECT_EQ(StatusText(list, true), "ウィンドウへのＰＤＦファイルドラッグ／ウィンドウ内でのドラッグ可能    全 3");
  list.Rows[0].Selected = true;
  list.Rows[2].Selected = true;
  EXPECT_EQ(StatusText(list, false), "You can drag PDF files into this window / in this window    2 / all 3");
  EXPECT_EQ(StatusText(list, true), "ウィンドウへのＰＤＦファイルドラッグ／ウィンドウ内でのドラッグ可能    選 2 / 全 3");
}

}  // namespace
}  // namespace folvex
