// The application's Desktop on Win32: the program's dialogs, the shell, and the main window's
// list, status bar, menus and toolbar.
#pragma once

#include "app/model/desktop.h"
#include "app/win32/main_window.h"

namespace folvex::win32 {

class Win32Desktop final : public Desktop {
 public:
  explicit Win32Desktop(MainWindow& window) : Window(window) {}

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> BrowseForFolder(const std::string& title, const std::string& initialFolder) override;
  std::optional<std::string> AskPageRanges() override;
  bool EditSecurity(SecurityDialogValues& values) override;
  std::optional<std::string> AskPassword(const PasswordRequest& request) override;
  bool EditGeneralSettings(GeneralSettingsValues& values,
                           const std::function<bool(const GeneralSettingsValues&)>& validate) override;
  bool EditFileSettings(OutputSettings& settings) override;
  std::optional<std::string> EditFileName(const std::string& path, std::string& inputFolder) override;
  void ShowAbout() override;
  bool ShellOpen(const std::string& path) override;
  bool ShellLaunch(const std::string& program, const std::string& parameters) override;
  int RunJob(const JobRequest& request) override;
  void ListChanged() override;
  void ScrollRowIntoView(int row) override;
  void FocusList() override;
  void SetStatusText(const std::string& text) override;
  void SetWaitCursor(bool on) override;
  void BringToForeground() override;
  void RefreshMenus() override;
  void SetSplitterMenuItems(bool present) override;
  void RefreshToolbar(const ToolbarState& state) override;

 private:
  MainWindow& Window;
};

}  // namespace folvex::win32
