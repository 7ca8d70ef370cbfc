// `folvex split INPUT [RANGES] [--output-dir DIR]`: each chosen page as a file of its own.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "cli/console_job.h"
#include "cli/output_setting_options.h"

namespace folvex::cli {

struct SplitCommandOptions {
  std::string Input;
  std::string Ranges;  // empty: every page
  PasswordOptions Password;
  OutputSettingOptions Settings;
  OutputOptions Output;
};

CLI::App* AddSplitCommand(CLI::App& app, SplitCommandOptions& options);

// Runs the split; messages go to err. Returns the exit status.
int RunSplitCommand(const SplitCommandOptions& options, bool japanese, std::ostream& err);

}  // namespace folvex::cli
