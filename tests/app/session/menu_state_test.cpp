#include "app/session/menu_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session/command_ids.h"

namespace folvex {
namespace {

// A list from Page texts; a leading '*' marks a selected row.
FileList ListOf(const std::vector<std::string>& pages) {
  FileList list;
  for (const std::string& page : pages) {
    ListEntry row;
    row.Selected = !page.empty() && page[0] == '*';
    row.Page = row.Selected ? page.substr(1) : page;
    list.Rows.push_back(row);
  }
  return list;
}

TEST(MenuState, RowCountsOfMixedLists) {
  struct Case {
    std::vector<std::string> Pages;
    ListCounts Expected;
  };
  for (const Case& c : {
           Case{{}, {}},
           Case{{"?", "12", "X Not Found", "X Not PDF?", "Encrypted", "3 Encrypted"}, {6, 1, 3, 0, 0, 0, 0, 0}},
           Case{{"*?", "*12", "*X Not Found", "*3 Encrypted", "7"}, {5, 1, 3, 4, 1, 2, 1, 3}},
           Case{{"*5", "*Encrypted", "*2 暗号化"}, {3, 0, 3, 3, 0, 3, 2, 2}},
           Case{{"*9", "*暗号化"}, {2, 0, 2, 2, 0, 2, 1, 0}},
       }) {
    const ListCounts k = CountRowClasses(ListOf(c.Pages));
    const ListCounts& e = c.Expected;
    EXPECT_EQ((std::vector<int>{k.n, k.U, k.G, k.s, k.su, k.sg, k.se, k.c}),
              (std::vector<int>{e.n, e.U, e.G, e.s, e.su, e.sg, e.se, e.c}))
        << ::testing::PrintToString(c.Pages);
  }
}

struct RuleCase {
  const char* Title;
  std::vector<std::string> Pages;
  std::vector<int> Enabled;  // of the ids below
};

constexpr int kRuleIds[] = {kCmdOpen,          kCmdEditFileName, kCmdDelete,          kCmdSelectAll,
                            kCmdArrayFileAll,  kCmdArrayFileSelect, kCmdPageAll,       kCmdPageSelect,
                            kCmdUpdate,        kCmdExtract,      kCmdMergeAll,        kCmdMergeSelect,
                            kCmdSetSecurity,   kCmdRemoveSecurity, kCmdListFromFolder, kCmdExit};

TEST(MenuState, RulesOnListsOfMixedStates) {
  const std::vector<RuleCase> cases = {
      {"empty list", {}, {kCmdEditFileName, kCmdListFromFolder, kCmdExit}},
      {"one uncounted row selected",
       {"*?"},
       {kCmdOpen, kCmdEditFileName, kCmdDelete, kCmdSelectAll, kCmdPageAll, kCmdPageSelect, kCmdUpdate, kCmdExtract,
        kCmdSetSecurity, kCmdRemoveSecurity, kCmdListFromFolder, kCmdExit}},
      {"one-page file selected: no extract",
       {"*1", "2"},
       {kCmdOpen, kCmdEditFileName, kCmdDelete, kCmdSelectAll, kCmdArrayFileAll, kCmdUpdate, kCmdMergeAll,
        kCmdSetSecurity, kCmdListFromFolder, kCmdExit}},
      {"encrypted counted file selected: remove, not set",
       {"*4 Encrypted", "X Not Found"},
       {kCmdOpen, kCmdEditFileName, kCmdDelete, kCmdSelectAll, kCmdArrayFileAll, kCmdUpdate, kCmdExtract,
        kCmdRemoveSecurity, kCmdListFromFolder, kCmdExit}},
      {"bare Encrypted: counted with 0 pages and encrypted, so remove, not set",
       {"*Encrypted"},
       {kCmdOpen, kCmdEditFileName, kCmdDelete, kCmdSelectAll, kCmdUpdate, kCmdRemoveSecurity, kCmdListFromFolder,
        kCmdExit}},
      {"bare 暗号化 beside a plain file: merge all, and set or remove for the selection",
       {"*暗号化", "*4"},
       {kCmdOpen, kCmdDelete, kCmdSelectAll, kCmdArrayFileAll, kCmdArrayFileSelect, kCmdUpdate, kCmdMergeAll,
        kCmdMergeSelect, kCmdSetSecurity, kCmdRemoveSecurity, kCmdListFromFolder, kCmdExit}},
      {"marked rows only",
       {"*X Not Found", "*X Not PDF?"},
       {kCmdOpen, kCmdDelete, kCmdSelectAll, kCmdArrayFileAll, kCmdArrayFileSelect, kCmdUpdate, kCmdListFromFolder,
        kCmdExit}},
      {"two usable rows selected among marked ones",
       {"*?", "*X Not PDF?", "*8", "X Not Found"},
       {kCmdOpen, kCmdDelete, kCmdSelectAll, kCmdArrayFileAll, kCmdArrayFileSelect, kCmdPageAll, kCmdPageSelect,
        kCmdUpdate, kCmdMergeAll, kCmdMergeSelect, kCmdSetSecurity, kCmdRemoveSecurity, kCmdListFromFolder,
        kCmdExit}},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.Title);
    CommandContext context;
    context.Counts = CountRowClasses(ListOf(c.Pages));
    std::vector<int> enabled;
    for (const int id : kRuleIds) {
      if (CommandEnabled(id, context)) enabled.push_back(id);
    }
    EXPECT_EQ(enabled, c.Enabled);
  }
}

TEST(MenuState, UndoRedoAndTheSplitter) {
  struct Case {
    const char* Title;
    std::vector<std::string> Pages;
    int Undo, Redo;
    bool Available;
    int Version, Run;
    std::vector<int> Enabled;  // of Undo, Redo, SplitAll, SplitPageInput, FileSetting, Help, Open
  };
  const std::vector<Case> cases = {
      {"nothing to undo, no splitter", {"*3"}, 0, 0, false, -1, 0, {kCmdExtract, kCmdFileSetting, kCmdHelp, kCmdOpen}},
      {"undo and redo", {}, 1, 2, false, -1, 0, {kCmdUndo, kCmdRedo, kCmdFileSetting, kCmdHelp}},
      {"old splitter: one row only", {"*3", "*4"}, 0, 0, true, 900, 0, {kCmdFileSetting, kCmdHelp, kCmdOpen}},
      {"old splitter, one row", {"*3"}, 0, 0, true, 900, 0,
       {kCmdExtract, kCmdSplitAll, kCmdSplitPageInput, kCmdFileSetting, kCmdHelp, kCmdOpen}},
      {"splitter 910 splits several rows", {"*3", "*?"}, 0, 0, true, 910, 0,
       {kCmdSplitAll, kCmdFileSetting, kCmdHelp, kCmdOpen}},
      {"during a splitter run", {"*3"}, 5, 5, true, 1000, 2, {kCmdFileSetting, kCmdHelp}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title);
    CommandContext context;
    context.Counts = CountRowClasses(ListOf(c.Pages));
    context.UndoCount = c.Undo;
    context.RedoCount = c.Redo;
    context.SplitterAvailable = c.Available;
    context.SplitterVersion = c.Version;
    context.SplitRun = c.Run;
    std::vector<int> enabled;
    for (const int id : {kCmdUndo, kCmdRedo, kCmdExtract, kCmdSplitAll, kCmdSplitPageInput, kCmdFileSetting, kCmdHelp,
                         kCmdOpen}) {
      if (CommandEnabled(id, context)) enabled.push_back(id);
    }
    EXPECT_EQ(enabled, c.Enabled);
    EXPECT_EQ(CommandEnabled(kCmdExit, context), true);
  }
}

TEST(MenuState, ContextMenuOfEmptyAndFullLists) {
  const std::vector<int> ids = {kCmdOpen, kCmdEditFileName, kCmdDelete, kCmdSelectAll, kCmdPageAll, kCmdPageSelect,
                                kCmdUpdate};
  struct Case {
    std::vector<std::string> Pages;
    std::vector<int> Enabled;
  };
  for (const Case& c : {Case{{}, {kCmdEditFileName}},
                        Case{{"?", "5"}, {kCmdEditFileName, kCmdSelectAll, kCmdPageAll, kCmdUpdate}},
                        Case{{"*?", "*5"}, {kCmdOpen, kCmdDelete, kCmdSelectAll, kCmdPageAll, kCmdPageSelect, kCmdUpdate}}}) {
    const ListCounts counts = CountRowClasses(ListOf(c.Pages));
    std::vector<int> enabled;
    for (const int id : ids) {
      if (ContextMenuItemEnabled(id, counts)) enabled.push_back(id);
    }
    EXPECT_EQ(enabled, c.Enabled);
  }
}

}  // namespace
}  // namespace folvex
