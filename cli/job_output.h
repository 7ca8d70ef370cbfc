// What the extract and merge commands share: the output checks, the backup of an existing
// output, and a job run with its progress bar, Ctrl+C and password prompt.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"
#include "engine/core/engine_state.h"

namespace folvex::cli {

// True when output names the same file as one of inputs.
bool IsOneOfTheInputs(const std::string& output, const std::vector<std::string>& inputs);

// An existing output moved to its backup name (NAME.bak) before the job.
struct Backup {
  bool Made = false;
  std::string Path;
};
Backup MakeBackup(const std::string& output, bool wanted);
// After a failed job: the new output (if any) goes and the backup takes the output's name again.
void RestoreBackup(const Backup& backup, const std::string& output);

// A job run from the terminal. The password prompt gives --password / --password-file first,
// then asks on the terminal when there is one.
class JobRun {
 public:
  JobRun(EngineState& state, const PasswordOptions& password, bool japanese, bool quiet);
  ~JobRun();
  JobRun(const JobRun&) = delete;
  JobRun& operator=(const JobRun&) = delete;

  int Run(const std::function<int()>& job);
  // After a password failure: why no password could be used, when that is the reason.
  void ExplainPasswordFailure(std::ostream& err) const;

 private:
  EngineState& State;
  JobControl Control;
  bool Japanese;
  bool Quiet;
  bool PasswordGiven = false;
  bool PasswordUsed = false;
  bool NoTerminal = false;
  std::string Password;
};

}  // namespace folvex::cli
