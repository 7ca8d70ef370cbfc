#include "cli/job_output.h"

#include "app/text/texts.h"
#include "engine/assembly/document_skeleton.h"
#include "engine/core/output_file.h"

namespace folvex::cli {

bool RefuseOutputReplacingInput(const std::string& output, bool backup, const std::vector<std::string>& inputs,
                                bool japanese, std::ostream& err) {
  std::string written = output;
  std::string input = OutputReplacingAnInput(output, false, inputs);
  if (input.empty() && backup) {
    written = BackupName(output);
    input = OutputReplacingAnInput(written, false, inputs);
  }
  if (input.empty()) return false;
  err << Text(TextId::CliWouldReplace, japanese) << "\n  " << written << "\n  " << input << '\n';
  return true;
}

void ExplainReadFailure(const EngineState& state, bool japanese, std::ostream& err) {
  if (state.StreamLimitPassed) err << Text(TextId::CliStreamTooLarge, japanese) << '\n';
  if (state.LastErrorCode == kOutputTooLarge) err << Text(TextId::OutputTooLarge, japanese) << '\n';
}

void ExplainOutputFailure(const EngineState& state, bool japanese, std::ostream& err) {
  if (IsReadBackFailure(state.LastErrorCode)) err << Text(TextId::CliReadBackFailed, japanese) << '\n';
}

JobRun::JobRun(EngineState& state, const PasswordOptions& password, bool japanese, bool quiet)
    : State(state), Japanese(japanese), Quiet(quiet) {
  Control.Japanese = japanese;
  State.Control = &Control;
  PasswordGiven = password.PasswordGiven || !password.PasswordFile.empty();
  if (PasswordGiven && ObtainPassword(password, japanese, Password) != PasswordResult::Obtained) Password.clear();
  Control.PasswordPrompt = [this](std::string& answer) {
    if (PasswordGiven) {
      if (PasswordUsed) return false;
      PasswordUsed = true;
      answer = Password;
      return true;
    }
    std::string typed;
    if (!PromptPassword(std::string(Text(TextId::CliPasswordPrompt, Japanese)), typed)) {
      NoTerminal = true;
      return false;
    }
    answer = PasswordBytes(typed);
    return true;
  };
}

JobRun::~JobRun() { State.Control = nullptr; }

int JobRun::Run(const std::function<int()>& job) {
  ConsoleJob console(Control, Quiet);
  return job();
}

void JobRun::ExplainPasswordFailure(std::ostream& err) const {
  if (PasswordGiven) {
    err << Text(TextId::CliWrongPassword, Japanese) << '\n';
  } else if (NoTerminal) {
    err << Text(TextId::CliNoPassword, Japanese) << '\n';
  }
}

}  // namespace folvex::cli
