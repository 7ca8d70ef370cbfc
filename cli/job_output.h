// What the extract and merge commands share: the output checks, the output failures' reasons,
// and a job run with its progress bar, Ctrl+C and password prompt.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"
#include "engine/core/engine_state.h"

namespace folvex::cli {

// When output (or, with backup, its backup name) names one of inputs: prints why, naming both
// files, and returns true. Nothing may be written then.
bool RefuseOutputReplacingInput(const std::string& output, bool backup, const std::vector<std::string>& inputs,
                                bool japanese, std::ostream& err);

// After an output failure of extract or merge: why the new file is not there, when that is known
// beyond "Can't Save".
void ExplainOutputFailure(const EngineState& state, bool japanese, std::ostream& err);

// After a job that could not read an input: why, when that is known beyond the job's message.
void ExplainReadFailure(const EngineState& state, bool japanese, std::ostream& err);

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
