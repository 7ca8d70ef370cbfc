// The companion splitter Tomlet as the main window uses it: whether it is available, the General
// Setting dialog that configures it, the two split commands and the notices it sends back.
#pragma once

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// At start-up, after the settings are loaded: decides availability and version from the configured
// path and shows or hides the split menu items and buttons.
void StartSplitter(AppSession& session, Desktop& desktop);

// The General Setting command (1280): the dialog, its splitter-path validation and messages.
void RunGeneralSetting(AppSession& session, Desktop& desktop);

// The file dialog of the General Setting dialog's "Ref" button: Tomlet.exe only, existing files.
FileDialogRequest SplitterFileDialogRequest(bool japanese);

// Split All Pages (1350) and Split Page Input (1360).
void RunSplitAll(AppSession& session, Desktop& desktop);
void RunSplitPageInput(AppSession& session, Desktop& desktop);

// A SplitterNotify notice (WM_COMMAND 999) with the status of the file just finished: the run goes
// on with its next file, taken from the selection at the run's start (not the selection now).
void HandleSplitterNotify(AppSession& session, Desktop& desktop, long status);

}  // namespace folvex
