#include "cli/security_commands.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "app/jobs/output_names.h"
#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "cli/failures.h"
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

// Why one file failed.
std::string ReasonOf(Operation operation, const SecurityFileRecord& record, const EngineState& state, bool passwordKnown,
                     bool japanese) {
  const bool protect = operation == Operation::Protect;
  const auto text = [japanese](TextId id) { return std::string(Text(id, japanese)); };
  if (record.OutputTooLarge) return OneLine(text(TextId::OutputTooLarge));
  switch (record.Result) {
    case kSecurityWrongState: return text(protect ? TextId::CliReasonProtected : TextId::CliReasonNotProtected);
    case kSecurityInputMissing: return InputReason(record.InputPath);
    case kSecurityOutputFailed:
      if (!record.CollidesWith.empty()) return text(TextId::CliWouldReplace) + " " + record.CollidesWith;
      if (record.ReadBackFailed) return text(TextId::CliReadBackFailed);
      return OutputReason(record.OutputPath, japanese);
    case kSecurityNotPermitted: return text(TextId::CliReasonNoDistinctOwner);
    case kSecurityPasswordFailed: return PasswordReason(record.Password, passwordKnown, !protect, japanese);
    case kSecurityUnsupported:
      if (std::string refusal = RefusalReason(record.Refusal, japanese); !refusal.empty()) return refusal;
      break;
    default: break;
  }
  if (state.StreamLimitPassed) return text(TextId::CliStreamTooLarge);
  return text(TextId::CliReasonNotPdf);
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

// given: unprotect's password from the options (UTF-8), the only one tried; without one, the
// terminal is asked.
int RunSecurityJob(Operation operation, const SecurityCommandOptions& options, EngineState& state,
                   const std::optional<std::string>& given, bool japanese, std::ostream& out, std::ostream& err) {
  const bool passwordGiven = given.has_value();
  if (!options.Output.OutputDir.empty()) {
    if (const std::string reason = FolderReason(options.Output.OutputDir); !reason.empty()) {
      ReportFailure(err, options.Output.OutputDir, TextId::SecurityNotSaved, reason, japanese);
      return kExitOutput;
    }
  }
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
  // The password goes to the handler in the bytes its method takes (see PasswordBytes).
  bool typed = false;
  control.PasswordPrompt = [&](std::string& password) {
    const bool aes256 = state.Security.EncryptRevision >= 5;
    std::string answer;
    if (given) {
      answer = *given;
    } else {
      const PromptResult prompt = PromptPassword(std::string(Text(TextId::CliPasswordPrompt, japanese)), answer);
      if (prompt == PromptResult::Cancelled) control.CancelFlag.store(3);
      if (prompt != PromptResult::Answered) return false;
      typed = true;
    }
    password = PasswordBytes(answer, aes256);
    return true;
  };
  int result = 0;
  {
    ConsoleJob console(control, options.Output.Quiet);
    result = operation == Operation::Protect ? ProtectFiles(state, records) : UnprotectFiles(state, records);
  }
  state.Control = nullptr;

  int status = kExitSuccess;
  for (const SecurityFileRecord& record : records) {
    if (record.Result == kSecurityDone) {
      out << record.InputPath << '\t' << Text(OutcomeText(operation, record.Result), japanese) << '\t' << record.OutputPath << '\n';
    }
    if (record.Result == kSecurityDone || record.Result == kSecurityNotHandled) continue;
    const std::string& path = record.CollidesWith.empty() ? record.InputPath : record.Colliding;
    ReportFailure(err, path, OutcomeText(operation, record.Result),
                  ReasonOf(operation, record, state, passwordGiven || typed, japanese), japanese);
    status = std::max(status, record.OutputTooLarge ? kExitOutput : ExitStatusOf(record.Result));
  }
  out.flush();
  if (result == kSecurityJobCancelled) {
    const auto unhandled = std::find_if(records.begin(), records.end(),
                                        [](const SecurityFileRecord& r) { return r.Result == kSecurityNotHandled; });
    const TextId cancelled = operation == Operation::Protect ? TextId::SetSecurityCanceled : TextId::RemoveSecurityCanceled;
    ReportFailure(err, unhandled == records.end() ? records.back().InputPath : unhandled->InputPath, cancelled,
                  Text(TextId::CliReasonCancelled, japanese), japanese);
    status = kExitCancelled;
  } else if (status == kExitSuccess && !options.Output.Quiet) {
    err << Text(operation == Operation::Protect ? TextId::SetSecurityDone : TextId::RemoveSecurityDone, japanese) << '\n';
  }
  return status;
}

}  // namespace

