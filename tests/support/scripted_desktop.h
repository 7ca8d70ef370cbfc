// A Desktop for tests: every question is answered from a script, every call is recorded, and a
// question asked without a scripted answer is noted in Unscripted (and answered as cancelled).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/model/desktop.h"

namespace folvex::testing {

class ScriptedDesktop : public Desktop {
 public:
  // Scripts, consumed front first.
  std::deque<MessageAnswer> MessageAnswers;
  std::deque<std::optional<std::string>> OpenFileAnswers;
  std::deque<std::optional<std::string>> SaveFileAnswers;
  std::deque<std::optional<std::string>> FolderAnswers;
  std::deque<std::optional<std::string>> PageRangeAnswers;
  std::deque<std::optional<std::string>> PasswordAnswers;
  std::deque<std::optional<std::string>> EditFileNameAnswers;
  std::deque<std::optional<SecurityDialogValues>> SecurityAnswers;
  std::deque<std::optional<GeneralSettingsValues>> GeneralSettingsAnswers;
  std::deque<std::optional<OutputSettings>> FileSettingsAnswers;
  std::deque<bool> ShellOpenResults;    // empty: success
  std::deque<bool> ShellLaunchResults;  // empty: success
  bool CancelJobs = false;              // the user presses Cancel as soon as a job starts
  std::string CancelAtLabel;            // the user presses Cancel when a label starting so is shown

  // Records.
  std::vector<std::string> Unscripted;  // names of the calls that found their script empty
  std::vector<MessageRequest> Messages;
  std::vector<FileDialogRequest> OpenFileRequests;
  std::vector<FileDialogRequest> SaveFileRequests;
  std::vector<std::pair<std::string, std::string>> FolderRequests;  // title, initial folder
  std::vector<std::string> EditFileNameRequests;
  std::vector<PasswordRequest> PasswordRequests;
  std::vector<std::string> ShellOpened;
  std::vector<std::pair<std::string, std::string>> ShellLaunched;
  std::vector<JobRequest> Jobs;
  std::vector<std::string> JobLabels;  // every progress label the jobs reported
  std::vector<int> ScrolledRows;
  int ListChanges = 0;
  int ListFocused = 0;
  int Foregrounded = 0;
  int MenuRefreshes = 0;
  int AboutShown = 0;
  int WaitCursorShown = 0;
  bool WaitCursorOn = false;
  std::string StatusText;
  std::optional<bool> SplitterMenuItemsPresent;
  ToolbarState Toolbar;

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

  // The texts of the message boxes shown so far.
  std::vector<std::string> MessageTexts() const;
};

}  // namespace folvex::testing
