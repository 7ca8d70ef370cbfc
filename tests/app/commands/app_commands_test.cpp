// The commands of the file list and their rules: the list commands driven through the session with
// real files (drops, sorting by the column headers, delete, update, drag, undo
// and redo over 25 steps with their tooltips); the page-range input of Extract (every text with its
// pages or its refusal, and the text the messages quote; the command around it, with its messages,
// is driven in tests/app/jobs); the File Setting dialog (what its controls show for the stored
// settings, which of them are enabled, and what OK stores); which commands are enabled.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "app/commands/command_table.h"
#include "app/commands/file_setting_dialog.h"
#include "app/commands/list_commands.h"
#include "app/commands/page_ranges.h"
#include "app/session/command_ids.h"
#include "app/session/menu_state.h"
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


TEST(PageRanges, EveryTextGivesItsPagesInOrderOrItsRefusal) {
  using enum PageRangeError;
  // The text typed, the page count (-1: the row is uncounted, the job checks the pages), the error,
  // the text as the messages quote it (nullptr: as typed), and the 1-based pages.
  struct Case { const char* Typed; int PageCount; PageRangeError Error; const char* Normalized = nullptr; const char* Pages = ""; };
  const Case cases[] = {
      {"1,3-5,12-9,20-", 25, None, "1,3-5,12-9,20-25", "1,3,4,5,12,11,10,9,20,21,22,23,24,25"}, {"1 3 5", 9, None, "1,3,5", "1,3,5"},
      {"1  3", 9, None, "1,3", "1,3"}, {"2 - 4", 9, None, "2-4", "2,3,4"}, {"1 -3", 9, None, "1-3", "1,2,3"}, {" 4 ", 9, None, "4", "4"},
      {"7,", 9, None, "7", "7"}, {"3-3", 5, None, "3-3", "3"}, {"-5", 9, None, "1-5", "1,2,3,4,5"}, {"-", 4, None, "1-4", "1,2,3,4"},
      {"3-,1", 5, None, "3-5,1", "3,4,5,1"}, {"2,-2", 5, None, "2,1-2", "2,1,2"}, {"5-,", 6, None, "5-6", "5,6"},
      {"2,2,1-2", 5, None, nullptr, "2,2,1,2"}, {"007", 9, None, nullptr, "7"}, {"6-1", 6, None, nullptr, "6,5,4,3,2,1"},
      {"1", 1, None, nullptr, "1"}, {"11", 11, None, nullptr, "11"}, {"10-12", -1, None, nullptr, "10,11,12"},
      {"2147483647", -1, None, nullptr, "2147483647"}, {"3-0", 9, Syntax}, {"0", 9, Syntax}, {"0-3", -1, Syntax}, {"00", 9, Syntax},
      {"1,,3", 9, Syntax}, {",1", 9, Syntax}, {"7,,", 9, Syntax, "7,"}, {",", 9, Syntax, ""}, {"   ", 9, Syntax, ""},
      {"1-2-3", 9, Syntax}, {"--5", 9, Syntax, "1--5"}, {"a", 9, Syntax}, {"1,b-3", 9, Syntax}, {"1.5", 9, Syntax},
      {"1\t3", 9, Syntax}, {"+3", 9, Syntax}, {"\xEF\xBC\x91", 9, Syntax},  // a full-width digit
      {"10-12", 11, OutOfRange}, {"12-10", 11, OutOfRange}, {"12", 11, OutOfRange}, {"2147483648", -1, OutOfRange},
      {"99999999999999999999999999", -1, OutOfRange}, {"1-99999999999999999999999999", 30, OutOfRange},
      {"5-", 1, OnlyOnePage, "5-1"}, {"20-", -1, PageCountNeeded}, {"-", -1, PageCountNeeded, "1-"},
      {"1-2000000000", -1, TooManyPages}, {"1-6000000,6000000-1", -1, TooManyPages},
  };
  for (const Case& c : cases) {
    const PageRangeResult result = ParsePageRanges(c.Typed, c.PageCount);
    std::string pages;
    for (const int32_t index : result.PageIndexList) pages += (pages.empty() ? "" : ",") + std::to_string(index + 1);
    const std::string normalized = c.Normalized != nullptr ? c.Normalized : c.Typed;
    EXPECT_EQ(result.Error, c.Error) << c.Typed;
    EXPECT_EQ(result.Normalized + " " + pages, normalized + " " + c.Pages) << c.Typed;
    EXPECT_EQ(NormalizePageRanges(c.Typed, c.PageCount), normalized) << c.Typed;
  }
  for (const char* typed : {"20-", "-", "3-,5", "1 - ", "5-,"}) EXPECT_TRUE(NeedsPageCount(typed)) << typed;
  for (const char* typed : {"-5", "1,3-5", "10-12", "", "a", "1-2-3"}) EXPECT_FALSE(NeedsPageCount(typed)) << typed;

  const std::string longest = "1-" + std::to_string(kMaxPageIndexCount);
  const PageRangeResult result = ParsePageRanges(longest, -1);
  ASSERT_EQ(static_cast<int64_t>(result.PageIndexList.size()), kMaxPageIndexCount);
  EXPECT_EQ(result.PageIndexList.back(), kMaxPageIndexCount - 1);
  EXPECT_EQ(ParsePageRanges(longest + ",1", -1).Error, TooManyPages);
}

