// Which commands are enabled for a list, the history and the splitter.
#include "app/session/menu_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session/command_ids.h"

namespace folvex {
namespace {

// The commands and the letters the expectations name them by.
constexpr std::pair<int, char> kCommands[] = {
    {kCmdOpen, 'O'},      {kCmdEditFileName, 'N'}, {kCmdDelete, 'D'},      {kCmdSelectAll, 'A'},  {kCmdArrayFileAll, 's'},
    {kCmdArrayPageSelect, 'S'}, {kCmdPageAll, 'p'}, {kCmdPageSelect, 'P'},  {kCmdUpdate, 'U'},     {kCmdExtract, 'X'},
    {kCmdMergeAll, 'm'},  {kCmdMergeSelect, 'M'},  {kCmdSetSecurity, '+'}, {kCmdRemoveSecurity, '-'}, {kCmdUndo, 'z'},
    {kCmdRedo, 'y'},      {kCmdSplitAll, 'T'},     {kCmdSplitPageInput, 'I'}, {kCmdFileSetting, 'F'}, {kCmdHelp, 'H'},
    {kCmdExit, 'Q'},      {kCmdListFromFolder, 'R'}};

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

TEST(MenuState, EveryCommandOverListsHistoryAndSplitter) {
  struct Case {
    const char* Title;
    std::vector<std::string> Pages;
    int Undo, Redo, Version, Run;  // Version -1: no splitter
    const char* Menu;               // the enabled commands
    const char* Context;            // the enabled context-menu items (of O N D A p P U)
  };
  const Case cases[] = {
      {"empty list", {}, 0, 0, -1, 0, "NFHQR", "N"},
      {"rows, none selected", {"?", "5"}, 0, 0, -1, 0, "NAspUmFHQR", "NApU"},
      {"one uncounted row", {"*?"}, 0, 0, -1, 0, "ONDApPUX+-FHQR", "ONDApPU"},
      {"one-page file: no extract", {"*1", "2"}, 0, 0, -1, 0, "ONDAsUm+FHQR", "ONDAU"},
      {"encrypted counted file: remove, not set", {"*4 Encrypted", "X Not Found"}, 0, 0, -1, 0, "ONDAsUX-FHQR", "ONDAU"},
      {"bare Encrypted: encrypted, no pages", {"*Encrypted"}, 0, 0, -1, 0, "ONDAU-FHQR", "ONDAU"},
      {"bare 暗号化 beside a plain file", {"*暗号化", "*4"}, 0, 0, -1, 0, "ODAsSUmM+-FHQR", "ODAU"},
      {"marked rows only", {"*X Not Found", "*X Not PDF?"}, 0, 0, -1, 0, "ODAsSUFHQR", "ODAU"},
      {"usable rows among marked ones", {"*?", "*X Not PDF?", "*8", "X Not Found"}, 0, 0, -1, 0, "ODAsSpPUmM+-FHQR",
       "ODApPU"},
      {"undo and redo", {}, 1, 2, -1, 0, "NzyFHQR", "N"},
      {"old splitter: one row", {"*3"}, 0, 0, 900, 0, "ONDAUX+TIFHQR", "ONDAU"},
      {"old splitter: not two rows", {"*3", "*4"}, 0, 0, 900, 0, "ODAsSUmM+FHQR", "ODAU"},
      {"splitter 910 splits several rows", {"*3", "*?"}, 0, 0, 910, 0, "ODAsSpPUmM+-TFHQR", "ODApPU"},
      {"a splitter run: Exit, Help and File Setting only", {"*3"}, 5, 5, 1000, 2, "FHQ", "ONDAU"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Title);
    CommandContext context;
    context.Counts = CountRowClasses(ListOf(c.Pages));
    context.UndoCount = c.Undo;
    context.RedoCount = c.Redo;
    context.SplitterAvailable = c.Version >= 0;
    context.SplitterVersion = c.Version;
    context.SplitRun = c.Run;
    std::string menu;
    std::string context_menu;
    for (const auto& [id, letter] : kCommands) {
      if (CommandEnabled(id, context)) menu += letter;
      if (std::string("ONDApPU").find(letter) != std::string::npos && ContextMenuItemEnabled(id, context.Counts)) {
        context_menu += letter;
      }
    }
    EXPECT_EQ(menu, c.Menu);
    EXPECT_EQ(context_menu, c.Context);
  }
}

}  // namespace
}  // namespace folvex