CLI::App* AddProtectCommand(CLI::App& app, SecurityCommandOptions& options) {
  CLI::App* command = app.add_subcommand("protect", "Write a protected copy NAME-s.pdf of each file");
  command->add_option("INPUT", options.Inputs, "PDF files")->required();
  command->add_option("--user-password", options.UserPassword, "Password that opens the copy (empty: none)");
  command->add_option("--user-password-file", options.UserPasswordFile, "File whose first line is the user password (-: standard input)");
  command->add_option("--owner-password", options.OwnerPassword,
                      "Password that lifts the restrictions (asked twice on a terminal when not given)");
  command->add_option("--owner-password-file", options.OwnerPasswordFile, "File whose first line is the owner password (-: standard input)");
  command->add_option("--allow", options.Allow, "What the copy permits: print, modify, copy, annotate")
      ->delimiter(',')
      ->check(CLI::IsMember({"print", "modify", "copy", "annotate"}));
  command->add_flag("--same-passwords-ok", options.SamePasswordsOk, "Protect even when both passwords are equal");
  CLI::Option* rc4 = command->add_flag("--rc4", options.Rc4, "Protect with RC4 128-bit (revision 3) instead of AES-256");
  command->add_flag("--aes256", options.Aes256, "Protect with AES-256 (revision 6; the default)")->excludes(rc4);
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

namespace {

// A new password from its option, from the first line of its file, or (asked) twice from the
// terminal. Returns kExitSuccess with password set (nullopt: none given and not asked), or the
// failure's status after its line.
int NewPassword(const std::optional<std::string>& option, const std::string& file, const char* fileOption, TextId prompt,
                bool ask, bool japanese, std::optional<std::string>& password, std::ostream& err) {
  password = option;
  if (password || file.empty()) {
    if (password || !ask) return kExitSuccess;
    std::string typed;
    bool mismatch = false;
    switch (PromptNewPassword(std::string(Text(prompt, japanese)), japanese, typed, mismatch)) {
      case PromptResult::Cancelled:
        ReportFailure(err, fileOption, TextId::SetSecurityCanceled, Text(TextId::CliReasonCancelled, japanese), japanese);
        return kExitCancelled;
      case PromptResult::NoTerminal: return kExitSuccess;
      case PromptResult::Answered: break;
    }
    if (mismatch) {
      ReportFailure(err, fileOption, TextId::SetSecurityFailed, Text(TextId::CliReasonPromptsDiffer, japanese), japanese);
      return kExitUsage;
    }
    password = typed;
    return kExitSuccess;
  }
  std::string line;
  if (!ReadFirstLine(file, line)) {
    ReportFailure(err, file, TextId::CliPasswordFileUnreadable, InputReason(file), japanese);
    return kExitNotFound;
  }
  password = line;
  return kExitSuccess;
}

}  // namespace

int RunProtect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err) {
  std::optional<std::string> user, owner;
  if (int status = NewPassword(options.UserPassword, options.UserPasswordFile, "--user-password", TextId::CliUserPasswordPrompt,
                               false, japanese, user, err); status != kExitSuccess) {
    return status;
  }
  if (int status = NewPassword(options.OwnerPassword, options.OwnerPasswordFile, "--owner-password",
                               TextId::CliOwnerPasswordPrompt, true, japanese, owner, err); status != kExitSuccess) {
    return status;
  }
  const std::string userText = user.value_or(""), ownerText = owner.value_or("");
  // Without an owner password of its own a copy's restrictions bind no one.
  if (ownerText.empty()) {
    ReportFailure(err, "--owner-password", TextId::SetSecurityFailed, Text(TextId::CliReasonEmptyOwner, japanese), japanese);
    return kExitUsage;
  }
  if (userText == ownerText && !options.SamePasswordsOk) {
    ReportFailure(err, "--owner-password", TextId::SamePasswords, Text(TextId::CliSamePasswordsRefused, japanese), japanese);
    return kExitUsage;
  }
  EngineState state;
  // AES-256 passwords are UTF-8 on every system; RC4 passwords are the bytes the desktop program uses.
  state.SecurityJobState.Aes256 = !options.Rc4;
  state.SecurityJobState.OpenPassword = PasswordBytes(userText, !options.Rc4);
  state.SecurityJobState.OwnerPassword = PasswordBytes(ownerText, !options.Rc4);
  for (const std::string& word : options.Allow) state.SecurityJobState.PermissionSelection |= PermissionBit(word);
  return RunSecurityJob(Operation::Protect, options, state, std::nullopt, japanese, out, err);
}

int RunUnprotect(const SecurityCommandOptions& options, bool japanese, std::ostream& out, std::ostream& err) {
  EngineState state;
  if (!PasswordFileOpens(options.Password, japanese, err)) return kExitNotFound;
  std::optional<std::string> given;
  if (options.Password.PasswordGiven || !options.Password.PasswordFile.empty()) {
    std::string password;
    if (ObtainPassword(options.Password, japanese, password) != PasswordResult::Obtained) {
      ReportFailure(err, options.Password.PasswordFile, TextId::CliPasswordFileUnreadable,
                    InputReason(options.Password.PasswordFile), japanese);
      return kExitNotFound;
    }
    given = password;
  }
  return RunSecurityJob(Operation::Unprotect, options, state, given, japanese, out, err);
}

}  // namespace folvex::cli
