#include "tests/support/scripted_desktop.h"

#include "app/jobs/job_worker.h"

namespace folvex::testing {

namespace {

template <typename T>
std::optional<T> Next(std::deque<std::optional<T>>& script, std::vector<std::string>& unscripted, const char* name) {
  if (script.empty()) {
    unscripted.push_back(name);
    return std::nullopt;
  }
  std::optional<T> answer = std::move(script.front());
  script.pop_front();
  return answer;
}

bool NextResult(std::deque<bool>& script) {
  if (script.empty()) return true;
  const bool result = script.front();
  script.pop_front();
  return result;
}

}  // namespace

MessageAnswer ScriptedDesktop::ShowMessage(const MessageRequest& request) {
  Messages.push_back(request);
  if (MessageAnswers.empty()) {
    if (request.Buttons != MessageButtons::Ok) Unscripted.push_back("ShowMessage");
    return request.Buttons == MessageButtons::YesNo ? MessageAnswer::No
                                                    : (request.Buttons == MessageButtons::Ok ? MessageAnswer::Ok
                                                                                             : MessageAnswer::Cancel);
  }
  const MessageAnswer answer = MessageAnswers.front();
  MessageAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDesktop::ChooseOpenFile(const FileDialogRequest& request) {
  OpenFileRequests.push_back(request);
  return Next(OpenFileAnswers, Unscripted, "ChooseOpenFile");
}

std::optional<std::string> ScriptedDesktop::ChooseSaveFile(const FileDialogRequest& request) {
  SaveFileRequests.push_back(request);
  return Next(SaveFileAnswers, Unscripted, "ChooseSaveFile");
}

std::optional<std::string> ScriptedDesktop::BrowseForFolder(const std::string& title, const std::string& initialFolder) {
  FolderRequests.emplace_back(title, initialFolder);
  return Next(FolderAnswers, Unscripted, "BrowseForFolder");
}

std::optional<std::string> ScriptedDesktop::AskPageRanges() {
  return Next(PageRangeAnswers, Unscripted, "AskPageRanges");
}

bool ScriptedDesktop::EditSecurity(SecurityDialogValues& values) {
  std::optional<SecurityDialogValues> answer = Next(SecurityAnswers, Unscripted, "EditSecurity");
  if (!answer) return false;
  values = *answer;
  return true;
}

std::optional<std::string> ScriptedDesktop::AskPassword(const PasswordRequest& request) {
  PasswordRequests.push_back(request);
  return Next(PasswordAnswers, Unscripted, "AskPassword");
}

bool ScriptedDesktop::EditGeneralSettings(GeneralSettingsValues& values,
                                          const std::function<bool(const GeneralSettingsValues&)>& validate) {
  // The dialog stays open while validation fails: each scripted answer is one press of OK.
  while (true) {
    std::optional<GeneralSettingsValues> answer = Next(GeneralSettingsAnswers, Unscripted, "EditGeneralSettings");
    if (!answer) return false;
    if (!validate || validate(*answer)) {
      values = *answer;
      return true;
    }
  }
}

bool ScriptedDesktop::EditFileSettings(OutputSettings& settings) {
  std::optional<OutputSettings> answer = Next(FileSettingsAnswers, Unscripted, "EditFileSettings");
  if (!answer) return false;
  settings = *answer;
  return true;
}

std::optional<std::string> ScriptedDesktop::EditFileName(const std::string& path, std::string& /*inputFolder*/) {
  EditFileNameRequests.push_back(path);
  return Next(EditFileNameAnswers, Unscripted, "EditFileName");
}

void ScriptedDesktop::ShowAbout() { ++AboutShown; }

bool ScriptedDesktop::ShellOpen(const std::string& path) {
  ShellOpened.push_back(path);
  return NextResult(ShellOpenResults);
}

bool ScriptedDesktop::ShellLaunch(const std::string& program, const std::string& parameters) {
  ShellLaunched.emplace_back(program, parameters);
  return NextResult(ShellLaunchResults);
}

int ScriptedDesktop::RunJob(const JobRequest& request) {
  Jobs.push_back(request);
  JobControl control;
  // The driver runs on the worker thread while this thread waits, as behind the modal dialog:
  // the records below are written by one thread at a time.
  control.ProgressSink = [this, &control](int /*percent*/, const std::string& label) {
    JobLabels.push_back(label);
    if (!CancelAtLabel.empty() && label.rfind(CancelAtLabel, 0) == 0) control.CancelFlag = 3;
  };
  control.PasswordPrompt = [this, &request](std::string& password) {
    std::optional<std::string> answer =
        AskPassword(request.PasswordQuestion ? request.PasswordQuestion() : PasswordRequest{});
    if (!answer) return false;
    password = *answer;
    return true;
  };
  if (CancelJobs) control.CancelFlag = 3;
  return RunJobOnWorker(request, control);
}

void ScriptedDesktop::ListChanged() { ++ListChanges; }
void ScriptedDesktop::ScrollRowIntoView(int row) { ScrolledRows.push_back(row); }
void ScriptedDesktop::FocusList() { ++ListFocused; }
void ScriptedDesktop::SetStatusText(const std::string& text) { StatusText = text; }

void ScriptedDesktop::SetWaitCursor(bool on) {
  if (on) ++WaitCursorShown;
  WaitCursorOn = on;
}

void ScriptedDesktop::BringToForeground() { ++Foregrounded; }
void ScriptedDesktop::RefreshMenus() { ++MenuRefreshes; }
void ScriptedDesktop::SetSplitterMenuItems(bool present) { SplitterMenuItemsPresent = present; }
void ScriptedDesktop::RefreshToolbar(const ToolbarState& state) { Toolbar = state; }

std::vector<std::string> ScriptedDesktop::MessageTexts() const {
  std::vector<std::string> texts;
  for (const MessageRequest& message : Messages) texts.push_back(message.Text);
  return texts;
}

}  // namespace folvex::testing
