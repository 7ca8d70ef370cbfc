#include "cli/split_command.h"

#include <filesystem>

#include "app/commands/page_ranges.h"
#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/job_output.h"
#include "engine/assembly/split.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

struct Outcome {
  int Status;
  TextId Message;
};

Outcome OutcomeOf(int result) {
  switch (result) {
    case kSplitDone: return {kExitSuccess, TextId::CliSplitDone};
    case kSplitOnePage: return {kExitUsage, TextId::SplitOnePage};
    case kSplitBadPages: return {kExitUsage, TextId::BadPageInput};
    case kSplitInputMissing: return {kExitNotFound, TextId::FileNotFound};
    case kSplitCannotCreate: return {kExitOutput, TextId::SplitCannotCreate};
    case kSplitCancelled: return {kExitCancelled, TextId::SplitCanceled};
    case kSplitEncrypted: return {kExitPassword, TextId::SplitEncrypted};
    default: return {kExitUnreadable, TextId::SplitFailed};
  }
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
  command->add_flag("--quiet", options.Output.Quiet, "No progress bar and no closing message");
  return command;
}

int RunSplitCommand(const SplitCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Split, japanese, state.Settings, settingsError)) {
    err << settingsError << '\n';
    return kExitUsage;
  }
  if (!options.Output.OutputDir.empty() && !IsFolder(options.Output.OutputDir)) {
    err << Text(TextId::CliOutputDirMissing, japanese) << '\n';
    return kExitUsage;
  }

  SplitJob job;
  job.InputPath = options.Input;
  job.OutputFolder = options.Output.OutputDir;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  std::string rangeMessage;
  if (!options.Ranges.empty()) {
    job.ChoosePages = [&](int pageCount) -> std::optional<std::vector<int>> {
      const PageRangeResult pages = ParseCommandRanges(options.Ranges, pageCount);
      if (pages.Error != PageRangeError::None) {
        rangeMessage = PageRangeErrorText(pages, japanese);
        return std::vector<int>{-1};  // refused as pages of no file
      }
      return std::vector<int>(pages.PageIndexList.begin(), pages.PageIndexList.end());
    };
  }

  JobRun run(state, options.Password, japanese, options.Output.Quiet);
  SplitOutcome split;
  run.Run([&] {
    split = RunSplit(state, job);
    return split.Result;
  });

  const Outcome outcome = OutcomeOf(split.Result);
  if (split.Result == kSplitBadPages && !rangeMessage.empty()) {
    err << rangeMessage << '\n';
  } else if (split.Result == kSplitBadPages) {
    err << Text(TextId::BadPageInput, japanese) << '"' << options.Ranges << "\"\n";
  } else if (split.Result == kSplitDone) {
    if (!options.Output.Quiet) err << FormatText(outcome.Message, japanese, static_cast<int>(split.Written.size())) << '\n';
  } else {
    err << Text(outcome.Message, japanese) << '\n';
    if (split.Result == kSplitCannotCreate || split.Result == kSplitCancelled) {
      if (!split.Written.empty()) err << FormatText(TextId::CliSplitDone, japanese, static_cast<int>(split.Written.size())) << '\n';
    }
  }
  if (split.Result == kSplitEncrypted) run.ExplainPasswordFailure(err);
  if (split.Result == kSplitFailed) ExplainReadFailure(state, japanese, err);
  return outcome.Status;
}

}  // namespace folvex::cli
