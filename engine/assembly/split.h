// Split: chosen pages of one file, each written as a file of its own beside the input (or in a
// given folder). The input is opened once; every page file is an extract of that one page.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/engine_state.h"

namespace folvex {

// Results of RunSplit; the splitter passes them on as its notice status.
enum SplitResult : int {
  kSplitDone = 0,
  kSplitEncrypted = 2,     // protected, and no password opened it (or extraction is not permitted)
  kSplitOnePage = 3,
  kSplitCannotCreate = 4,  // a page file cannot be created
  kSplitCancelled = -2,
  kSplitFailed = -1,       // the input cannot be opened or read (LastErrorCode says why)
  kSplitInputMissing = -4,
  kSplitBadPages = -3,     // the chosen pages are not pages of the file
};

// The pages to write, asked once the page count is known: 0-based indexes in writing order, or
// nothing when the user gave up (the split ends as cancelled). Empty function: every page.
using SplitPageChooser = std::function<std::optional<std::vector<int>>(int pageCount)>;

struct SplitJob {
  std::string InputPath;
  std::string OutputFolder;  // empty: the input's folder
  SplitPageChooser ChoosePages;
  std::string CreationDateText;  // 14 digits
  std::string ProducerText;
  // Told before each page file is built: its index (0-based) among count. May be empty.
  std::function<void(int index, int count)> PageFileStarted;
};

struct SplitOutcome {
  int Result = kSplitFailed;
  int PageCount = 0;
  std::vector<std::string> Written;  // the page files, in writing order
};

// Opens the input, then writes each chosen page as NAME_0001.pdf ... (NAME the input's name without
// ".pdf"; the number padded to the digits of the page count), never replacing an existing file:
// a taken name gives way to "NAME_0001 (2).pdf", "(3)" and so on. The settings of state.Settings
// apply with the split's outline keeping and page mode (OutlineKeepS, PageModeS). A protected
// input is opened through the control's password prompt and its page files are protected again
// with its key. Stops at the first page file that cannot be stored; files already written stay.
SplitOutcome RunSplit(EngineState& state, const SplitJob& job);

// The first free name for page number (1-based) of a file of pageCount pages.
std::string SplitPageFilePath(const std::string& folder, const std::string& baseName, int number, int pageCount);

// The input's name without its ".pdf" ending (any letter case), and its folder with a trailing
// separator ("" for a bare name).
std::string SplitBaseName(const std::string& inputPath);
std::string SplitFolderOf(const std::string& inputPath);

}  // namespace folvex
