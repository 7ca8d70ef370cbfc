// What Tomlet does for one command line, on every system: read the list file (or take the path),
// ask for the pages when told to, split, and give the status its notice carries.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/splitter/splitter_protocol.h"
#include "engine/core/job_control.h"

namespace folvex::tomlet {

// The status for the notice: 0 done, 2 encrypted, 3 one page, 4 cannot create, -2 cancelled, any
// other value a failure.
constexpr int kStatusListFileUnreadable = -10;

struct TomletIo {
  // Asks for the pages of a file of pageCount pages in the page-range syntax; nothing when the
  // user cancels.
  std::function<std::optional<std::string>(int pageCount)> AskPageRanges;
  // Tells the user why the typed pages were refused; the question is asked again.
  std::function<void(const std::string& message)> ShowRangeError;
  JobControl* Control = nullptr;  // progress, cancel
};

struct TomletOutcome {
  int Status = -1;
  std::string InputPath;
  int Written = 0;
};

// Runs the command: the "-B" forms read their list file from TMP or the current directory and
// delete it once read, before splitting. The input PDF is never removed.
TomletOutcome RunTomlet(const SplitterCommand& command, bool japanese, const TomletIo& io);

// The message for a status, in the language; empty for success.
std::string StatusMessage(int status, bool japanese);

}  // namespace folvex::tomlet
