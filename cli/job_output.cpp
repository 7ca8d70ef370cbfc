#include "cli/job_output.h"

#include "app/text/texts.h"
#include "cli/failures.h"
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
  ReportFailure(err, written, TextId::CannotSave, std::string(Text(TextId::CliWouldReplace, japanese)) + " " + input,
                japanese);
  return true;
}

std::string OutputFailureReason(const EngineState& state, const std::string& output, bool japanese) {
  if (IsReadBackFailure(state.LastErrorCode)) return std::string(Text(TextId::CliReadBackFailed, japanese));
  return OutputReason(output, japanese);
}

JobRun::JobRun(EngineState& state, const PasswordOptions& password, bool japanese, bool quiet)
    : State(state), Japanese(japanese), Quiet(quiet) {
  Control.Japanese = japanese;
  State.Control = &Control;
  PasswordGiven = password.PasswordGiven || !password.PasswordFile.empty();
  if (PasswordGiven && ObtainPassword(password, japanese, Password) != PasswordResult::Obtained) Password.clear();
  Control.PasswordPrompt = [this](std::string& answer) {
    const bool aes256 = State.Security.EncryptRevision >= 5;
    if (PasswordGiven) {
      if (PasswordUsed) return false;
      PasswordUsed = true;
      answer = PasswordBytes(Password, aes256);
      return true;
    }
    std::string typed;
    const PromptResult prompt = PromptPassword(std::string(Text(TextId::CliPasswordPrompt, Japanese)), typed);
    if (prompt == PromptResult::Cancelled) Control.CancelFlag.store(3);
    if (prompt != PromptResult::Answered) return false;
    answer = PasswordBytes(typed, aes256);
    PasswordTyped = true;
    return true;
  };
}

JobRun::~JobRun() { State.Control = nullptr; }

int JobRun::Run(const std::function<int()>& job) {
  ConsoleJob console(Control, Quiet, Relabel);
  return job();
}

std::string JobRun::PasswordFailureReason() const {
  return PasswordReason(State.SecurityJobState.LastPasswordFailure, PasswordGiven || PasswordTyped, false, Japanese);
}

}  // namespace folvex::cli
