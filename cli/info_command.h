// `folvex info FILE...`: each file's page count, or why there is none; `--json` for scripts.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"

namespace folvex::cli {

struct InfoCommandOptions {
  std::vector<std::string> Files;
  bool Json = false;
  PasswordOptions Password;  // opens protected files whose pages cannot be counted without it
};

CLI::App* AddInfoCommand(CLI::App& app, InfoCommandOptions& options);

// Prints one line per file: its Page text, a tab, the path; or, with Json, one JSON array of one
// object per file. Returns the exit status.
int RunInfo(const InfoCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err);

}  // namespace folvex::cli
