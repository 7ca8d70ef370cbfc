// `folvex merge INPUT [--pages RANGES]... -o OUTPUT`: several files, or chosen pages of them, joined
// in the given order.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"
#include "cli/output_setting_options.h"

namespace folvex::cli {

struct MergeCommandOptions {
  std::vector<std::string> Inputs;
  std::vector<std::string> Pages;       // each --pages as given
  std::vector<std::string> InputPages;  // per input: the --pages after it, or empty for every page
  std::string Output;
  PasswordOptions Password;
  OutputSettingOptions Settings;
  bool Backup = false;
  bool Quiet = false;
};

CLI::App* AddMergeCommand(CLI::App& app, MergeCommandOptions& options);

// Runs the job; messages go to err. Returns the exit status.
int RunMergeCommand(const MergeCommandOptions& options, bool japanese, std::ostream& err);

}  // namespace folvex::cli
