#include "app/jobs/job_preparation.h"

#include <utility>

#include "app/session/list_display.h"
#include "engine/core/path_text.h"

namespace folvex {

bool OperationAllowed(const AppSession& session, int commandId) {
  return session.Splitter.Run == 0 && CommandEnabled(commandId, CurrentContext(session));
}

std::string FolderOf(const std::string& path) {
  std::size_t last = path.size();
  while (last > 0 && !IsPathSeparator(path[last - 1])) --last;
  if (last == 0) return std::string();
  std::string folder = path.substr(0, last - 1);
  // "C:" and "" are roots: they keep their separator.
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += path[last - 1];
  return folder;
}

std::optional<std::string> ChooseOutputFile(AppSession& session, Desktop& desktop, bool askBeforeOverwrite) {
  FileDialogRequest request;
  if (session.Japanese) request.Title = std::string(Text(TextId::SaveFileTitle, true));
  request.FilterName = "pdf(*.pdf)";
  request.FilterPattern = "*.pdf";
  request.DefaultExtension = "pdf";
  request.InitialFolder = session.Settings.OutputFolder;
  request.AskBeforeOverwrite = askBeforeOverwrite;
  std::optional<std::string> chosen = desktop.ChooseSaveFile(request);
  if (chosen && !chosen->empty()) {
    session.Settings.OutputFolder = FolderOf(*chosen);
    return chosen;
  }
  return std::nullopt;
}

void PrepareEngineState(const AppSession& session, EngineState& state) {
  state.Settings = session.Settings.Output;
  state.SecurityJobState.FileBackUp = session.Settings.FileBackUp;
  state.SecurityJobState.RememberedPassword = session.Passwords.RememberedPassword;
  state.SecurityJobState.OwnerPassword = session.Passwords.RememberedPassword;
}

JobOutcome RunJobBehindProgress(AppSession& session, Desktop& desktop, EngineState& state, const JobRun& run) {
  JobOutcome outcome;
  std::optional<std::string> typed;
  JobRequest request;
  request.JobKind = run.JobKind;
  request.OperationWord = run.OperationWord;
  request.Title = std::string(Text(run.Title, session.Japanese));
  request.PasswordQuestion = run.PasswordQuestion;
  const bool japanese = session.Japanese;
  request.Run = [&state, &run, &outcome, &typed, japanese](JobControl& control) {
    control.Japanese = japanese;
    std::function<bool(std::string&)> ask = std::move(control.PasswordPrompt);
    control.PasswordPrompt = [&typed, ask](std::string& password) {
      if (!ask || !ask(password)) return false;
      typed = password;
      return true;
    };
    state.Control = &control;
    const int result = run.Driver(state);
    outcome.Cancelled = control.Cancelled();
    state.Control = nullptr;
    return result;
  };
  outcome.Result = desktop.RunJob(request);
  session.Passwords.RememberedPassword = state.SecurityJobState.RememberedPassword;
  if (typed) session.Passwords.OwnerPassword = *typed;
  return outcome;
}

void ShowJobMessage(Desktop& desktop, const std::string& text, MessageIcon icon) {
  MessageRequest request;
  request.Text = text;
  request.Icon = icon;
  desktop.ShowMessage(request);
}

void FinishOperation(const AppSession& session, Desktop& desktop) {
  ShowListChange(session, desktop);
  desktop.FocusList();
}

void RecountRow(AppSession& session, Desktop& desktop, ListEntry& row) {
  desktop.SetWaitCursor(true);
  const PageCount count = session.Counter(row.Path);
  desktop.SetWaitCursor(false);
  ApplyPageCount(row, count, session.Japanese);
}

void SelectAndFocus(FileList& list, int row) {
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    list.Rows[i].Selected = static_cast<int>(i) == row;
    list.Rows[i].Focused = static_cast<int>(i) == row;
  }
}

}  // namespace folvex
