// When each command is enabled: the rules over the list's row counts, the history counters and the
// companion splitter's state.
#pragma once

#include "app/model/file_list.h"

namespace folvex {

// Row counts over the list (row classes of the file list).
struct ListCounts {
  int n = 0;   // rows
  int U = 0;   // uncounted rows
  int G = 0;   // usable counted rows
  int s = 0;   // selected rows
  int su = 0;  // selected uncounted rows
  int sg = 0;  // selected usable counted rows
  int se = 0;  // those of sg that are encrypted
  int c = 0;   // page count of the last selected usable counted row
};

ListCounts CountRowClasses(const FileList& list);

struct CommandContext {
  ListCounts Counts;
  int UndoCount = 0;
  int RedoCount = 0;
  bool SplitterAvailable = false;
  int SplitterVersion = -1;
  int SplitRun = 0;  // nonzero while a companion-splitter run is active
};

// Exactly one row selected, and it is uncounted or counted with at least 2 pages.
bool ExtractRuleMet(const ListCounts& counts);

// The enabled state of a menu command (also the test a toolbar click must pass). During a splitter
// run only Exit, Help and File Setting are enabled, whatever the id. Otherwise ids outside the
// menus (accelerator-only and the program's own) are always enabled.
bool CommandEnabled(int id, const CommandContext& context);

// The enabled state of an item of the list's context menu.
bool ContextMenuItemEnabled(int id, const ListCounts& counts);

}  // namespace folvex
