// The command table: where each command is offered, its menu label and help text in both
// languages, the accelerators, the toolbar and the list's context menu.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/session/command_ids.h"
#include "app/text/texts.h"

namespace folvex {

enum class MenuPlace {
  File,
  Edit,
  View,
  ViewArrayAll,       // View, "A&rray-All Files"
  ViewArraySelected,  // View, "Array-&Selected Files"
  ViewPage,           // View, "&Page"
  Operation,
  Setting,
  Help,
};

struct CommandInfo {
  int Id;
  MenuPlace Menu;
  TextId Label;
  TextId HelpText;
  bool SplitterOnly;  // in the Operation menu only while the splitter is available
};

// Every menu command in the order of the table the menus are built from.
std::span<const CommandInfo> CommandTable();
const CommandInfo* FindCommand(int id);

// The menu label or help text of a command in the interface language; empty for an id without one
// (separators, submenu titles, the program's own ids).
std::string MenuLabel(int id, bool japanese);
std::string HelpText(int id, bool japanese);

// The titles of the menu bar's menus and the View submenus.
TextId MenuTitle(MenuPlace place);

// Menu bar layout of one menu: command ids in order, 0 for a separator. The Operation menu's split
// items (a separator and 1350, 1360) are appended at its end only while the splitter is available.
std::span<const int> MenuLayout(MenuPlace place);

enum class AcceleratorKey { Letter, Delete, F1 };

struct Accelerator {
  AcceleratorKey Key;
  char Letter;  // with Control, for AcceleratorKey::Letter
  int CommandId;
};

// The accelerator table "CPACCEL".
std::span<const Accelerator> AcceleratorTable();

struct ToolbarButton {
  int CommandId;
  int Image;             // index in the toolbar bitmap
  bool SeparatorBefore;  // a group starts here
  bool SplitterOnly;     // hidden while the splitter is not available
};

// The toolbar's buttons, left to right.
std::span<const ToolbarButton> ToolbarButtons();

// The fixed tooltip of a toolbar button (Undo and Redo show the history labels instead); empty for
// those two and for other ids.
std::string ToolbarTooltip(int id, bool japanese);

enum class ContextItemKind { Command, Separator, SubmenuBegin, SubmenuEnd };

struct ContextMenuItem {
  ContextItemKind Kind;
  int CommandId;  // for Command
  TextId Label;   // for Command and SubmenuBegin
};

// The sort command of a click on a column header (0 name, 1 path, 2 date, 3 page): all rows, or
// the selected rows when Shift is held. 0 for any other column.
int ColumnSortCommand(int column, bool shift);

// The list's context menu, in order.
std::span<const ContextMenuItem> ContextMenu();

}  // namespace folvex
