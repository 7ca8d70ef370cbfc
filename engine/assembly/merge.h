// Merge: all pages of several files, in list order, written as one new file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// Results of RunMerge.
enum MergeResult : int {
  kMergeDone = 0,                // JobResultIndex: the page count of the new file
  kMergeInputMissing = 1,        // JobResultIndex: the input
  kMergeOutputFailed = 2,        // LastErrorCode -2000, -2001 or a read-back code
  kMergeCancelled = 3,
  kMergePasswordFailed = 5,      // the password prompt was declined, or three wrong passwords
  kMergeNotPermitted = 9,
  kMergeDifferentSecurity = 11,  // JobResultIndex: the first input whose protection differs
  kMergeBadPages = 12,           // JobResultIndex: the input whose PagesOfCount refused its pages
  kMergeFailed = -1,             // LastErrorCode: -1000, -12345 load, -12346 conversion or repair,
                                 // -12347 page analysis, or a writer's code
};

// One input. The driver fills PageCount (-1 while uncounted) and Encrypted once the file's pages
// are counted, for the application's list.
struct MergeInput {
  std::string Path;
  int PageCount = -1;
  bool Encrypted = false;
  // When set, the 0-based pages of this input that are written, in order (repeats allowed), made
  // from its page count once it is open; false refuses them and ends the job with kMergeBadPages.
  // Unset: every page. The outline keeps the items whose page is written, regrouped in the new order.
  std::function<bool(int pageCount, std::vector<int>& pageIndexList)> PagesOfCount = {};
};

struct MergeJob {
  std::vector<MergeInput> Inputs;
  std::string OutputPath;
  std::string CreationDateText;  // 14 digits
  std::string ProducerText;      // the body of a literal string
  // Keep an existing output as its backup name (BackupName) once the new file is in place;
  // state.SecurityJobState.BackupMade tells whether there was one.
  bool Backup = false;
  int JobResultIndex = -1;       // see MergeResult
};

// Opens every input (their protection must agree; protected inputs are authenticated), then opens
// each again as its pages are written, so that one input is held at a time; an input that changed
// in between fails the merge. Writes the merged file, protected again with the inputs' key when
// they were protected (state.SecurityJobState.OutputEncrypted); it is in place only once it reads
// back with every page. An output (or, with Backup, its backup name) that is an input fails with
// kMergeOutputFailed and LastErrorCode kOutputReplacesInput before any input is opened. Settings
// come from state.Settings.
int RunMerge(EngineState& state, MergeJob& job);

}  // namespace folvex
