#include "app/commands/command_table.h"


namespace folvex {

namespace {

using enum MenuPlace;

constexpr CommandInfo kCommands[] = {
    {kCmdOpen, File, TextId::ItemOpen, TextId::HelpOpen, false},
    {kCmdListFromFolder, File, TextId::ItemListFromFolder, TextId::HelpListFromFolder, false},
    {kCmdExit, File, TextId::ItemExit, TextId::HelpExit, false},
    {kCmdUndo, Edit, TextId::ItemUndo, TextId::HelpUndo, false},
    {kCmdRedo, Edit, TextId::ItemRedo, TextId::HelpRedo, false},
    {kCmdEditFileName, Edit, TextId::ItemEditFileName, TextId::HelpEditFileName, false},
    {kCmdDelete, Edit, TextId::ItemDelete, TextId::HelpDelete, false},
    {kCmdSelectAll, Edit, TextId::ItemSelectAll, TextId::HelpSelectAll, false},
    {kCmdArrayPathAll, ViewArrayAll, TextId::ItemArrayPath, TextId::HelpArrayPathAll, false},
    {kCmdArrayFileAll, ViewArrayAll, TextId::ItemArrayFile, TextId::HelpArrayFileAll, false},
    {kCmdArrayDateAll, ViewArrayAll, TextId::ItemArrayDate, TextId::HelpArrayDateAll, false},
    {kCmdArrayPageAll, ViewArrayAll, TextId::ItemArrayPage, TextId::HelpArrayPageAll, false},
    {kCmdArrayPathSelect, ViewArraySelected, TextId::ItemArrayPath, TextId::HelpArrayPathSelect, false},
    {kCmdArrayFileSelect, ViewArraySelected, TextId::ItemArrayFile, TextId::HelpArrayFileSelect, false},
    {kCmdArrayDateSelect, ViewArraySelected, TextId::ItemArrayDate, TextId::HelpArrayDateSelect, false},
    {kCmdArrayPageSelect, ViewArraySelected, TextId::ItemArrayPage, TextId::HelpArrayPageSelect, false},
    {kCmdPageAll, ViewPage, TextId::ItemPageAll, TextId::HelpPageAll, false},
    {kCmdPageSelect, ViewPage, TextId::ItemPageSelected, TextId::HelpPageSelected, false},
    {kCmdUpdate, View, TextId::ItemUpdate, TextId::HelpUpdate, false},
    {kCmdExtract, Operation, TextId::ItemExtract, TextId::HelpExtract, false},
    {kCmdMergeAll, Operation, TextId::ItemMergeAll, TextId::HelpMergeAll, false},
    {kCmdMergeSelect, Operation, TextId::ItemMergeSelected, TextId::HelpMergeSelected, false},
    {kCmdSetSecurity, Operation, TextId::ItemSetSecurity, TextId::HelpSetSecurity, false},
    {kCmdRemoveSecurity, Operation, TextId::ItemRemoveSecurity, TextId::HelpRemoveSecurity, false},
    {kCmdSplitAll, Operation, TextId::ItemSplitAll, TextId::HelpSplitAll, true},
    {kCmdSplitPageInput, Operation, TextId::ItemSplitPageInput, TextId::HelpSplitPageInput, true},
    {kCmdGeneralSetting, Setting, TextId::ItemGeneralSetting, TextId::HelpGeneralSetting, false},
    {kCmdFileSetting, Setting, TextId::ItemFileSetting, TextId::HelpFileSetting, false},
    {kCmdHelp, Help, TextId::ItemHelp, TextId::HelpHelp, false},
    {kCmdAbout, Help, TextId::ItemAbout, TextId::HelpAbout, false},
};

// The View menu holds its three submenus (ViewArrayAll, ViewArraySelected, ViewPage) before Update.
constexpr int kFileLayout[] = {kCmdOpen, kCmdListFromFolder, kCmdExit};
constexpr int kEditLayout[] = {kCmdUndo, kCmdRedo, kCmdEditFileName, kCmdDelete, kCmdSelectAll};
constexpr int kViewLayout[] = {kCmdUpdate};
constexpr int kArrayAllLayout[] = {kCmdArrayPathAll, kCmdArrayFileAll, kCmdArrayDateAll, kCmdArrayPageAll};
constexpr int kArraySelectedLayout[] = {kCmdArrayPathSelect, kCmdArrayFileSelect, kCmdArrayDateSelect,
                                        kCmdArrayPageSelect};
constexpr int kPageLayout[] = {kCmdPageAll, kCmdPageSelect};
// Seven items; the split items go from position 7 on.
constexpr int kOperationLayout[] = {kCmdExtract, 0, kCmdMergeAll, kCmdMergeSelect, 0, kCmdSetSecurity,
                                    kCmdRemoveSecurity};
constexpr int kSettingLayout[] = {kCmdGeneralSetting, kCmdFileSetting};
constexpr int kHelpLayout[] = {kCmdHelp, kCmdAbout};

constexpr Accelerator kAccelerators[] = {
    {AcceleratorKey::Letter, 'O', kCmdOpenKey},   {AcceleratorKey::Letter, 'E', kCmdExit},
    {AcceleratorKey::Letter, 'Z', kCmdUndo},      {AcceleratorKey::Letter, 'Y', kCmdRedo},
    {AcceleratorKey::Delete, 0, kCmdDeleteKey},   {AcceleratorKey::Letter, 'A', kCmdSelectAllKey},
    {AcceleratorKey::F1, 0, kCmdHelp},
};

constexpr ToolbarButton kToolbar[] = {
    {kCmdUndo, 0, true, false},         {kCmdRedo, 1, false, false},
    {kCmdExtract, 2, true, false},      {kCmdMergeAll, 3, true, false},
    {kCmdMergeSelect, 4, false, false}, {kCmdSetSecurity, 5, true, false},
    {kCmdRemoveSecurity, 6, false, false}, {kCmdSplitAll, 7, true, true},
    {kCmdSplitPageInput, 8, false, true},
};

struct TooltipRow {
  int Id;
  TextId Tip;
};

constexpr TooltipRow kTooltips[] = {
    {kCmdExtract, TextId::TipExtract},         {kCmdMergeAll, TextId::TipMergeAll},
    {kCmdMergeSelect, TextId::TipMergeSelected}, {kCmdSetSecurity, TextId::TipSetSecurity},
    {kCmdRemoveSecurity, TextId::TipRemoveSecurity}, {kCmdSplitAll, TextId::TipSplitAll},
    {kCmdSplitPageInput, TextId::TipSplitPageInput},
};

constexpr ContextMenuItem kContextMenu[] = {
    {ContextItemKind::Command, kCmdOpen, TextId::ItemOpen},
    {ContextItemKind::Separator, 0, TextId::ItemOpen},
    {ContextItemKind::Command, kCmdEditFileName, TextId::ItemEditFileName},
    {ContextItemKind::Separator, 0, TextId::ItemOpen},
    {ContextItemKind::Command, kCmdDelete, TextId::ItemDelete},
    {ContextItemKind::Command, kCmdSelectAll, TextId::ItemSelectAll},
    {ContextItemKind::Separator, 0, TextId::ItemOpen},
    {ContextItemKind::SubmenuBegin, 0, TextId::ContextMenuPage},
    {ContextItemKind::Command, kCmdPageAll, TextId::ItemPageAll},
    {ContextItemKind::Command, kCmdPageSelect, TextId::ItemPageSelected},
    {ContextItemKind::SubmenuEnd, 0, TextId::ContextMenuPage},
    {ContextItemKind::Separator, 0, TextId::ItemOpen},
    {ContextItemKind::Command, kCmdUpdate, TextId::ItemUpdate},
};

}  // namespace

std::span<const CommandInfo> CommandTable() { return kCommands; }

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& command : kCommands) {
    if (command.Id == id) return &command;
  }
  return nullptr;
}

