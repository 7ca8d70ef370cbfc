#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/session/command_ids.h"
#include "app/commands/command_table.h"
#include "app/commands/language_choice.h"
#include "app/commands/list_commands.h"
#include "app/session/list_display.h"
#include "app/commands/operation_commands.h"
#include "app/splitter/splitter_commands.h"
#include "app/win32/dialogs.h"
#include "app/win32/main_menu.h"
#include "app/win32/shell_drop.h"
#include "app/win32/status_bar.h"
#include "app/win32/wide_text.h"
#include "app/win32/win32_desktop.h"
#include "engine/core/path_text.h"

namespace folvex::win32 {

MainWindow::MainWindow() = default;
MainWindow::~MainWindow() = default;

namespace {

constexpr wchar_t kClassName[] = L"Folvex";

bool SplitRunActive(const MainWindow& window) { return window.Session.Splitter.Run != 0; }

void ShowNormalStatus(MainWindow& window) {
  SetStatusBarText(window.Status, StatusText(window.Session.List, window.Session.Japanese));
}

void RunWindowCommand(MainWindow& window, int id, LPARAM data) {
  EndDrag(window.Drag);
  Desktop& desktop = *window.Desktop;
  switch (id) {
    case kCmdExit:
      PostMessageW(window.Window, WM_CLOSE, 0, 0);
      return;
    case kCmdGeneralSetting:
      RunGeneralSetting(window.Session, desktop);
      return;
    case kCmdSplitAll:
      RunSplitAll(window.Session, desktop);
      return;
    case kCmdSplitPageInput:
      RunSplitPageInput(window.Session, desktop);
      return;
    case kCmdSplitterNotify:
      HandleSplitterNotify(window.Session, desktop, static_cast<long>(data));
      return;
    default:
      RunCommand(window.Session, desktop, id);
  }
}

void CreateParts(MainWindow& window, HWND hwnd) {
  window.Window = hwnd;
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  AppSession& session = window.Session;
  const bool japanese = session.Japanese;
  StartSession(session, japanese, CurrentDirectory());
  LoadSettings(session.StartDirectory, session.Settings, AnsiToUtf8);
  session.Splitter.NotifyWindow = static_cast<std::uint64_t>(reinterpret_cast<UINT_PTR>(hwnd));
  session.Splitter.LanguageForced = window.LanguageForced;

  window.Toolbar = CreateMainToolbar(hwnd, window.Instance, japanese);
  window.Status = CreateStatusBar(hwnd, window.Instance);
  window.List = CreateFileListView(hwnd, window.Instance, japanese, ColumnWidthsOf(session.Settings.Columns, japanese));
  window.Desktop = std::make_unique<Win32Desktop>(window);
  StartSplitter(session, *window.Desktop);

  if (const std::optional<WindowPosition> position = WindowPositionOf(session.Settings.Position)) {
    MoveWindow(hwnd, position->Left, position->Top, position->Width, position->Height, FALSE);
  }
  DragAcceptFiles(hwnd, TRUE);
  ShowListChange(session, *window.Desktop);
}

void SaveAndQuit(MainWindow& window) {
  EndDrag(window.Drag);
  AppSettings& settings = window.Session.Settings;
  if (!IsIconic(window.Window) && !IsZoomed(window.Window)) {
    RECT rect{};
    GetWindowRect(window.Window, &rect);
    settings.Position = PositionText({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
  }
  settings.Columns = ColumnsText(ColumnWidths(window.List.Window));
  SaveSettingsFile(SettingsFilePath(window.Session.StartDirectory), settings, window.Session.Splitter.Available);
  DestroyFileListView(window.List);
  DestroyMainToolbar(window.Toolbar);
  PostQuitMessage(0);
}

void LayOut(MainWindow& window, int width, int height, WPARAM kind, LPARAM size) {
  SendMessageW(window.Status, WM_SIZE, kind, size);
  SendMessageW(window.Toolbar.Bar, WM_SIZE, kind, size);
  const int listHeight = height - kToolbarHeight - StatusBarHeight(window.Status);
  MoveWindow(window.List.Window, 0, kToolbarHeight, width, listHeight > 0 ? listHeight : 0, TRUE);
}

LRESULT ListNotice(MainWindow& window, const NMHDR& notice) {
  // The selection the user sees is always the model's, also during a splitter run: the run splits
  // the files it took at its start.
  if (notice.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(notice);
    if (!window.ShowingRows && (change.uChanged & LVIF_STATE) != 0) {
      TakeRowState(window.List.Window, window.Session.List, change.iItem);
      ShowNormalStatus(window);
    }
    return 0;
  }
  if (SplitRunActive(window)) return 0;
  EndDrag(window.Drag);
  switch (notice.code) {
    case NM_DBLCLK:
    case NM_RETURN:
      if (!SelectedRows(window.Session.List).empty()) RunWindowCommand(window, kCmdOpen, 0);
      return 0;
    case NM_RCLICK: {
      const int chosen = TrackContextMenu(window.Window, window.Instance, window.Session.Japanese,
                                          CountRowClasses(window.Session.List));
      if (chosen != 0) RunWindowCommand(window, chosen, 0);
      return 0;
    }
    case LVN_BEGINDRAG:
      BeginDrag(window.Drag, window.Window, window.List.Window, window.Toolbar.Bar, window.Instance);
      return 0;
    case LVN_COLUMNCLICK: {
      const auto& click = reinterpret_cast<const NMLISTVIEW&>(notice);
      const int id = ColumnSortCommand(click.iSubItem, GetKeyState(VK_SHIFT) < 0);
      if (id != 0) RunWindowCommand(window, id, 0);
      return 0;
    }
    default:
      return 0;
  }
}

void FilesDropped(MainWindow& window, HDROP drop) {
  if (SplitRunActive(window)) {
    DragFinish(drop);
    return;
  }
  EndDrag(window.Drag);
  const DroppedFiles files = TakeDroppedFiles(drop);
  const int rows = static_cast<int>(window.Session.List.Rows.size());
  const int at = DropInsertionIndex(rows, RowGeometry(window.List.Window, window.Window), files.Point.y, kToolbarHeight);
  DropFiles(window.Session, *window.Desktop, files.Paths, at);
}

void DragReleased(MainWindow& window, bool inside, LPARAM point) {
  if (!window.Drag.Active) return;
  EndDrag(window.Drag);
  if (!inside) return;
  const int pointerY = static_cast<short>(HIWORD(point));
  const int rows = static_cast<int>(window.Session.List.Rows.size());
  DragRows(window.Session, *window.Desktop, DragTargetRow(rows, RowGeometry(window.List.Window, nullptr), pointerY));
}

void MenuSelected(MainWindow& window, WPARAM item, LPARAM menu) {
  EndDrag(window.Drag);
  window.Desktop->RefreshMenus();
  const UINT flags = HIWORD(item);
  const int id = LOWORD(item);
  if ((flags == 0xFFFF && menu == 0) || (flags & (MF_POPUP | MF_SEPARATOR)) != 0 || id == 0) {
    ShowNormalStatus(window);
    return;
  }
  const std::string help = HelpText(id, window.Session.Japanese);
  if (help.empty()) {
    ShowNormalStatus(window);
  } else {
    SetStatusBarText(window.Status, help);
  }
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      CreateParts(*window, hwnd);
      return 0;
    case WM_SIZE:
      LayOut(*window, LOWORD(lParam), HIWORD(lParam), wParam, lParam);
      return 0;
    case WM_SETFOCUS:
      SetFocus(window->List.Window);
      return 0;
    case WM_COMMAND:
      RunWindowCommand(*window, LOWORD(wParam), lParam);
      return 0;
    case WM_NOTIFY: {
      const auto* notice = reinterpret_cast<const NMHDR*>(lParam);
      if (notice->idFrom == static_cast<UINT_PTR>(kListId)) return ListNotice(*window, *notice);
      break;
    }
    case WM_DROPFILES:
      FilesDropped(*window, reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_INITMENU:
      // Also reached before an accelerator is translated, so its menu item's state is current.
      window->Desktop->RefreshMenus();
      return 0;
    case WM_MENUSELECT:
      MenuSelected(*window, wParam, lParam);
      return 0;
    case WM_EXITMENULOOP:
      ShowNormalStatus(*window);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd) EndDrag(window->Drag);
      return 0;
    case kDragReleasedMessage:
      DragReleased(*window, wParam != 0, lParam);
      return 0;
    case WM_DESTROY:
      SaveAndQuit(*window);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int RunMainWindow(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
  const LanguageChoice language =
      ChooseLanguage(GetUserDefaultLangID(), Narrow(commandLine != nullptr ? commandLine : L""));
  SetResourceModule(instance);

  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, L"FOLVEXICON");
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = language.Japanese ? L"Folvex" : L"FolvexE";
  windowClass.lpszClassName = kClassName;
  if (RegisterClassW(&windowClass) == 0) return 0;

  auto window = std::make_unique<MainWindow>();
  window->Instance = instance;
  window->LanguageForced = language.Forced;
  window->Session.Japanese = language.Japanese;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Folvex", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, window.get());
  if (hwnd == nullptr) return 0;
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);

  HACCEL accelerators = LoadAcceleratorsW(instance, L"CPACCEL");
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (accelerators != nullptr && TranslateAcceleratorW(hwnd, accelerators, &message) != 0) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace folvex::win32
