#include "app/jobs/merge_job.h"

#include "app/session/command_ids.h"
#include "app/jobs/job_preparation.h"
#include "app/jobs/new_file.h"
#include "app/model/page_text.h"
#include "engine/core/document_texts.h"

namespace folvex {

namespace {

// What a failure naming an input does: its message, whether the failing row is recounted or
// marked not found, and whether the step is committed.
struct FailureRule {
  TextId Message;
  bool Recount;
  bool MarkNotFound;
  bool Commit;
};

std::optional<FailureRule> FailureRuleOf(int result, const EngineState& state) {
  switch (result) {
    case kMergeFailed:
      if (state.LastErrorCode == -1000) return FailureRule{TextId::FileEncryptedAt, true, false, true};
      return FailureRule{TextId::MergeFailed, false, false, false};
    case kMergeInputMissing: return FailureRule{TextId::FileNotFoundAt, false, true, true};
    case kMergePasswordFailed: return FailureRule{TextId::MergePasswordFailed, true, false, true};
    case kMergeNotPermitted: return FailureRule{TextId::MergeNotPermitted, true, false, true};
    case kMergeDifferentSecurity: return FailureRule{TextId::MergeDifferentSecurity, false, false, true};
    default: return std::nullopt;
  }
}

void HandleFailure(AppSession& session, Desktop& desktop, const std::vector<int>& inputRows, const MergeJob& job,
                   int result, const EngineState& state, int commandId) {
  const bool japanese = session.Japanese;
  if (result == kMergeOutputFailed) {
    ShowJobMessage(desktop, std::string(Text(TextId::CannotSave, japanese)));
    return;
  }
  if (result == kMergeFailed && state.LastErrorCode == kOutputTooLarge) {
    ShowJobMessage(desktop, std::string(Text(TextId::OutputTooLarge, japanese)));
    return;
  }
  const std::optional<FailureRule> rule = FailureRuleOf(result, state);
  if (!rule) return;  // cancelled, or a result without a rule
  DeselectAll(session.List);
  const int index = job.JobResultIndex;
  if (index < 0 || index >= static_cast<int>(inputRows.size())) {
    if (rule->Commit) CommitStep(session.Undo, commandId);
    ShowJobMessage(desktop, std::string(Text(TextId::MergeError, japanese)));
    return;
  }
  const int rowIndex = inputRows[static_cast<std::size_t>(index)];
  ListEntry& row = session.List.Rows[static_cast<std::size_t>(rowIndex)];
  if (rule->Recount) RecountRow(session, desktop, row);
  if (rule->MarkNotFound) {
    row.Icon = kIconNotFound;
    row.Page = std::string(Text(TextId::PageNotFound, japanese));
  }
  SelectAndFocus(session.List, rowIndex);
  desktop.ScrollRowIntoView(rowIndex);
  if (rule->Commit) CommitStep(session.Undo, commandId);
  ShowJobMessage(desktop, std::string(Text(rule->Message, japanese)) + row.Path);
}

}  // namespace

std::vector<int> MergeInputRows(const FileList& list, bool selectedOnly) {
  std::vector<int> rows;
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    const ListEntry& row = list.Rows[i];
    if (IsUsable(row.Page) && (!selectedOnly || row.Selected)) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

void KeepLearntPageCounts(FileList& list, const std::vector<int>& inputRows, const MergeJob& job) {
  for (std::size_t i = 0; i < inputRows.size() && i < job.Inputs.size(); ++i) {
    ListEntry& row = list.Rows[static_cast<std::size_t>(inputRows[i])];
    const MergeInput& input = job.Inputs[i];
    if (!IsUncounted(row.Page) || input.PageCount < 0) continue;
    row.Page = PageText(input.Encrypted ? PageState::CountedEncrypted : PageState::Counted, input.PageCount,
                        list.Japanese);
    if (input.Encrypted) row.Icon = kIconEncrypted;
  }
}

void RunMergeJob(AppSession& session, Desktop& desktop, bool selectedOnly) {
  const int commandId = selectedOnly ? kCmdMergeSelect : kCmdMergeAll;
  const std::vector<int> inputRows = MergeInputRows(session.List, selectedOnly);
  const std::optional<std::string> output = ChooseOutputFile(session, desktop, selectedOnly);
  if (!output) {
    FinishOperation(session, desktop);
    return;
  }
  MergeJob job;
  for (const int row : inputRows) job.Inputs.push_back(MergeInput{session.List.Rows[static_cast<std::size_t>(row)].Path});
  job.OutputPath = *output;
  job.Backup = session.Settings.FileBackUp;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();

  EngineState state;
  PrepareEngineState(session, state);
  JobRun run;
  run.JobKind = 1;
  run.Title = selectedOnly ? TextId::ProgressTitleMergeSelected : TextId::ProgressTitleMerge;
  run.OperationWord = selectedOnly ? "Merge(S)" : "Merge";
  run.Driver = [&session, &job](EngineState& s) { return session.Drivers.Merge(s, job); };
  // While the driver reads the inputs, JobResultIndex is the input being read.
  run.PasswordQuestion = [&job] {
    const int index = job.JobResultIndex;
    const bool known = index >= 0 && index < static_cast<int>(job.Inputs.size());
    return PasswordRequest{PasswordDialogMode::Engine,
                           known ? FileNameOf(job.Inputs[static_cast<std::size_t>(index)].Path) : std::string()};
  };
  const int result = RunJobBehindProgress(session, desktop, state, run).Result;

  KeepLearntPageCounts(session.List, inputRows, job);
  if (result == kMergeDone) {
    NewFile file;
    file.Path = job.OutputPath;
    file.PageCount = job.JobResultIndex;
    file.Encrypted = state.SecurityJobState.OutputEncrypted != 0;
    file.DoneText = TextId::MergeDone;
    TakeNewFile(session, desktop, inputRows, file, commandId);
  } else {
    HandleFailure(session, desktop, inputRows, job, result, state, commandId);
  }
  FinishOperation(session, desktop);
}

}  // namespace folvex