// The scale list and its edit as the dialog opens (a DispScale nobody writes is reset to "N"), the
// DispScale that "Set Scale" stores for an edit text, and what OK stores for each scale position
// (an unusable percentage stores "N" and keeps the remembered text and auto-fit).
TEST(FileSettingDialog, ScaleFromAndToDispScale) {
  struct Case { const char* DispScale; bool AutoFitBefore; int Position; const char* Edit; bool AutoFit; const char* After; };
  for (const Case& c : {Case{"N", false, 0, "100", false, "N"}, Case{"", true, 0, "100", true, ""},
                        Case{"A", false, 2, "100", false, "A"}, Case{"W", false, 3, "100", false, "W"},
                        Case{"H", false, 4, "100", false, "H"}, Case{"O", true, 5, "100", true, "O"},
                        Case{"150f", false, 1, "150", true, "150f"}, Case{"150F", false, 1, "150", true, "150F"},
                        Case{"75", true, 1, "75", false, "75"}, Case{"X", true, 0, "100", true, "N"},
                        Case{"a", false, 0, "100", false, "N"}}) {
    OutputSettings settings;
    settings.DispScale = c.DispScale;
    bool autoFit = c.AutoFitBefore;
    FileSettingForm form = FileSettingFormOf(settings, autoFit, 0);
    EXPECT_EQ(std::to_string(form.ScalePosition) + " " + form.ScaleEdit + " " + settings.DispScale,
              std::to_string(c.Position) + " " + c.Edit + " " + c.After) << c.DispScale;
    EXPECT_EQ(form.AreaAutoFit && autoFit, c.AutoFit) << c.DispScale;
    form.ScaleEdit = "abc";
    StoreFileSettingForm(form, settings, autoFit);
    EXPECT_EQ(FileSettingFormOf(settings, autoFit, 0).ScalePosition, c.Position == 1 ? 0 : c.Position) << c.DispScale;
    EXPECT_EQ(settings.ScaleText + (autoFit ? " fit" : ""), std::string(c.Edit) + (c.AutoFit ? " fit" : "")) << c.DispScale;
  }
  for (const auto& [edit, fit, stored] : {std::tuple{"150", true, "150F"}, {"150", false, "150"}, {"150abc", false, "150"},
                                          {"", true, "N"}, {"0", true, "N"}, {"000", false, "N"}, {"x150", false, "N"},
                                          {" 150", false, "N"}, {"-20", false, "N"}, {"123456789", false, "12345678"},
                                          {"007", true, "7F"}}) {
    EXPECT_EQ(DispScaleOfSetScale(edit, fit), stored) << edit;
  }
}

// OK stores every control by the list positions' values; reopening shows what was stored. Without
// the split row (a splitter older than the list files) OK leaves the split fields for a later one.
TEST(FileSettingDialog, OkStoresEveryFieldAndTheSplitRowOnlyWhenOffered) {
  for (const int version : {-1, 999, 1000, 99999}) {
    const bool offered = version >= 1000;
    OutputSettings settings{.OutlineKeepS = 2, .PageModeS = 6, .KeepAnnots = offered ? 1 : 0};
    bool autoFit = false;
    FileSettingForm form = FileSettingFormOf(settings, autoFit, version);
    EXPECT_EQ(std::tuple(FileSettingEnablingOf(form).SplitRow, form.KeepSplit, form.PanelSplit, form.KeepAnnotations),
              offered ? std::tuple(true, 2, 3, true) : std::tuple(false, -1, -1, false)) << version;
    form = {1, "150", true, 1, 1, 2, 3, 1, 4, offered ? 1 : -1, offered ? 5 : -1, offered, true, true, false, true, true, !offered};
    StoreFileSettingForm(form, settings, autoFit);
    EXPECT_EQ(settings.DispScale + " " + settings.ScaleText + (autoFit ? " fit " : " ") + std::to_string(settings.OutlineKeepS) +
                  std::to_string(settings.PageModeS) + std::to_string(settings.KeepAnnots), offered ? "150F 150 fit 150" : "150F 150 fit 261") << version;
    const FileSettingForm again = FileSettingFormOf(settings, autoFit, version);
    EXPECT_EQ(std::vector<int>({again.ScalePosition, again.Layout, again.Direction, again.KeepExtract, again.PanelExtract,
                                again.KeepMerge, again.PanelMerge, again.KeepSplit, again.PanelSplit}),
              std::vector<int>({1, 1, 1, 2, 3, 1, 4, offered ? 1 : -1, offered ? 5 : -1})) << version;
    EXPECT_TRUE(again.AreaAutoFit && again.FileToOutline && again.Bold && !again.Italic && again.LowerLevels && again.OutlineClosed);
    EXPECT_EQ(again.KeepAnnotations, !offered) << version;
  }
}

