#include "tools/tomlet/tomlet_job.h"

#include <cstdio>

#include "app/commands/page_ranges.h"
#include "app/splitter/split_list_file.h"
#include "app/text/texts.h"
#include "engine/assembly/split.h"
#include "engine/core/document_texts.h"
#include "engine/core/engine_state.h"
#include "engine/core/open_file.h"
#include "engine/core/output_file.h"

namespace folvex::tomlet {

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return std::nullopt;
  std::string text;
  char block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return text;
}

}  // namespace

TomletOutcome RunTomlet(const SplitterCommand& command, bool japanese, const TomletIo& io) {
  TomletOutcome outcome;
  EngineState state;
  if (command.ListFile) {
    const std::string listPath = SplitListPath(command.Target);
    const std::optional<std::string> text = ReadWholeFile(listPath);
    const std::optional<SplitList> list = text ? ParseSplitListText(*text) : std::nullopt;
    if (!list) {
      outcome.Status = kStatusListFileUnreadable;
      return outcome;
    }
    // The list file was made for this launch alone and the main program leaves it to us. A file
    // that does not read as a list is not removed: it may be anyone's.
    RemovePath(listPath);
    state.Settings = list->Settings;
    outcome.InputPath = list->InputPath;
  } else {
    outcome.InputPath = command.Target;
  }

  SplitJob job;
  job.InputPath = outcome.InputPath;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  if (command.Launch == SplitLaunch::PageInput) {
    job.ChoosePages = [&](int pageCount) -> std::optional<std::vector<int>> {
      while (true) {
        const std::optional<std::string> typed = io.AskPageRanges ? io.AskPageRanges(pageCount) : std::nullopt;
        if (!typed) return std::nullopt;
        const PageRangeResult pages = ParsePageRanges(*typed, pageCount);
        if (pages.Error == PageRangeError::None) {
          return std::vector<int>(pages.PageIndexList.begin(), pages.PageIndexList.end());
        }
        if (io.ShowRangeError) io.ShowRangeError(PageRangeErrorText(pages, japanese));
      }
    };
  }
  // A protected file opens only with the empty user password: there is nobody to ask.
  state.Control = io.Control;
  const SplitOutcome split = RunSplit(state, job);
  outcome.Status = split.Result;
  outcome.Written = static_cast<int>(split.Written.size());
  return outcome;
}

std::string StatusMessage(int status, bool japanese) {
  switch (status) {
    case 0:
    case 1: return std::string();
    case -2: return std::string(Text(TextId::SplitCanceled, japanese));
    case 2: return std::string(Text(TextId::SplitEncrypted, japanese));
    case 3: return std::string(Text(TextId::SplitOnePage, japanese));
    case 4: return std::string(Text(TextId::SplitCannotCreate, japanese));
    case kStatusListFileUnreadable: return std::string(Text(TextId::TomletListFileUnreadable, japanese));
    default: return std::string(Text(TextId::SplitFailed, japanese));
  }
}

}  // namespace folvex::tomlet
