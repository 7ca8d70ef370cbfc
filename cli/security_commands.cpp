#include "cli/security_commands.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "app/jobs/output_names.h"
#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "engine/security/security_jobs.h"

namespace folvex::cli {

namespace {

enum class Operation { Protect, Unprotect };

int PermissionBit(const std::string& word) {
  if (word == "print") return 1;
  if (word == "modify") return 2;
  if (word == "copy") return 4;
  if (word == "annotate") return 8;
  return 0;
}

// The outcome of one file in the words of the job's one-file message.
TextId OutcomeText(Operation operation, int result) {
  const bool protect = operation == Operation::Protect;
  switch (result) {
    case kSecurityDone:
      return protect ? TextId::SetSecurityDone : TextId::RemoveSecurityDone;
    case kSecurityWrongState:
      return protect ? TextId::SetSecurityEncrypted : TextId::RemoveSecurityNotEncrypted;
    case kSecurityInputMissing:
      return TextId::SecurityNotFound;
    case kSecurityOutputFailed:
      return TextId::SecurityNotSaved;
    case kSecurityNotPermitted:
      if (!protect) return TextId::RemoveSecurityNotPermitted;
      break;
    case kSecurityNotHandled:
      return protect ? TextId::SetSecurityCanceled : TextId::RemoveSecurityCanceled;
    default:
      break;
  }
  return protect ? TextId::SetSecurityFailed : TextId::RemoveSecurityFailed;
}

// The job's closing message: singular for one file, plural for several.
TextId JobText(Operation operation, int result, bool several) {
  const bool protect = operation == Operation::Protect;
  switch (result) {
    case kSecurityDone:
      return protect ? TextId::SetSecurityDone : TextId::RemoveSecurityDone;
    case kSecurityJobCancelled:
      return protect ? TextId::SetSecurityCanceled : TextId::RemoveSecurityCanceled;
    case kSecurityWrongState:
      if (protect) return several ? TextId::SetSecurityEncryptedSome : TextId::SetSecurityEncrypted;
      return several ? TextId::RemoveSecurityNotEncryptedSome : TextId::RemoveSecurityNotEncrypted;
    case kSecurityInputMissing:
      return several ? TextId::SecurityNotFoundSome : TextId::SecurityNotFound;
    case kSecurityOutputFailed:
      return several ? TextId::SecurityNotSavedSome : TextId::SecurityNotSaved;
    case kSecurityNotPermitted:
      if (!protect) return several ? TextId::RemoveSecurityNotPermittedSome : TextId::RemoveSecurityNotPermitted;
      break;
    default:
      break;
  }
  if (protect) return several ? TextId::SetSecurityFailedSome : TextId::SetSecurityFailed;
  return several ? TextId::RemoveSecurityFailedSome : TextId::RemoveSecurityFailed;
}

std::optional<TextId> RefusalText(SecurityRefusal refusal) {
  switch (refusal) {
    case SecurityRefusal::Unreadable: return TextId::CliRefusedUnreadable;
    case SecurityRefusal::NotStandard: return TextId::CliRefusedNotStandard;
    case SecurityRefusal::Aes: return TextId::CliRefusedCryptFilter;
    case SecurityRefusal::Version:
    case SecurityRefusal::Revision: return TextId::CliRefusedRevision;
    case SecurityRefusal::XrefStreams: return TextId::CliRefusedXrefStreams;
    case SecurityRefusal::None: break;
  }
  return std::nullopt;
}

int ExitStatusOf(int result) {
  switch (result) {
    case kSecurityDone: return kExitSuccess;
    case kSecurityJobCancelled: return kExitCancelled;
    case kSecurityPasswordFailed: return kExitPassword;
    case kSecurityWrongState: return kExitWrongProtection;
    case kSecurityInputMissing: return kExitNotFound;
    case kSecurityOutputFailed: return kExitOutput;
    case kSecurityNotPermitted: return kExitNotPermitted;
    case kSecurityUnsupported:
    case kSecurityFailed: return kExitUnreadable;
    default: return kExitInternal;
  }
}

int RunSecurityJob(Operation operation, const SecurityCommandOptions& options, EngineState& state, bool passwordGiven,
                   bool japanese, std::ostream& out, std::ostream& err) {
  const char* suffix = operation == Operation::Protect ? "-s.pdf" : "-r.pdf";
  std::vector<SecurityFileRecord> records;
  for (const std::string& input : options.Inputs) {
    SecurityFileRecord& record = records.emplace_back();
    record.InputPath = input;
    record.OutputPath = SecurityOutputPath(input, options.Output.OutputDir, suffix);
  }
  state.SecurityJobState.FileBackUp = options.Output.Backup;

  JobControl control;
  control.Japanese = japanese;
  state.Control = &control;
  bool noTerminal = false;
  control.PasswordPrompt = [&](std::string& password) {
    std::string typed;
    if (!PromptPassword(std::string(Text(TextId::CliPasswordPrompt, japanese)), typed)) {
      noTerminal = true;
      return false;
    }
    password = PasswordBytes(typed);
    return true;
  };
  int result = 0;
  {
    ConsoleJob console(control, options.Output.Quiet);
    result = operation == Operation::Protect ? ProtectFiles(state, records) : UnprotectFiles(state, records);
  }
  state.Control = nullptr;

  int status = kExitSuccess;
  bool askedForPassword = false;
  for (const SecurityFileRecord& record : records) {
    out << record.InputPath << '\t' << Text(OutcomeText(operation, record.Result), japanese);
    if (record.Result == kSecurityDone) out << '\t' << record.OutputPath;
    out << '\n';
    if (record.Result == kSecurityUnsupported) {
      if (std::optional<TextId> why = RefusalText(record.Refusal)) err << record.InputPath << ": " << Text(*why, japanese) << '\n';
    }
    if (!record.CollidesWith.empty()) {
      err << record.InputPath << ": " << Text(TextId::CliWouldReplace, japanese) << "\n  " << record.Colliding << "\n  "
          << record.CollidesWith << '\n';
    }
    if (record.ReadBackFailed) err << record.InputPath << ": " << Text(TextId::CliReadBackFailed, japanese) << '\n';
    if (record.OutputTooLarge) err << record.InputPath << ": " << Text(TextId::OutputTooLarge, japanese) << '\n';
    if (record.Result == kSecurityPasswordFailed) askedForPassword = true;
    if (record.Result != kSecurityNotHandled) status = std::max(status, ExitStatusOf(record.Result));
  }
  if (result == kSecurityJobCancelled) status = kExitCancelled;
  if (askedForPassword && noTerminal) {
    err << Text(passwordGiven ? TextId::CliWrongPassword : TextId::CliNoPassword, japanese) << '\n';
  }
  if (state.StreamLimitPassed) err << Text(TextId::CliStreamTooLarge, japanese) << '\n';
  if (!options.Output.Quiet) err << Text(JobText(operation, result, records.size() > 1), japanese) << '\n';
  return status;
}

}  // namespace

CLI::App* AddProtectCommand(CLI::App& app, SecurityCommandOptions& options) {
  CLI::App* command = app.add_subcommand("protect", "Write a protected copy NAME-s.pdf of each file");
  command->add_option("INPUT", options.Inputs, "PDF files")->required();
  command->add_option("--user-password", options.UserPassword, "Password that opens the copy (empty: none)");
  command->add_option("--owner-password", options.OwnerPassword, "Password that lifts the restrictions");
  command->add_option("--allow", options.Allow, "What the copy permits: print, modify, copy, annotate")
      ->delimiter(',')
      ->check(CLI::IsMember({"print", "modify", "copy", "annotate"}));
  command->add_flag("--same-passwords-ok", options.SamePasswordsOk, "Protect even when both passwords are equal");
  command->add_flag("--aes256", options.Aes256, "Protect with AES-256 (PDF 2.0, revision 6) instead of RC4 128-bit");
  AddOutputOptions(*command, options.Output);
  return command;
}

CLI::App* AddUnprotectCommand(CLI::App& app, SecurityCommandOptions& options) {
  CLI::App* command = app.add_subcommand("unprotect", "Write an unprotected copy NAME-r.pdf of each protected file");
  command->add_option("INPUT", options.Inputs, "Protected PDF files")->required();
  AddPasswordOptions(*command, options.Password);
  AddOutputOptions(*command, options.Output);
  return command;
}

int RunProtect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err) {
  if (!options.UserPassword.empty() && options.UserPassword == options.OwnerPassword && !options.SamePasswordsOk) {
    err << Text(TextId::SamePasswords, japanese) << '\n' << Text(TextId::CliSamePasswordsRefused, japanese) << '\n';
    return kExitUsage;
  }
  EngineState state;
  // AES-256 passwords are UTF-8 on every system; RC4 passwords are the bytes the desktop program uses.
  state.SecurityJobState.Aes256 = options.Aes256;
  state.SecurityJobState.OpenPassword = options.Aes256 ? options.UserPassword : PasswordBytes(options.UserPassword);
  state.SecurityJobState.OwnerPassword = options.Aes256 ? options.OwnerPassword : PasswordBytes(options.OwnerPassword);
  for (const std::string& word : options.Allow) state.SecurityJobState.PermissionSelection |= PermissionBit(word);
  return RunSecurityJob(Operation::Protect, options, state, true, japanese, out, err);
}

int RunUnprotect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err) {
  EngineState state;
  std::string password;
  const bool havePassword = options.Password.PasswordGiven || !options.Password.PasswordFile.empty();
  if (havePassword) {
    if (ObtainPassword(options.Password, japanese, password) != PasswordResult::Obtained) {
      err << Text(TextId::CliPasswordFileUnreadable, japanese) << '\n';
      return kExitPassword;
    }
    state.SecurityJobState.OwnerPassword = password;
  }
  return RunSecurityJob(Operation::Unprotect, options, state, havePassword, japanese, out, err);
}

}  // namespace folvex::cli
