#include "app/session/menu_state.h"

#include "app/session/command_ids.h"

namespace folvex {

ListCounts CountRowClasses(const FileList& list) {
  ListCounts counts;
  for (const ListEntry& row : list.Rows) {
    ++counts.n;
    const bool uncounted = IsUncounted(row.Page);
    const bool counted = IsUsable(row.Page) && !uncounted;
    if (uncounted) ++counts.U;
    if (counted) ++counts.G;
    if (!row.Selected) continue;
    ++counts.s;
    if (uncounted) ++counts.su;
    if (counted) {
      ++counts.sg;
      if (IsEncryptedPage(row.Page)) ++counts.se;
      counts.c = LeadingNumber(row.Page);
    }
  }
  return counts;
}

bool ExtractRuleMet(const ListCounts& counts) {
  return counts.s == 1 && (counts.su == 1 || (counts.sg == 1 && counts.c >= 2));
}

bool CommandEnabled(int id, const CommandContext& context) {
  const ListCounts& k = context.Counts;
  if (context.SplitRun != 0) return id == kCmdExit || id == kCmdHelp || id == kCmdFileSetting;
  switch (id) {
    case kCmdOpen:
    case kCmdDelete:
      return k.s >= 1;
    case kCmdUndo:
      return context.UndoCount >= 1;
    case kCmdRedo:
      return context.RedoCount >= 1;
    case kCmdEditFileName:
      return k.s <= 1;
    case kCmdSelectAll:
    case kCmdUpdate:
      return k.n >= 1;
    case kCmdArrayPathAll:
    case kCmdArrayFileAll:
    case kCmdArrayDateAll:
    case kCmdArrayPageAll:
      return k.n >= 2;
    case kCmdArrayPathSelect:
    case kCmdArrayFileSelect:
    case kCmdArrayDateSelect:
    case kCmdArrayPageSelect:
      return k.s >= 2;
    case kCmdPageAll:
      return k.U >= 1;
    case kCmdPageSelect:
      return k.su >= 1;
    case kCmdExtract:
      return ExtractRuleMet(k);
    case kCmdMergeAll:
      return k.U + k.G >= 2;
    case kCmdMergeSelect:
      return k.su + k.sg >= 2;
    case kCmdSetSecurity:
      return k.s >= 1 && (k.su >= 1 || k.sg - k.se >= 1);
    case kCmdRemoveSecurity:
      return k.s >= 1 && (k.su >= 1 || k.se >= 1);
    case kCmdSplitAll:
      return context.SplitterAvailable &&
             (ExtractRuleMet(k) || (k.su + k.sg >= 2 && context.SplitterVersion >= 910));
    case kCmdSplitPageInput:
      return context.SplitterAvailable && ExtractRuleMet(k);
    default:
      return true;
  }
}

bool ContextMenuItemEnabled(int id, const ListCounts& counts) {
  switch (id) {
    case kCmdSelectAll:
    case kCmdUpdate:
      return counts.n >= 1;
    case kCmdPageAll:
      return counts.U >= 1;
    case kCmdOpen:
    case kCmdDelete:
      return counts.s >= 1;
    case kCmdEditFileName:
      return counts.s <= 1;
    case kCmdPageSelect:
      return counts.su >= 1;
    default:
      return true;
  }
}

}  // namespace folvex
