// What the window shows of the list besides its rows: the status bar's text and the toolbar's Undo
// and Redo tooltips, brought up to date after a change.
#pragma once

#include <string>

#include "app/model/desktop.h"
#include "app/session/app_session.h"

namespace folvex {

// The status bar's normal text: the hint and the row counts.
std::string StatusText(const FileList& list, bool japanese);

// Brings the window up to date after the list or the history changed: the list, the status bar
// and the Undo and Redo tooltips.
void ShowListChange(const AppSession& session, Desktop& desktop);

}  // namespace folvex