// Which commands are enabled for a list, the history and the splitter.
// The commands and the letters the expectations name them by.
constexpr std::pair<int, char> kCommands[] = {
    {kCmdOpen, 'O'}, {kCmdEditFileName, 'N'}, {kCmdDelete, 'D'}, {kCmdSelectAll, 'A'}, {kCmdArrayFileAll, 's'}, {kCmdArrayPageSelect, 'S'},
    {kCmdPageAll, 'p'}, {kCmdPageSelect, 'P'}, {kCmdUpdate, 'U'}, {kCmdExtract, 'X'}, {kCmdMergeAll, 'm'}, {kCmdMergeSelect, 'M'},
    {kCmdSetSecurity, '+'}, {kCmdRemoveSecurity, '-'}, {kCmdUndo, 'z'}, {kCmdRedo, 'y'}, {kCmdSplitAll, 'T'}, {kCmdSplitPageInput, 'I'},
    {kCmdFileSetting, 'F'}, {kCmdHelp, 'H'}, {kCmdExit, 'Q'}, {kCmdListFromFolder, 'R'}};

TEST(MenuState, EveryCommandOverListsHistoryAndSplitter) {
  // The rows' Page texts, the undo and redo steps, the splitter's version (-1: none) and run; the
  // enabled commands, and the enabled context-menu items (of O N D A p P U).
  struct Case { const char* Title; std::vector<std::string> Pages; int Undo, Redo, Version, Run; const char* Menu; const char* Context; };
  const Case cases[] = {
      {"empty list", {}, 0, 0, -1, 0, "NFHQR", "N"},
      {"rows, none selected", {"?", "5"}, 0, 0, -1, 0, "NAspUmFHQR", "NApU"},
      {"one uncounted row", {"*?"}, 0, 0, -1, 0, "ONDApPUX+-FHQR", "ONDApPU"},
      {"one-page file: no extract", {"*1", "2"}, 0, 0, -1, 0, "ONDAsUm+FHQR", "ONDAU"},
      {"encrypted counted file: remove, not set", {"*4 Encrypted", "X Not Found"}, 0, 0, -1, 0, "ONDAsUX-FHQR", "ONDAU"},
      {"bare Encrypted: encrypted, no pages", {"*Encrypted"}, 0, 0, -1, 0, "ONDAU-FHQR", "ONDAU"},
      {"bare 暗号化 beside a plain file", {"*暗号化", "*4"}, 0, 0, -1, 0, "ODAsSUmM+-FHQR", "ODAU"},
      {"marked rows only", {"*X Not Found", "*X Not PDF?"}, 0, 0, -1, 0, "ODAsSUFHQR", "ODAU"},
      {"usable rows among marked ones", {"*?", "*X Not PDF?", "*8", "X Not Found"}, 0, 0, -1, 0, "ODAsSpPUmM+-FHQR", "ODApPU"},
      {"undo and redo", {}, 1, 2, -1, 0, "NzyFHQR", "N"},
      {"old splitter: one row", {"*3"}, 0, 0, 900, 0, "ONDAUX+TIFHQR", "ONDAU"},
      {"old splitter: not two rows", {"*3", "*4"}, 0, 0, 900, 0, "ODAsSUmM+FHQR", "ODAU"},
      {"splitter 910 splits several rows", {"*3", "*?"}, 0, 0, 910, 0, "ODAsSpPUmM+-TFHQR", "ODApPU"},
      {"a splitter run: Exit, Help and File Setting only", {"*3"}, 5, 5, 1000, 2, "FHQ", "ONDAU"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title);
    FileList list;  // a leading '*' marks a selected row
    for (const std::string& page : c.Pages) list.Rows.push_back({{}, {}, {}, page.substr(page[0] == '*'), kIconPdf, page[0] == '*'});
    const CommandContext context{CountRowClasses(list), c.Undo, c.Redo, c.Version >= 0, c.Version, c.Run};
    std::string menu;
    std::string context_menu;
    for (const auto& [id, letter] : kCommands) {
      if (CommandEnabled(id, context)) menu += letter;
      if (std::string("ONDApPU").find(letter) != std::string::npos && ContextMenuItemEnabled(id, context.Counts)) context_menu += letter;
    }
    EXPECT_EQ(menu, c.Menu);
    EXPECT_EQ(context_menu, c.Context);
  }
}

}  // namespace
}  // namespace folvex
