// The folvex command: the engine's operations from a terminal.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/extract_command.h"
#include "cli/merge_command.h"
#include "cli/info_command.h"
#include "cli/security_commands.h"
#include "cli/split_command.h"
#include "cli/standard_streams.h"
#include "cli/windows_console.h"
#include "engine/core/open_file.h"
#include "engine/core/termination.h"
#include "cli/console_job.h"
#include "folvex_version.h"

namespace {

int Run(std::vector<std::string> arguments) {
  CLI::App app{"Folvex: extract, merge, split and protect whole PDF files without rendering them.", "folvex"};
  app.footer(folvex::cli::kExitCodeHelp);
  app.require_subcommand(1);
  app.set_version_flag("--version", "folvex " FOLVEX_VERSION, "Print the version and exit");
  // Options are written with dashes on every system, so a path such as /tmp/a.pdf stays a path.
  app.allow_windows_style_options(false);
  std::string language = "en";
  app.add_option("--lang", language, "Language of messages and list texts")
      ->check(CLI::IsMember({"en", "ja"}))
      ->capture_default_str();

  folvex::cli::InfoCommandOptions infoOptions;
  CLI::App* info = folvex::cli::AddInfoCommand(app, infoOptions);

  folvex::cli::ExtractCommandOptions extractOptions;
  CLI::App* extract = folvex::cli::AddExtractCommand(app, extractOptions);

  folvex::cli::MergeCommandOptions mergeOptions;
  CLI::App* merge = folvex::cli::AddMergeCommand(app, mergeOptions);

  folvex::cli::SecurityCommandOptions protectOptions;
  CLI::App* protect = folvex::cli::AddProtectCommand(app, protectOptions);
  folvex::cli::SecurityCommandOptions unprotectOptions;
  CLI::App* unprotect = folvex::cli::AddUnprotectCommand(app, unprotectOptions);

  folvex::cli::SplitCommandOptions splitOptions;
  CLI::App* split = folvex::cli::AddSplitCommand(app, splitOptions);

  try {
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? folvex::cli::kExitSuccess : folvex::cli::kExitUsage;
  }
  // A signal or a closed console removes what is half-written and gives the terminal its echo back.
  folvex::CleanUpOnTermination([] {
    folvex::cli::RemoveStreamFilesNow();
    folvex::cli::RestoreTerminal();
  });
  bool japanese = language == "ja";
  if (info->parsed()) return folvex::cli::RunInfo(infoOptions, japanese, std::cout, std::cerr);
  if (extract->parsed()) return folvex::cli::RunExtractCommand(extractOptions, japanese, std::cerr);
  if (merge->parsed()) return folvex::cli::RunMergeCommand(mergeOptions, japanese, std::cerr);
  if (protect->parsed()) return folvex::cli::RunProtect(protectOptions, japanese, std::cout, std::cerr);
  if (split->parsed()) return folvex::cli::RunSplitCommand(splitOptions, japanese, std::cerr);
  if (unprotect->parsed()) return folvex::cli::RunUnprotect(unprotectOptions, japanese, std::cout, std::cerr);
  return folvex::cli::kExitUsage;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  folvex::cli::UseConsoleText();
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(folvex::WideToUtf8(argv[i]));
  return Run(std::move(arguments));
}
#else
int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
