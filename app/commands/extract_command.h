// The Extract command: the page-range dialog, its messages, and the extract job.
#pragma once

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// Command 1250 on the one selected row.
void ExtractPages(AppSession& session, Desktop& desktop);

}  // namespace folvex
