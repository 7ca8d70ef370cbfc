// What every document job does around its driver: the refusal rules, the save dialog and the
// output folder, the backup of an overwritten output, the engine state a job starts from, the run
// behind the progress dialog, and the messages and list refresh at its end.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/session/app_session.h"
#include "app/model/desktop.h"
#include "app/text/texts.h"
#include "engine/core/engine_state.h"

namespace folvex {

// True when the operation may start: no companion-splitter run, and its menu rule is met (so a
// toolbar click on an inapplicable operation does nothing).
bool OperationAllowed(const AppSession& session, int commandId);

// The folder part of a path as OutputFolder keeps it: without the last separator, except that a
// root keeps it ("C:\", "/").
std::string FolderOf(const std::string& path);

// The save dialog of extract and merge, opened in OutputFolder. The chosen file's folder becomes
// the new OutputFolder. Nothing when the user cancels.
std::optional<std::string> ChooseOutputFile(AppSession& session, Desktop& desktop, bool askBeforeOverwrite);

// The engine state a job starts from: the output settings, FileBackUp and the run's remembered
// password (also the owner password tried by extract and merge).
void PrepareEngineState(const AppSession& session, EngineState& state);

struct JobRun {
  int JobKind = 0;
  TextId Title = TextId::ProgressTitleExtract;
  std::string OperationWord;
  std::function<int(EngineState&)> Driver;             // called once, on the worker thread
  std::function<PasswordRequest()> PasswordQuestion;  // what the password dialog shows
};

struct JobOutcome {
  int Result = 0;
  bool Cancelled = false;  // CancelFlag was set when the driver returned
};

// Runs the driver behind the progress dialog, and afterwards keeps the
// passwords for the run: the remembered password, and the last text typed in the password dialog
// as OwnerPassword.
JobOutcome RunJobBehindProgress(AppSession& session, Desktop& desktop, EngineState& state, const JobRun& run);

// A message box of a job: "Folvex", error icon unless told otherwise.
void ShowJobMessage(Desktop& desktop, const std::string& text, MessageIcon icon = MessageIcon::Error);

// The end of every operation command: the list redrawn, the status bar refreshed, the focus on the list.
void FinishOperation(const AppSession& session, Desktop& desktop);

// Counts the row's file again and shows the result in its Page text and icon.
void RecountRow(AppSession& session, Desktop& desktop, ListEntry& row);

// Selects and focuses row alone.
void SelectAndFocus(FileList& list, int row);

}  // namespace folvex
