// `folvex protect` and `folvex unprotect`: protected and unprotected copies of several files.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_job.h"

namespace folvex::cli {

struct SecurityCommandOptions {
  std::vector<std::string> Inputs;
  OutputOptions Output;
  // protect
  std::optional<std::string> UserPassword;
  std::optional<std::string> OwnerPassword;
  std::string UserPasswordFile;
  std::string OwnerPasswordFile;
  std::vector<std::string> Allow;
  bool SamePasswordsOk = false;
  bool Rc4 = false;     // protect with RC4 128-bit (revision 3) instead of AES-256 (revision 6)
  bool Aes256 = false;  // asked for AES-256, the default anyway
  // unprotect
  PasswordOptions Password;
};

CLI::App* AddProtectCommand(CLI::App& app, SecurityCommandOptions& options);
CLI::App* AddUnprotectCommand(CLI::App& app, SecurityCommandOptions& options);

// Each runs its job and prints a line for each file written (the input, a tab, "Done", a tab, the
// new file) and a failure line on err for each file that failed. Return the exit status.
int RunProtect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err);
int RunUnprotect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err);

}  // namespace folvex::cli
