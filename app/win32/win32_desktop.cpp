#include "app/win32/win32_desktop.h"

#include <shellapi.h>

#include "app/win32/dialogs.h"
#include "app/win32/main_menu.h"
#include "app/win32/status_bar.h"
#include "app/win32/wide_text.h"

namespace folvex::win32 {

namespace {

// ShellExecute reports success with a value above 32.
bool ShellExecuted(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

MessageAnswer Win32Desktop::ShowMessage(const MessageRequest& request) {
  return ShowMessageBox(Window.Window, request);
}

std::optional<std::string> Win32Desktop::ChooseOpenFile(const FileDialogRequest& request) {
  return ShowOpenFileDialog(Window.Window, request);
}

std::optional<std::string> Win32Desktop::ChooseSaveFile(const FileDialogRequest& request) {
  return ShowSaveFileDialog(Window.Window, request);
}

std::optional<std::string> Win32Desktop::BrowseForFolder(const std::string& title, const std::string& initialFolder) {
  return ShowFolderBrowser(Window.Window, title, initialFolder);
}

std::optional<std::string> Win32Desktop::AskPageRanges() {
  return ShowPageRangeDialog(Window.Window, Window.Session.Japanese);
}

bool Win32Desktop::EditSecurity(SecurityDialogValues& values) {
  return ShowSecurityDialog(Window.Window, Window.Session.Japanese, values);
}

std::optional<std::string> Win32Desktop::AskPassword(const PasswordRequest& request) {
  return ShowPasswordDialog(Window.Window, Window.Session.Japanese, request);
}

bool Win32Desktop::EditGeneralSettings(GeneralSettingsValues& values,
                                       const std::function<bool(const GeneralSettingsValues&)>& validate) {
  return ShowGeneralSettingDialog(Window.Window, Window.Session.Japanese, values, validate);
}

bool Win32Desktop::EditFileSettings(OutputSettings& settings) {
  return ShowFileSettingDialog(Window.Window, Window.Session.Japanese, settings, Window.Session.Splitter.Version);
}

std::optional<std::string> Win32Desktop::EditFileName(const std::string& path, std::string& inputFolder) {
  return ShowEditFileNameDialog(Window.Window, Window.Session.Japanese, path, inputFolder);
}

void Win32Desktop::ShowAbout() { ShowAboutDialog(Window.Window, Window.Session.Japanese); }

bool Win32Desktop::ShellOpen(const std::string& path) {
  const std::wstring file = Widen(path);
  return ShellExecuted(ShellExecuteW(Window.Window, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

bool Win32Desktop::ShellLaunch(const std::string& program, const std::string& parameters) {
  const std::wstring file = Widen(program);
  const std::wstring arguments = Widen(parameters);
  return ShellExecuted(
      ShellExecuteW(Window.Window, L"open", file.c_str(), arguments.c_str(), nullptr, SW_SHOWNORMAL));
}

int Win32Desktop::RunJob(const JobRequest& request) {
  return ShowProgressDialog(Window.Window, Window.Session.Japanese, request);
}

void Win32Desktop::ListChanged() {
  Window.ShowingRows = true;
  ShowRows(Window.List.Window, Window.Session.List);
  Window.ShowingRows = false;
}

void Win32Desktop::ScrollRowIntoView(int row) {
  SendMessageW(Window.List.Window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void Win32Desktop::FocusList() { SetFocus(Window.List.Window); }

void Win32Desktop::SetStatusText(const std::string& text) { SetStatusBarText(Window.Status, text); }

void Win32Desktop::SetWaitCursor(bool on) { SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW)); }

void Win32Desktop::BringToForeground() { SetForegroundWindow(Window.Window); }

void Win32Desktop::RefreshMenus() { ApplyMenuState(GetMenu(Window.Window), CurrentContext(Window.Session)); }

void Win32Desktop::SetSplitterMenuItems(bool present) {
  SetSplitItems(GetMenu(Window.Window), present, Window.Session.Japanese);
  DrawMenuBar(Window.Window);
}

void Win32Desktop::RefreshToolbar(const ToolbarState& state) { UpdateToolbar(Window.Toolbar, state); }

}  // namespace folvex::win32
