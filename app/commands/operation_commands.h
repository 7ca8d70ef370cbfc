// The main window's command handler: every command id the application logic answers, each with
// its refusal rules.
#pragma once

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// Runs the command with this id: the list commands, Extract, Merge All, Merge Selected, Set
// Security and Remove Security (each refused while its menu rule is not met or a splitter run is
// active). Returns false for the ids handled by the window itself (Exit, General Setting) and by
// the companion splitter (999, 1350, 1360).
bool RunCommand(AppSession& session, Desktop& desktop, int id);

}  // namespace folvex
