// Set Security and Remove Security: the dialogs asked before the job, the job over the chosen
// rows, the rows changed by each file's result, and the message that sums it up.
#pragma once

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// Command 1450.
void SetSecurity(AppSession& session, Desktop& desktop);

// Command 1460.
void RemoveSecurity(AppSession& session, Desktop& desktop);

}  // namespace folvex
