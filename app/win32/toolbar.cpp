#include "app/win32/toolbar.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/session/command_ids.h"
#include "app/commands/command_table.h"
#include "app/win32/wide_text.h"

namespace folvex::win32 {

namespace {

void SetTip(const MainToolbar& toolbar, int id, const std::string& text) {
  std::wstring wide = Widen(text);
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = toolbar.Bar;
  tool.uId = static_cast<UINT_PTR>(id);
  tool.lpszText = wide.data();
  SendMessageW(toolbar.Tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PlaceTools(const MainToolbar& toolbar) {
  for (const ToolbarButton& button : ToolbarButtons()) {
    const LRESULT index = SendMessageW(toolbar.Bar, TB_COMMANDTOINDEX, static_cast<WPARAM>(button.CommandId), 0);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = toolbar.Bar;
    tool.uId = static_cast<UINT_PTR>(button.CommandId);
    SendMessageW(toolbar.Bar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageW(toolbar.Tips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

}  // namespace

MainToolbar CreateMainToolbar(HWND parent, HINSTANCE instance, bool japanese) {
  MainToolbar toolbar;
  // Pure green in the bitmap stands for the button face.
  COLORMAP green{RGB(0, 255, 0), GetSysColor(COLOR_BTNFACE)};
  toolbar.Images = CreateMappedBitmap(instance, kToolbarBitmapId, 0, &green, 1);

  std::vector<TBBUTTON> buttons;
  for (const ToolbarButton& button : ToolbarButtons()) {
    if (button.SeparatorBefore) {
      TBBUTTON separator{};
      separator.fsStyle = BTNS_SEP;
      buttons.push_back(separator);
    }
    TBBUTTON entry{};
    entry.iBitmap = button.Image;
    entry.idCommand = button.CommandId;
    entry.fsState = TBSTATE_ENABLED;
    entry.fsStyle = BTNS_BUTTON;
    buttons.push_back(entry);
  }
  toolbar.Bar = CreateToolbarEx(parent, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, kToolbarId,
                                static_cast<int>(ToolbarButtons().size()), nullptr,
                                reinterpret_cast<UINT_PTR>(toolbar.Images), buttons.data(),
                                static_cast<int>(buttons.size()), 16, 15, 16, 15, sizeof(TBBUTTON));

  toolbar.Tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, instance, nullptr);
  for (const ToolbarButton& button : ToolbarButtons()) {
    std::wstring text = Widen(ToolbarTooltip(button.CommandId, japanese));
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = toolbar.Bar;
    tool.uId = static_cast<UINT_PTR>(button.CommandId);
    tool.lpszText = text.data();
    SendMessageW(toolbar.Tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  PlaceTools(toolbar);
  SendMessageW(toolbar.Bar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(toolbar.Tips), 0);
  return toolbar;
}

void DestroyMainToolbar(MainToolbar& toolbar) {
  if (toolbar.Images != nullptr) DeleteObject(toolbar.Images);
  toolbar.Images = nullptr;
}

void UpdateToolbar(const MainToolbar& toolbar, const ToolbarState& state) {
  SetTip(toolbar, kCmdUndo, state.UndoTooltip);
  SetTip(toolbar, kCmdRedo, state.RedoTooltip);
  bool changed = false;
  for (const ToolbarButton& button : ToolbarButtons()) {
    if (!button.SplitterOnly) continue;
    const bool hidden = SendMessageW(toolbar.Bar, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(button.CommandId), 0) != 0;
    if (hidden == state.SplitButtonsVisible) {
      SendMessageW(toolbar.Bar, TB_HIDEBUTTON, static_cast<WPARAM>(button.CommandId),
                   MAKELPARAM(state.SplitButtonsVisible ? FALSE : TRUE, 0));
      changed = true;
    }
  }
  // A hidden button has an empty rectangle; the tools follow the buttons.
  if (changed) PlaceTools(toolbar);
}

}  // namespace folvex::win32