std::string MenuLabel(int id, bool japanese) {
  const CommandInfo* command = FindCommand(id);
  return command != nullptr ? std::string(Text(command->Label, japanese)) : std::string();
}

std::string HelpText(int id, bool japanese) {
  const CommandInfo* command = FindCommand(id);
  return command != nullptr ? std::string(Text(command->HelpText, japanese)) : std::string();
}

TextId MenuTitle(MenuPlace place) {
  switch (place) {
    case File:
      return TextId::MenuFile;
    case Edit:
      return TextId::MenuEdit;
    case View:
      return TextId::MenuView;
    case ViewArrayAll:
      return TextId::MenuArrayAll;
    case ViewArraySelected:
      return TextId::MenuArraySelected;
    case ViewPage:
      return TextId::MenuPage;
    case Operation:
      return TextId::MenuOperation;
    case Setting:
      return TextId::MenuSetting;
    case Help:
      break;
  }
  return TextId::MenuHelp;
}

std::span<const int> MenuLayout(MenuPlace place) {
  switch (place) {
    case File:
      return kFileLayout;
    case Edit:
      return kEditLayout;
    case View:
      return kViewLayout;
    case ViewArrayAll:
      return kArrayAllLayout;
    case ViewArraySelected:
      return kArraySelectedLayout;
    case ViewPage:
      return kPageLayout;
    case Operation:
      return kOperationLayout;
    case Setting:
      return kSettingLayout;
    case Help:
      break;
  }
  return kHelpLayout;
}

std::span<const Accelerator> AcceleratorTable() { return kAccelerators; }

std::span<const ToolbarButton> ToolbarButtons() { return kToolbar; }

std::string ToolbarTooltip(int id, bool japanese) {
  for (const TooltipRow& row : kTooltips) {
    if (row.Id == id) return std::string(Text(row.Tip, japanese));
  }
  return std::string();
}

int ColumnSortCommand(int column, bool shift) {
  constexpr int kAll[] = {kCmdArrayFileAll, kCmdArrayPathAll, kCmdArrayDateAll, kCmdArrayPageAll};
  constexpr int kSelected[] = {kCmdArrayFileSelect, kCmdArrayPathSelect, kCmdArrayDateSelect, kCmdArrayPageSelect};
  if (column < 0 || column > 3) return 0;
  return shift ? kSelected[column] : kAll[column];
}

std::span<const ContextMenuItem> ContextMenu() { return kContextMenu; }

}  // namespace folvex
