// The extract job: from the save dialog to the message that ends the command.
#pragma once

#include <vector>

#include "app/session/app_session.h"
#include "app/model/desktop.h"

namespace folvex {

// Extracts the pages of pageIndexList (0-based, in output order) from the file of row into a new
// file chosen in the save dialog, and handles the result. The command has taken its snapshot.
void RunExtractJob(AppSession& session, Desktop& desktop, int row, const std::vector<int>& pageIndexList);

}  // namespace folvex
