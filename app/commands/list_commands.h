// The commands that work on the file list, its history and the settings alone: adding rows (drop,
// folder, edit), delete, select all, sorting, drag reorder, undo and redo, time stamps, page counts,
// opening files, the settings dialogs, help and about.
#pragma once

#include <string>
#include <vector>

#include "app/commands/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// Files dropped on the main window, inserted before row insertionIndex (DropInsertionIndex).
void DropFiles(AppSession& session, Desktop& desktop, const std::vector<std::string>& paths, int insertionIndex);

// Drag reorder released on target (DragTargetRow): the selected rows move there.
void DragRows(AppSession& session, Desktop& desktop, int target);

// Runs a list command by its id. Returns false for ids that are not list commands (the document
// operations, the splitter, Exit and the General Setting dialog are handled elsewhere).
bool RunListCommand(AppSession& session, Desktop& desktop, int id);

// The status bar's normal text: the hint and the row counts.
std::string StatusText(const FileList& list, bool japanese);

// Brings the window up to date after the list or the history changed: the list, the status bar
// and the Undo and Redo tooltips.
void ShowListChange(const AppSession& session, Desktop& desktop);

}  // namespace folvex
