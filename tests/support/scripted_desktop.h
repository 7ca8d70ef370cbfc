// A Desktop for tests: questions are answered from scripts, the calls the tests look at are
// recorded, and a question without a scripted answer is noted in Unscripted (and answered as
// cancelled).
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
  std::deque<std::optional<std::string>> SaveFileAnswers;
  std::deque<std::optional<std::string>> PageRangeAnswers;
  std::deque<std::optional<std::string>> PasswordAnswers;
  std::deque<std::optional<SecurityDialogValues>> SecurityAnswers;
  std::deque<std::optional<GeneralSettingsValues>> GeneralSettingsAnswers;
  std::deque<bool> ShellLaunchResults;  // empty: success

  // Records.
  std::vector<std::string> Unscripted;  // names of the calls that found their script empty
  std::vector<MessageRequest> Messages;
  std::vector<FileDialogRequest> SaveFileRequests;
  std::vector<PasswordRequest> PasswordRequests;
  std::vector<std::string> ShellOpened;
  std::vector<std::pair<std::string, std::string>> ShellLaunched;
  std::vector<JobRequest> Jobs;
  std::vector<int> ScrolledRows;
  int ListFocused = 0;
  int MenuRefreshes = 0;
  std::string StatusText;
  std::optional<bool> SplitterMenuItemsPresent;
  ToolbarState Toolbar;

  MessageAnswer ShowMessage(const MessageRequest& request) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return Unasked("ChooseOpenFile"); }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> BrowseForFolder(const std::string&, const std::string&) override {
    return Unasked("BrowseForFolder");
  }
  std::optional<std::string> AskPageRanges() override;
  bool EditSecurity(SecurityDialogValues& values) override;
  std::optional<std::string> AskPassword(const PasswordRequest& request) override;
  bool EditGeneralSettings(GeneralSettingsValues& values,
                           const std::function<bool(const GeneralSettingsValues&)>& validate) override;
  bool EditFileSettings(OutputSettings&) override { return Unasked("EditFileSettings").has_value(); }
  std::optional<std::string> EditFileName(const std::string&, std::string&) override { return Unasked("EditFileName"); }
  void ShowAbout() override {}
  bool ShellOpen(const std::string& path) override;
  bool ShellLaunch(const std::string& program, const std::string& parameters) override;
  int RunJob(const JobRequest& request) override;
  void ListChanged() override {}
  void ScrollRowIntoView(int row) override { ScrolledRows.push_back(row); }
  void FocusList() override { ++ListFocused; }
  void SetStatusText(const std::string& text) override { StatusText = text; }
  void SetWaitCursor(bool) override {}
  void BringToForeground() override {}
  void RefreshMenus() override { ++MenuRefreshes; }
  void SetSplitterMenuItems(bool present) override { SplitterMenuItemsPresent = present; }
  void RefreshToolbar(const ToolbarState& state) override { Toolbar = state; }

  // The texts of the message boxes shown so far.
  std::vector<std::string> MessageTexts() const;

 private:
  // A question this desktop has no script for: noted in Unscripted and answered as cancelled.
  std::optional<std::string> Unasked(const char* name) {
    Unscripted.push_back(name);
    return std::nullopt;
  }
};

}  // namespace folvex::testing
