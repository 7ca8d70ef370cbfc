// `folvex extract INPUT RANGES -o OUTPUT`: chosen pages of one file, in the chosen order.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "cli/console_job.h"
#include "cli/output_setting_options.h"

namespace folvex::cli {

struct ExtractCommandOptions {
  std::string Input;
  std::string Ranges;
  std::string Output;
  PasswordOptions Password;
  OutputSettingOptions Settings;
  bool Backup = false;
  bool Quiet = false;
};

CLI::App* AddExtractCommand(CLI::App& app, ExtractCommandOptions& options);

// Runs the job; messages go to err. Returns the exit status.
int RunExtractCommand(const ExtractCommandOptions& options, bool japanese, std::ostream& err);

}  // namespace folvex::cli
