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

// After an output failure of extract or merge: why the new file is not there.
std::string OutputFailureReason(const EngineState& state, const std::string& output, bool japanese);

// A job run from the terminal. The password prompt gives --password / --password-file first,
// then asks on the terminal when there is one.
class JobRun {
 public:
  JobRun(EngineState& state, const PasswordOptions& password, bool japanese, bool quiet);
  ~JobRun();
  JobRun(const JobRun&) = delete;
  JobRun& operator=(const JobRun&) = delete;

  int Run(const std::function<int()>& job);
  // Turns the engine's progress labels into the ones the bar shows.
  std::function<std::string(const std::string&)> Relabel;
  // Whether Ctrl+C ended the job (also at a password prompt).
  bool Cancelled() const { return Control.Cancelled(); }
  // After a password failure: why no password could be used.
  std::string PasswordFailureReason() const;

 private:
  EngineState& State;
  JobControl Control;
  bool Japanese;
  bool Quiet;
  bool PasswordGiven = false;
  bool PasswordUsed = false;
  bool PasswordTyped = false;
  std::string Password;
};

}  // namespace folvex::cli
