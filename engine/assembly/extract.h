// Extract: a chosen list of pages of one file, in the chosen order, written as a new file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/core/engine_state.h"
#include "engine/transfer/page_dicts.h"
#include "engine/transfer/page_objects.h"

namespace folvex {

// Results of RunExtract.
enum ExtractResult : int {
  kExtractDone = 0,
  kExtractInputMissing = 1,
  kExtractOutputFailed = 2,    // LastErrorCode -2000, -2001 or a read-back code
  kExtractCancelled = 3,
  kExtractPasswordFailed = 4,  // the password prompt was declined, or three wrong passwords
  kExtractNotPermitted = 9,
  kExtractFailed = -1,         // LastErrorCode says why (-1000: protected with cross-reference streams)
  kExtractOnePage = -2,
  kExtractPageBeyondEnd = -3,  // LastErrorCode -1
};

// What an extract job is given: the input, the output, the 0-based page indexes in output order,
// and the texts of the new information dictionary.
struct ExtractJob {
  std::string InputPath;
  std::string OutputPath;
  std::vector<int> PageIndexList;
  std::string CreationDateText;  // 14 digits
  std::string ProducerText;      // the body of a literal string
  // Keep an existing output as its backup name (BackupName) once the new file is in place;
  // state.SecurityJobState.BackupMade tells whether there was one.
  bool Backup = false;
  // When set, PageIndexList is made once the input is open, from its page count (a range with an
  // open end needs it); false refuses the pages and ends the job with kExtractPageBeyondEnd.
  std::function<bool(int pageCount, std::vector<int>& pageIndexList)> PagesOfCount;
};

// Opens the input (authenticating a protected one), checks the page list, and writes the output,
// protected again with the input's key when the input was protected
// (state.SecurityJobState.OutputEncrypted). The output is in place only once it reads back with
// the pages written. An output (or, with Backup, its backup name) that is the input fails with
// kExtractOutputFailed and LastErrorCode kOutputReplacesInput before the input is opened.
// Settings come from state.Settings.
int RunExtract(EngineState& state, const ExtractJob& job);

// Opens path as the only input of a copy job into slot 0: a protected input is authenticated and
// its key kept for the output. Returns kOpenNotFound when the file cannot be read, else the open
// sequence's result; decryptResult is the decryption step's own result (0 when it passed or did
// not run).
int OpenCopyInput(EngineState& state, const std::string& path, int& decryptResult);

// The writer alone, on a document already opened in slot whose page copies hold job's pages: builds
// the whole file for job.PageIndexList into output, or through output.File when it has one
// (OutputPath is not used), the page copy reporting within progress; workspace, when given, is
// kept for the next call on the same document.
// Returns 1, or 0 on failure (LastErrorCode) or cancel.
int BuildExtractedFile(EngineState& state, const DocumentSlot& slot, const PageDictCopies& copies,
                       const ExtractJob& job, const TransferProgress& progress, TransferOutput& output,
                       TransferWorkspace* workspace = nullptr);

}  // namespace folvex
