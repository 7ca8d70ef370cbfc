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
