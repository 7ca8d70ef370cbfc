#include "app/commands/extract_command.h"

#include "app/session/command_ids.h"
#include "app/commands/list_commands.h"
#include "app/commands/page_ranges.h"
#include "app/jobs/extract_job.h"
#include "app/jobs/job_preparation.h"
#include "app/text/texts.h"

namespace folvex {

namespace {

// Ends the command before the job: command 1325 counts the selected uncounted rows; a row
// counted on the way is committed under Extract's label as well.
void GiveUp(AppSession& session, Desktop& desktop, bool rowCounted) {
  const int position = session.Undo.Position;
  RunListCommand(session, desktop, kCmdPageSelectForExtract);
  if (rowCounted && session.Undo.Position == position) CommitStep(session.Undo, kCmdExtract);
  FinishOperation(session, desktop);
}

}  // namespace

void ExtractPages(AppSession& session, Desktop& desktop) {
  if (!OperationAllowed(session, kCmdExtract)) return;
  const int rowIndex = SelectedRows(session.List).front();
  TakeSnapshot(session.Undo, session.List, kCmdExtract);
  desktop.SetStatusText(std::string());
  const std::optional<std::string> typed = desktop.AskPageRanges();
  if (!typed || typed->empty()) {
    FinishOperation(session, desktop);
    return;
  }

  ListEntry& row = session.List.Rows[static_cast<std::size_t>(rowIndex)];
  int pageCount = IsUncounted(row.Page) ? -1 : LeadingNumber(row.Page);
  bool rowCounted = false;
  if (pageCount < 0 && NeedsPageCount(*typed)) {
    desktop.SetWaitCursor(true);
    const PageCount count = session.Counter(row.Path);
    desktop.SetWaitCursor(false);
    ApplyPageCount(row, count, session.Japanese);
    rowCounted = true;
    if (count.Result < 1) {
      ShowJobMessage(desktop, std::string(Text(TextId::Failure, session.Japanese)));
      GiveUp(session, desktop, rowCounted);
      return;
    }
    pageCount = count.Result;
  }

  const PageRangeResult parsed = ParsePageRanges(*typed, pageCount);
  if (parsed.Error != PageRangeError::None) {
    ShowJobMessage(desktop, PageRangeErrorText(parsed, session.Japanese));
    if (parsed.Error == PageRangeError::OnlyOnePage) {
      GiveUp(session, desktop, rowCounted);
    } else {
      if (rowCounted) CommitStep(session.Undo, kCmdExtract);
      FinishOperation(session, desktop);
    }
    return;
  }
  RunExtractJob(session, desktop, rowIndex, parsed.PageIndexList);
}

}  // namespace folvex
