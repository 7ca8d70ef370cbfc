#include "cli/job_output.h"

#include "app/text/texts.h"
#include "engine/core/output_file.h"

namespace folvex::cli {

bool IsOneOfTheInputs(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    if (input == output || SameFile(input, output)) return true;
  }
  return false;
}

Backup MakeBackup(const std::string& output, bool wanted) {
  Backup backup;
  if (!wanted || !PathExists(output)) return backup;
  backup.Path = BackupName(output);
  RemovePath(backup.Path);
  backup.Made = RenamePath(output, backup.Path);
  return backup;
}

void RestoreBackup(const Backup& backup, const std::string& output) {
  if (!backup.Made) return;
  RemovePath(output);
  RenamePath(backup.Path, output);
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
