#include "app/jobs/extract_job.h"

#include "app/session/command_ids.h"
#include "app/jobs/job_preparation.h"
#include "app/jobs/new_file.h"
#include "engine/core/document_texts.h"

namespace folvex {

namespace {

void HandleFailure(AppSession& session, Desktop& desktop, int rowIndex, int result, const EngineState& state) {
  ListEntry& row = session.List.Rows[static_cast<std::size_t>(rowIndex)];
  const bool japanese = session.Japanese;
  std::optional<TextId> message;
  bool commit = false;
  switch (result) {
    case kExtractPageBeyondEnd:
      RecountRow(session, desktop, row);
      commit = true;
      message = TextId::BadPageInput;
      break;
    case kExtractOnePage:
      row.Page = "1";
      commit = true;
      message = TextId::OnlyOnePage;
      break;
    case kExtractFailed:
      if (state.LastErrorCode == -1000) {
        row.Icon = kIconEncrypted;
        row.Page = std::string(Text(TextId::PageEncrypted, japanese));
        commit = true;
        message = TextId::FileEncrypted;
      } else if (state.LastErrorCode == kOutputTooLarge) {
        message = TextId::OutputTooLarge;
      } else {
        message = state.EncryptRef ? TextId::FileEncrypted : TextId::ExtractFailed;
      }
      break;
    case kExtractInputMissing:
      row.Icon = kIconNotFound;
      row.Page = std::string(Text(TextId::PageNotFound, japanese));
      commit = session.Settings.OrgFileDelete || session.Settings.NewFileRecord;
      message = TextId::FileNotFound;
      break;
    case kExtractOutputFailed:
      message = TextId::CannotSave;
      break;
    case kExtractPasswordFailed:
      message = TextId::ExtractFailed;
      break;
    case kExtractNotPermitted:
      RecountRow(session, desktop, row);
      commit = true;
      message = TextId::ExtractNotPermitted;
      break;
    default:  // cancelled
      break;
  }
  if (commit) CommitStep(session.Undo, kCmdExtract);
  if (!message) return;
  std::string text(Text(*message, japanese));
  // The job's own "Bad Page Input" has no quoted text after it.
  if (*message == TextId::BadPageInput) text.erase(text.find_last_not_of(" \n") + 1);
  ShowJobMessage(desktop, text);
}

}  // namespace

void RunExtractJob(AppSession& session, Desktop& desktop, int row, const std::vector<int>& pageIndexList) {
  const std::optional<std::string> output = ChooseOutputFile(session, desktop, true);
  if (!output) {
    FinishOperation(session, desktop);
    return;
  }
  ExtractJob job;
  job.InputPath = session.List.Rows[static_cast<std::size_t>(row)].Path;
  job.OutputPath = *output;
  job.PageIndexList = pageIndexList;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  job.Backup = session.Settings.FileBackUp;

  EngineState state;
  PrepareEngineState(session, state);
  JobRun run;
  run.JobKind = 0;
  run.Title = TextId::ProgressTitleExtract;
  run.OperationWord = "Extract";
  run.Driver = [&session, &job](EngineState& s) { return session.Drivers.Extract(s, job); };
  run.PasswordQuestion = [&job] { return PasswordRequest{PasswordDialogMode::Engine, FileNameOf(job.InputPath)}; };
  const int result = RunJobBehindProgress(session, desktop, state, run).Result;

  if (result == kExtractDone) {
    NewFile file;
    file.Path = job.OutputPath;
    file.PageCount = static_cast<int>(job.PageIndexList.size());
    file.Encrypted = state.SecurityJobState.OutputEncrypted != 0;
    file.DoneText = TextId::ExtractDone;
    TakeNewFile(session, desktop, {row}, file, kCmdExtract);
  } else {
    HandleFailure(session, desktop, row, result, state);
  }
  FinishOperation(session, desktop);
}

}  // namespace folvex
