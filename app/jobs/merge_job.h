// The merge jobs (all usable rows, or the usable selected rows): from the save dialog to the
// message that ends the command.
#pragma once

#include <vector>

#include "app/session/app_session.h"
#include "app/model/desktop.h"
#include "engine/assembly/merge.h"

namespace folvex {

// The rows a merge takes, in list order: every usable row, or every usable selected row.
std::vector<int> MergeInputRows(const FileList& list, bool selectedOnly);

// Page counts the driver learnt, copied into the input rows that were uncounted: "%d", or
// "%d Encrypted" with the encrypted icon.
void KeepLearntPageCounts(FileList& list, const std::vector<int>& inputRows, const MergeJob& job);

// Merges the input rows into a new file chosen in the save dialog and handles the result. The
// command has taken its snapshot.
void RunMergeJob(AppSession& session, Desktop& desktop, bool selectedOnly);

}  // namespace folvex
