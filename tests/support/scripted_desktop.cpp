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

}  // namespace

MessageAnswer ScriptedDesktop::ShowMessage(const MessageRequest& request) {
  Messages.push_back(request);
  if (MessageAnswers.empty()) {
    if (request.Buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    Unscripted.push_back("ShowMessage");
    return request.Buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
  }
  const MessageAnswer answer = MessageAnswers.front();
  MessageAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDesktop::ChooseSaveFile(const FileDialogRequest& request) {
  SaveFileRequests.push_back(request);
  return Next(SaveFileAnswers, Unscripted, "ChooseSaveFile");
}

std::optional<std::string> ScriptedDesktop::AskPageRanges() { return Next(PageRangeAnswers, Unscripted, "AskPageRanges"); }

bool ScriptedDesktop::EditSecurity(SecurityDialogValues& values) {
  std::optional<SecurityDialogValues> answer = Next(SecurityAnswers, Unscripted, "EditSecurity");
  if (answer) values = *answer;
  return answer.has_value();
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

bool ScriptedDesktop::ShellOpen(const std::string& path) {
  ShellOpened.push_back(path);
  return true;
}

bool ScriptedDesktop::ShellLaunch(const std::string& program, const std::string& parameters) {
  ShellLaunched.emplace_back(program, parameters);
  if (ShellLaunchResults.empty()) return true;
  const bool result = ShellLaunchResults.front();
  ShellLaunchResults.pop_front();
  return result;
}

int ScriptedDesktop::RunJob(const JobRequest& request) {
  Jobs.push_back(request);
  JobControl control;
  // The driver runs on the worker thread while this thread waits, as behind the modal dialog.
  control.PasswordPrompt = [this, &request](std::string& password) {
    std::optional<std::string> answer =
        AskPassword(request.PasswordQuestion ? request.PasswordQuestion() : PasswordRequest{});
    if (answer) password = *answer;
    return answer.has_value();
  };
  return RunJobOnWorker(request, control);
}

std::vector<std::string> ScriptedDesktop::MessageTexts() const {
  std::vector<std::string> texts;
  for (const MessageRequest& message : Messages) texts.push_back(message.Text);
  return texts;
}

}  // namespace folvex::testing
