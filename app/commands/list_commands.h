// The commands that work on the file list, its history and the settings alone: adding rows (drop,
// folder, edit), delete, select all, sorting, drag reorder, undo and redo, time stamps, page counts,
// opening files, the settings dialogs, help and about.
#pragma once

#include <string>
#include <vector>

#include "app/session/app_session.h"
#include "app/session/list_display.h"
#include "app/model/desktop.h"

namespace folvex {

// Files dropped on the main window, inserted before row insertionIndex (DropInsertionIndex).
void DropFiles(AppSession& session, Desktop& desktop, const std::vector<std::string>& paths, int insertionIndex);

// Drag reorder released on target (DragTargetRow): the selected rows move there.
void DragRows(AppSession& session, Desktop& desktop, int target);

// Runs a list command by its id. Returns false for ids that are not list commands (the document
// operations, the splitter, Exit and the General Setting dialog are handled elsewhere).
bool RunListCommand(AppSession& session, Desktop& desktop, int id);

}  // namespace folvex
