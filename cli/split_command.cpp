#include "cli/split_command.h"

#include <filesystem>

#include "app/commands/page_ranges.h"
#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/failures.h"
#include "cli/job_output.h"
#include "engine/assembly/split.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

// The exit status, the message's text and its reason of a failed split.
struct Failure {
  int Status;
  TextId Message;
  std::string Reason;
};

Failure FailureOf(int result, const EngineState& state, const std::string& input, const JobRun& run, bool japanese) {
  if (run.Cancelled()) return {kExitCancelled, TextId::SplitCanceled, std::string(Text(TextId::CliReasonCancelled, japanese))};
  const PasswordFailure password = state.SecurityJobState.LastPasswordFailure;
  switch (result) {
    case kSplitInputMissing: return {kExitNotFound, TextId::FileNotFound, InputReason(input)};
    case kSplitCancelled: return {kExitCancelled, TextId::SplitCanceled, std::string(Text(TextId::CliReasonCancelled, japanese))};
    case kSplitEncrypted:
      if (password == PasswordFailure::NoDistinctOwner) {
        return {kExitNotPermitted, TextId::SplitEncrypted, std::string(Text(TextId::CliReasonNoDistinctOwner, japanese))};
      }
      if (password != PasswordFailure::None) return {kExitPassword, TextId::SplitEncrypted, run.PasswordFailureReason()};
      break;  // protected in a way that is not read
    default: break;
  }
  const int status = ReadFailureStatus(state);
  return {status, result == kSplitEncrypted ? TextId::SplitEncrypted : TextId::SplitFailed, ReadReason(state, japanese)};
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(std::u8string(path.begin(), path.end())), error);
}

}  // namespace

CLI::App* AddSplitCommand(CLI::App& app, SplitCommandOptions& options) {
  CLI::App* command =
      app.add_subcommand("split", "Write each chosen page as a file of its own: NAME_0001.pdf, NAME_0002.pdf ...");
  command->add_option("INPUT", options.Input, "PDF file")->required();
  command->add_option("RANGES", options.Ranges, "Pages, such as 1,3-5,12-9,20- (default: every page; z the last page, rN the N-th from the end)");
  AddPasswordOptions(*command, options.Password);
  AddOutputSettingOptions(*command, options.Settings, SettingsFor::Split);
  command->add_option("--output-dir", options.Output.OutputDir, "Folder for the page files (default: the input's)");
  return command;
}

int RunSplitCommand(const SplitCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Split, japanese, state.Settings, settingsError)) {
    err << settingsError;
    return kExitNotFound;
  }
  std::string folder = options.Output.OutputDir.empty() ? SplitFolderOf(options.Input) : options.Output.OutputDir;
  if (folder.empty()) folder = ".";
  if (!options.Output.OutputDir.empty() && !IsFolder(options.Output.OutputDir)) {
    ReportFailure(err, folder, TextId::SplitCannotCreate, FolderReason(folder), japanese);
    return kExitOutput;
  }

  SplitJob job;
  job.InputPath = options.Input;
  job.OutputFolder = options.Output.OutputDir;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  PageRangeResult pages;
  if (!options.Ranges.empty()) {
    job.ChoosePages = [&](int pageCount) -> std::optional<std::vector<int>> {
      pages = ParseCommandRanges(options.Ranges, pageCount);
      if (pages.Error != PageRangeError::None) return std::vector<int>{-1};  // refused as pages of no file
      return std::vector<int>(pages.PageIndexList.begin(), pages.PageIndexList.end());
    };
  }

  if (!PasswordFileOpens(options.Password, japanese, err)) return kExitNotFound;
  JobRun run(state, options.Password, japanese, options.Output.Quiet);
  // While the page files are written the bar counts them (the engine's label counts the one page of each).
  int fileIndex = 0, fileCount = 0;
  job.PageFileStarted = [&](int index, int count) {
    fileIndex = index;
    fileCount = count;
  };
  run.Relabel = [&](const std::string& label) {
    return fileCount > 0 ? FormatText(TextId::CliSplitProgress, japanese, fileIndex + 1, fileCount) : label;
  };
  SplitOutcome split;
  run.Run([&] {
    split = RunSplit(state, job);
    return split.Result;
  });

  const int written = static_cast<int>(split.Written.size());
  if (split.Result == kSplitDone) {
    if (!options.Output.Quiet) err << FormatText(TextId::CliSplitDone, japanese, written) << '\n';
    return kExitSuccess;
  }
  if (split.Result == kSplitOnePage) {
    ReportFailure(err, options.Input, TextId::SplitOnePage, Text(TextId::CliReasonOnePage, japanese), japanese);
    return kExitUsage;
  }
  if (split.Result == kSplitBadPages) {
    if (pages.Error == PageRangeError::None) pages = {PageRangeError::OutOfRange, options.Ranges, {}};
    ReportPageRangeFailure(err, options.Input, pages, japanese);
    return kExitUsage;
  }
  if (split.Result == kSplitCannotCreate) {
    std::string reason = FolderReason(folder);
    if (reason.empty()) reason = Text(TextId::CliReasonNotWritten, japanese);
    ReportFailure(err, folder, TextId::SplitCannotCreate, reason, japanese);
  } else {
    const Failure failure = FailureOf(split.Result, state, options.Input, run, japanese);
    ReportFailure(err, options.Input, failure.Message, failure.Reason, japanese);
    if (failure.Status != kExitCancelled) return failure.Status;
  }
  if (written > 0) err << FormatText(TextId::CliSplitDone, japanese, written) << '\n';
  return split.Result == kSplitCannotCreate ? kExitOutput : kExitCancelled;
}

}  // namespace folvex::cli
