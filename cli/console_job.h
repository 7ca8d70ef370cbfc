// What a command-line job shares with the terminal: the password sources, the progress bar on
// stderr and Ctrl+C as the cancel button.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

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
  bool Quiet = false;     // no progress bar and no closing message (the global --quiet)
};

// Adds --output-dir and --backup to command.
void AddOutputOptions(CLI::App& command, OutputOptions& options);

// False, after a failure line, when --password-file names a file that cannot be opened.
bool PasswordFileOpens(const PasswordOptions& options, bool japanese, std::ostream& err);

// The first line of path, or of standard input for "-". False when the file does not open.
bool ReadFirstLine(const std::string& path, std::string& line);

enum class PasswordResult { Obtained, NoSource, Unreadable, Cancelled };

// The password from --password, the first line of --password-file (standard input for "-"), or a
// prompt without echo when standard input is a terminal. The text is UTF-8 as typed; PasswordFor
// makes the bytes the security handler takes.
PasswordResult ObtainPassword(const PasswordOptions& options, bool japanese, std::string& password);

enum class PromptResult { Answered, NoTerminal, Cancelled };

// Asks on the terminal without echo. Ctrl+C ends the prompt at once (Cancelled) and sets the
// CancelFlag of a living ConsoleJob.
PromptResult PromptPassword(const std::string& prompt, std::string& password);

// Asks twice; Answered only when both answers match (mismatch is false).
PromptResult PromptNewPassword(const std::string& prompt, bool japanese, std::string& password, bool& mismatch);

// While it lives: a progress bar on stderr (when stderr is a terminal and not quiet) fed by the
// job's progress reports, and Ctrl+C setting the job's CancelFlag instead of ending the program.
// The bar is redrawn at most ten times a second, as wide as the terminal (COLUMNS when the width
// cannot be asked).
class ConsoleJob {
 public:
  // relabel, when given, turns the engine's progress label into the one shown.
  ConsoleJob(JobControl& control, bool quiet, std::function<std::string(const std::string&)> relabel = {});
  ~ConsoleJob();
  ConsoleJob(const ConsoleJob&) = delete;
  ConsoleJob& operator=(const ConsoleJob&) = delete;

 private:
  void Draw(int percent, const std::string& label);

  JobControl& Control;
  bool DrawsBar = false;
  std::function<std::string(const std::string&)> Relabel;
  std::chrono::steady_clock::time_point LastDraw{};
  bool Drawn = false;
  void (*PreviousInterrupt)(int) = nullptr;
};

// The progress line for a terminal columns wide: a bar (when there is room), the percentage and
// the label, cut at a character to leave the last column free and padded with spaces to it.
std::string ProgressLine(int percent, std::string_view label, int columns);

// Puts back the terminal's echo when a password prompt was interrupted. Safe in a signal handler.
void RestoreTerminal();

// The password text in the bytes the security handler pads: as typed on Linux; on Windows, the
// ANSI code page bytes (the desktop program's dialogs give them) for RC4 and AES-128, UTF-8 for
// AES-256 (revisions 5 and 6), whose passwords are Unicode text.
std::string PasswordBytes(const std::string& utf8, bool aes256);

}  // namespace folvex::cli
