// What a command-line job shares with the terminal: the password sources, the progress bar on
// stderr and Ctrl+C as the cancel button.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "engine/core/job_control.h"

namespace folvex::cli {

struct PasswordOptions {
  std::string Password;
  std::string PasswordFile;
  bool PasswordGiven = false;
};

// Adds --password and --password-file to command.
void AddPasswordOptions(CLI::App& command, PasswordOptions& options);

// Where a command writes and how much it says.
struct OutputOptions {
  std::string OutputDir;  // empty: beside each input
  bool Backup = false;    // keep an existing output as NAME.bak
  bool Quiet = false;     // no progress bar and no closing message
};

// Adds --output-dir, --backup and --quiet to command.
void AddOutputOptions(CLI::App& command, OutputOptions& options);

// False, after a failure line, when --password-file names a file that cannot be opened.
bool PasswordFileOpens(const PasswordOptions& options, bool japanese, std::ostream& err);

enum class PasswordResult { Obtained, NoSource, Unreadable };

// The password from --password, the first line of --password-file, or a prompt without echo when
// standard input is a terminal. On Windows the text is brought into the ANSI code page, the bytes
// the desktop program's dialogs give.
PasswordResult ObtainPassword(const PasswordOptions& options, bool japanese, std::string& password);

// Asks on the terminal without echo. Returns false when standard input is not a terminal.
bool PromptPassword(const std::string& prompt, std::string& password);

// While it lives: a progress bar on stderr (when stderr is a terminal and not quiet) fed by the
// job's progress reports, and Ctrl+C setting the job's CancelFlag instead of ending the program.
class ConsoleJob {
 public:
  ConsoleJob(JobControl& control, bool quiet);
  ~ConsoleJob();
  ConsoleJob(const ConsoleJob&) = delete;
  ConsoleJob& operator=(const ConsoleJob&) = delete;

 private:
  bool DrawsBar = false;
  void (*PreviousInterrupt)(int) = nullptr;
};

// Puts back the terminal's echo when a password prompt was interrupted. Safe in a signal handler.
void RestoreTerminal();

// The password text in the bytes the security handler pads: as typed on Linux, the ANSI code page
// on Windows.
std::string PasswordBytes(const std::string& utf8);

}  // namespace folvex::cli
