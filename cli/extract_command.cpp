#include "cli/extract_command.h"

#include "app/commands/page_ranges.h"
#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/failures.h"
#include "cli/job_output.h"
#include "cli/standard_streams.h"
#include "engine/assembly/extract.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

// The exit status, the failing file, the message's text and its reason.
struct Failure {
  int Status;
  std::string Path;
  TextId Message;
  std::string Reason;
};

Failure FailureOf(int result, const EngineState& state, const ExtractJob& job, const JobRun& run, bool japanese) {
  if (run.Cancelled()) return {kExitCancelled, job.InputPath, TextId::ExtractFailed, std::string(Text(TextId::CliReasonCancelled, japanese))};
  switch (result) {
    case kExtractInputMissing: return {kExitNotFound, job.InputPath, TextId::FileNotFound, InputReason(job.InputPath)};
    case kExtractOutputFailed:
      return {kExitOutput, job.OutputPath, TextId::CannotSave, OutputFailureReason(state, job.OutputPath, japanese)};
    case kExtractCancelled:
      return {kExitCancelled, job.InputPath, TextId::ExtractFailed, std::string(Text(TextId::CliReasonCancelled, japanese))};
    case kExtractPasswordFailed: return {kExitPassword, job.InputPath, TextId::ExtractFailed, run.PasswordFailureReason()};
    case kExtractNotPermitted:
      return {kExitNotPermitted, job.InputPath, TextId::ExtractNotPermitted,
              std::string(Text(TextId::CliReasonNoDistinctOwner, japanese))};
    default: break;
  }
  const int status = ReadFailureStatus(state);
  return {status, job.InputPath, state.LastErrorCode == -1000 ? TextId::FileEncrypted : TextId::ExtractFailed,
          ReadReason(state, japanese)};
}

}  // namespace

CLI::App* AddExtractCommand(CLI::App& app, ExtractCommandOptions& options) {
  CLI::App* command = app.add_subcommand("extract", "Write chosen pages of a file, in the given order, as a new file");
  command->add_option("INPUT", options.Input, "PDF file ('-': standard input)")->required();
  command->add_option("RANGES", options.Ranges, "Pages, such as 1,3-5,12-9,20- (a '-' alone: every page; z the last page, rN the N-th from the end)")->required();
  command->add_option("-o,--output", options.Output, "The new file ('-': standard output)")->required();
  AddPasswordOptions(*command, options.Password);
  AddOutputSettingOptions(*command, options.Settings, SettingsFor::Extract);
  command->add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak (other names: NAME.bak added)");
  return command;
}

int RunExtractCommand(const ExtractCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Extract, japanese, state.Settings, settingsError)) {
    err << settingsError;
    return kExitNotFound;
  }
  std::vector<std::string> inputs{options.Input};
  std::string output = options.Output;
  StreamFiles streams;
  if (!streams.Prepare(inputs, output, options.Password, japanese, err)) return kExitUsage;
  if (RefuseOutputReplacingInput(output, options.Backup, inputs, japanese, err)) return kExitOutput;

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
    ReportPageRangeFailure(err, options.Input, pages, japanese);
    return kExitUsage;
  }

  if (!PasswordFileOpens(options.Password, japanese, err)) return kExitNotFound;
  JobRun run(state, options.Password, japanese, options.Quiet);
  const int result = run.Run([&] { return RunExtract(state, job); });
  if (result == kExtractDone) {
    if (!streams.Deliver(japanese, err)) return kExitOutput;
    if (!options.Quiet) err << Text(TextId::ExtractDone, japanese) << '\n';
    return kExitSuccess;
  }
  if (result == kExtractOnePage || result == kExtractPageBeyondEnd) {
    if (pages.Error == PageRangeError::None) {
      pages.Error = result == kExtractOnePage ? PageRangeError::OnlyOnePage : PageRangeError::OutOfRange;
      if (pages.Normalized.empty()) pages.Normalized = options.Ranges;
    }
    ReportPageRangeFailure(err, options.Input, pages, japanese);
    return kExitUsage;
  }
  Failure failure = FailureOf(result, state, job, run, japanese);
  // Standard input and output are named as the user gave them, not by their staging files.
  if (failure.Path == job.InputPath) failure.Path = options.Input;
  if (failure.Path == job.OutputPath) failure.Path = options.Output;
  ReportFailure(err, failure.Path, failure.Message, failure.Reason, japanese);
  return failure.Status;
}

}  // namespace folvex::cli
