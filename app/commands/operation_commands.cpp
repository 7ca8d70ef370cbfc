#include "app/commands/operation_commands.h"

#include "app/session/command_ids.h"
#include "app/commands/extract_command.h"
#include "app/commands/list_commands.h"
#include "app/jobs/job_preparation.h"
#include "app/jobs/merge_job.h"
#include "app/commands/security_commands.h"

namespace folvex {

namespace {

void MergeFiles(AppSession& session, Desktop& desktop, int id) {
  if (!OperationAllowed(session, id)) return;
  TakeSnapshot(session.Undo, session.List, id);
  desktop.SetStatusText(std::string());
  RunMergeJob(session, desktop, id == kCmdMergeSelect);
}

}  // namespace

bool RunCommand(AppSession& session, Desktop& desktop, int id) {
  switch (id) {
    case kCmdExtract:
      ExtractPages(session, desktop);
      return true;
    case kCmdMergeAll:
    case kCmdMergeSelect:
      MergeFiles(session, desktop, id);
      return true;
    case kCmdSetSecurity:
      SetSecurity(session, desktop);
      return true;
    case kCmdRemoveSecurity:
      RemoveSecurity(session, desktop);
      return true;
    default:
      return RunListCommand(session, desktop, id);
  }
}

}  // namespace folvex
