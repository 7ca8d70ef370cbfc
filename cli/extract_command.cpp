#include "cli/extract_command.h"

#include "app/commands/page_ranges.h"
#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/job_output.h"
#include "cli/standard_streams.h"
#include "engine/assembly/extract.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

struct Outcome {
  int Status;
  std::optional<TextId> Message;
};

Outcome OutcomeOf(int result, const EngineState& state) {
  switch (result) {
    case kExtractDone: return {kExitSuccess, TextId::ExtractDone};
    case kExtractPageBeyondEnd: return {kExitUsage, TextId::BadPageInput};
    case kExtractOnePage: return {kExitUsage, TextId::OnlyOnePage};
    case kExtractInputMissing: return {kExitNotFound, TextId::FileNotFound};
    case kExtractOutputFailed: return {kExitOutput, TextId::CannotSave};
    case kExtractCancelled: return {kExitCancelled, std::nullopt};
    case kExtractPasswordFailed: return {kExitPassword, TextId::ExtractFailed};
    case kExtractNotPermitted: return {kExitNotPermitted, TextId::ExtractNotPermitted};
    default: break;
  }
  if (state.LastErrorCode == -1000) return {kExitUnreadable, TextId::FileEncrypted};
  return {kExitUnreadable, TextId::ExtractFailed};
}

}  // namespace

CLI::App* AddExtractCommand(CLI::App& app, ExtractCommandOptions& options) {
  CLI::App* command = app.add_subcommand("extract", "Write chosen pages of a file, in the given order, as a new file");
  command->add_option("INPUT", options.Input, "PDF file ('-': standard input)")->required();
  command->add_option("RANGES", options.Ranges, "Pages, such as 1,3-5,12-9,20- (a '-' alone: every page; z the last page, rN the N-th from the end)")->required();
  command->add_option("-o,--output", options.Output, "The new file ('-': standard output)")->required();
  AddPasswordOptions(*command, options.Password);
  AddOutputSettingOptions(*command, options.Settings, SettingsFor::Extract);
  command->add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak");
  command->add_flag("--quiet", options.Quiet, "No progress bar and no closing message");
  return command;
}

int RunExtractCommand(const ExtractCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Extract, japanese, state.Settings, settingsError)) {
    err << settingsError << '\n';
    return kExitUsage;
  }
  std::vector<std::string> inputs{options.Input};
  std::string output = options.Output;
  StreamFiles streams;
  if (!streams.Prepare(inputs, output, options.Password, japanese, err)) return kExitUsage;
  if (RefuseOutputReplacingInput(output, options.Backup, inputs, japanese, err)) return kExitUsage;

  ExtractJob job;
  job.InputPath = inputs[0];
  job.OutputPath = output;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  job.Backup = options.Backup;
  // An open end ("20-") or a page from the end ("z") is resolved with the page count of the job's
  // own opening of the input.
  PageRangeResult pages;
  auto pagesOfCount = [&](int pageCount, std::vector<int>& pageIndexList) {
    pages = ParseCommandRanges(options.Ranges, pageCount);
    pageIndexList.assign(pages.PageIndexList.begin(), pages.PageIndexList.end());
    return pages.Error == PageRangeError::None;
  };
  if (RangesNeedPageCount(options.Ranges)) {
    job.PagesOfCount = pagesOfCount;
  } else if (!pagesOfCount(-1, job.PageIndexList)) {
    err << PageRangeErrorText(pages, japanese) << '\n';
    return kExitUsage;
  }

  JobRun run(state, options.Password, japanese, options.Quiet);
  const int result = run.Run([&] { return RunExtract(state, job); });
  if (result == kExtractOutputFailed) ExplainOutputFailure(state, japanese, err);
  if (result == kExtractFailed) ExplainReadFailure(state, japanese, err);

  const Outcome outcome = OutcomeOf(result, state);
  if (outcome.Message && (result != kExtractDone || !options.Quiet)) {
    if (result == kExtractPageBeyondEnd && pages.Error != PageRangeError::None) {
      err << PageRangeErrorText(pages, japanese) << '\n';
    } else if (result == kExtractPageBeyondEnd) {
      err << Text(TextId::BadPageInput, japanese) << '"' << pages.Normalized << "\"\n";
    } else {
      err << Text(*outcome.Message, japanese) << '\n';
    }
  }
  if (result == kExtractPasswordFailed) run.ExplainPasswordFailure(err);
  if (result == kExtractDone && !streams.Deliver(japanese, err)) return kExitOutput;
  return outcome.Status;
}

}  // namespace folvex::cli
