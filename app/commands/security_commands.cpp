#include "app/commands/security_commands.h"

#include "app/session/command_ids.h"
#include "app/commands/password_dialog.h"
#include "app/commands/security_dialog.h"
#include "app/jobs/job_preparation.h"
#include "app/jobs/security_rows.h"

namespace folvex {

namespace {

// The file whose password the driver asks for: the first one without a result yet.
std::string FileBeingHandled(const std::vector<SecurityFileRecord>& records) {
  for (const SecurityFileRecord& record : records) {
    if (record.Result == kSecurityNotHandled) return record.OutputPath;
  }
  return records.empty() ? std::string() : records.back().OutputPath;
}

void RunSecurityJob(AppSession& session, Desktop& desktop, SecurityOperation operation, const std::vector<int>& rows,
                    SecurityRecords& records, EngineState& state) {
  const bool set = operation == SecurityOperation::Set;
  JobRun run;
  run.JobKind = set ? 2 : 3;
  run.Title = set ? TextId::ProgressTitleEncrypt : TextId::ProgressTitleDecrypt;
  run.OperationWord = set ? "Encrypt" : "Decrypt";
  std::vector<SecurityFileRecord>& driven = records.Records;
  run.Driver = [&session, &driven, set](EngineState& s) {
    return set ? session.Drivers.Protect(s, driven) : session.Drivers.Unprotect(s, driven);
  };
  run.PasswordQuestion = [&driven] {
    return PasswordRequest{PasswordDialogMode::Remove,
                           PasswordDialogFileName(PasswordDialogMode::Remove, FileBeingHandled(driven))};
  };
  JobOutcome outcome;
  if (!driven.empty()) outcome = RunJobBehindProgress(session, desktop, state, run);
  int result = outcome.Result;
  if (result == kSecurityDone && !records.TooLong.empty()) result = kSecurityOutputFailed;

  std::vector<SecurityFileRecord> all = driven;
  all.insert(all.end(), records.TooLong.begin(), records.TooLong.end());
  if (ApplySecurityResults(session, desktop, rows, all, operation)) {
    CommitStep(session.Undo, set ? kCmdSetSecurity : kCmdRemoveSecurity);
  }

  if (outcome.Cancelled) {
    const TextId canceled = set ? TextId::SetSecurityCanceled : TextId::RemoveSecurityCanceled;
    ShowJobMessage(desktop, std::string(Text(canceled, session.Japanese)), MessageIcon::Information);
  } else {
    const TextId text = SecurityResultText(result, operation, rows.size() != 1);
    ShowJobMessage(desktop, std::string(Text(text, session.Japanese)),
                   result == kSecurityDone ? MessageIcon::Information : MessageIcon::Error);
  }
  FinishOperation(session, desktop);
}

}  // namespace

void SetSecurity(AppSession& session, Desktop& desktop) {
  if (!OperationAllowed(session, kCmdSetSecurity)) return;
  if (!AskSecurityInputs(session, desktop)) return;
  EngineState state;
  PrepareEngineState(session, state);
  state.SecurityJobState.OpenPassword = session.Passwords.OpenPassword;
  state.SecurityJobState.OwnerPassword = session.Passwords.OwnerPassword;
  state.SecurityJobState.PermissionSelection = PermissionSelectionOf(session.Settings);

  TakeSnapshot(session.Undo, session.List, kCmdSetSecurity);
  desktop.SetStatusText(std::string());
  const std::vector<int> rows = SecurityInputRows(session.List, SecurityOperation::Set);
  SecurityRecords records = MakeSecurityRecords(session, rows, SecurityOperation::Set);
  RunSecurityJob(session, desktop, SecurityOperation::Set, rows, records, state);
}

void RemoveSecurity(AppSession& session, Desktop& desktop) {
  if (!OperationAllowed(session, kCmdRemoveSecurity)) return;
  TakeSnapshot(session.Undo, session.List, kCmdRemoveSecurity);
  desktop.SetStatusText(std::string());
  const std::vector<int> rows = SecurityInputRows(session.List, SecurityOperation::Remove);
  SecurityRecords records = MakeSecurityRecords(session, rows, SecurityOperation::Remove);

  if (session.Passwords.OwnerPassword.empty()) {
    const std::string first = !records.Records.empty() ? records.Records.front().OutputPath
                                                       : (records.TooLong.empty() ? std::string() : records.TooLong.front().OutputPath);
    const std::optional<std::string> typed = desktop.AskPassword(
        PasswordRequest{PasswordDialogMode::Remove, PasswordDialogFileName(PasswordDialogMode::Remove, first)});
    if (!typed) {
      ShowJobMessage(desktop, std::string(Text(TextId::RemoveSecurityFailed, session.Japanese)),
                     MessageIcon::Information);
      FinishOperation(session, desktop);
      return;
    }
    session.Passwords.OwnerPassword = CutToCharacters(*typed, kMaxPasswordLength);
  }

  EngineState state;
  PrepareEngineState(session, state);
  state.SecurityJobState.OwnerPassword = session.Passwords.OwnerPassword;
  RunSecurityJob(session, desktop, SecurityOperation::Remove, rows, records, state);
}

}  // namespace folvex
