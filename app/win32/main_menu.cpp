#include "app/win32/main_menu.h"

#include <string>

#include "app/session/command_ids.h"
#include "app/commands/command_table.h"
#include "app/win32/wide_text.h"

namespace folvex::win32 {

namespace {

constexpr int kOperationMenuIndex = 3;
constexpr UINT kOperationItems = 7;  // the items without the split ones

void EnableCommand(HMENU menu, int id, bool enabled) {
  EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void ApplyMenuState(HMENU bar, const CommandContext& context) {
  for (const CommandInfo& command : CommandTable()) {
    if (command.SplitterOnly && !context.SplitterAvailable) continue;
    EnableCommand(bar, command.Id, CommandEnabled(command.Id, context));
  }
}

void SetSplitItems(HMENU bar, bool present, bool japanese) {
  HMENU operation = GetSubMenu(bar, kOperationMenuIndex);
  if (operation == nullptr) return;
  const bool shown = GetMenuItemCount(operation) > static_cast<int>(kOperationItems);
  if (present == shown) return;
  if (present) {
    AppendMenuW(operation, MF_SEPARATOR, 0, nullptr);
    for (const int id : {kCmdSplitAll, kCmdSplitPageInput}) {
      const std::wstring label = Widen(MenuLabel(id, japanese));
      AppendMenuW(operation, MF_STRING, static_cast<UINT_PTR>(id), label.c_str());
    }
  } else {
    while (GetMenuItemCount(operation) > static_cast<int>(kOperationItems)) {
      DeleteMenu(operation, kOperationItems, MF_BYPOSITION);
    }
  }
}

int TrackContextMenu(HWND owner, HINSTANCE instance, bool japanese, const ListCounts& counts) {
  HMENU resource = LoadMenuW(instance, japanese ? L"CPPOPUP" : L"CPPOPUPE");
  if (resource == nullptr) return 0;
  HMENU popup = GetSubMenu(resource, 0);
  for (const ContextMenuItem& item : ContextMenu()) {
    if (item.Kind == ContextItemKind::Command) {
      EnableCommand(popup, item.CommandId, ContextMenuItemEnabled(item.CommandId, counts));
    }
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  const int chosen = static_cast<int>(
      TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                     owner, nullptr));
  DestroyMenu(resource);
  return chosen;
}

}  // namespace folvex::win32
