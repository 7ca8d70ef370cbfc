#include "cli/merge_command.h"

#include <optional>

#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/failures.h"
#include "cli/job_output.h"
#include "cli/standard_streams.h"
#include "engine/assembly/merge.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

// The exit status, the message's text and its reason; the failing input is the job's JobResultIndex.
struct Failure {
  int Status;
  TextId Message;
  std::string Reason;
};

Failure FailureOf(int result, const EngineState& state, const std::string& input, const JobRun& run, bool japanese) {
  if (run.Cancelled()) return {kExitCancelled, TextId::MergeFailed, std::string(Text(TextId::CliReasonCancelled, japanese))};
  const auto text = [japanese](TextId id) { return std::string(Text(id, japanese)); };
  switch (result) {
    case kMergeInputMissing: return {kExitNotFound, TextId::FileNotFound, InputReason(input)};
    case kMergeCancelled: return {kExitCancelled, TextId::MergeFailed, text(TextId::CliReasonCancelled)};
    case kMergePasswordFailed: return {kExitPassword, TextId::MergePasswordFailed, run.PasswordFailureReason()};
    case kMergeNotPermitted: return {kExitNotPermitted, TextId::MergeNotPermitted, text(TextId::CliReasonNoDistinctOwner)};
    case kMergeDifferentSecurity:
      return {kExitDifferentSecurity, TextId::MergeDifferentSecurity, text(TextId::CliReasonDifferentSecurity)};
    default: break;
  }
  const int status = ReadFailureStatus(state);
  return {status, state.LastErrorCode == -1000 ? TextId::FileEncryptedAt : TextId::MergeFailed, ReadReason(state, japanese)};
}

// Gives each --pages to the input before it, in the order of the command line.
void AssignPages(const CLI::App& command, const CLI::Option* inputs, const CLI::Option* pages,
                 MergeCommandOptions& options) {
  options.InputPages.assign(options.Inputs.size(), "");
  std::size_t input = 0, given = 0;
  for (const CLI::Option* option : command.parse_order()) {
    if (option == inputs) ++input;
    if (option != pages) continue;
    if (input == 0) throw CLI::ValidationError("--pages", "comes before the first input it could apply to");
    if (!options.InputPages[input - 1].empty()) {
      throw CLI::ValidationError("--pages", "given twice for " + options.Inputs[input - 1]);
    }
    options.InputPages[input - 1] = options.Pages.at(given++);
  }
}

}  // namespace

CLI::App* AddMergeCommand(CLI::App& app, MergeCommandOptions& options) {
  CLI::App* command = app.add_subcommand("merge", "Join files, in the given order, into a new file");
  CLI::Option* inputs = command->add_option("INPUT", options.Inputs, "PDF files (at least two; '-': standard input)")->required()->expected(2, -1);
  CLI::Option* pages = command->add_option("--pages", options.Pages,
      "Pages of the input just before it, such as 1-3,z (z the last page, rN the N-th from the end); "
      "an input without it is taken whole")->expected(1)->allow_extra_args(false)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command->callback([command, inputs, pages, &options] { AssignPages(*command, inputs, pages, options); });
  command->add_option("-o,--output", options.Output, "The new file ('-': standard output)")->required();
  AddPasswordOptions(*command, options.Password);
  AddOutputSettingOptions(*command, options.Settings, SettingsFor::Merge);
  command->add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak (other names: NAME.bak added)");
  return command;
}

int RunMergeCommand(const MergeCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Merge, japanese, state.Settings, settingsError)) {
    err << settingsError;
    return kExitNotFound;
  }
  std::vector<std::string> inputs = options.Inputs;
  std::string output = options.Output;
  StreamFiles streams;
  if (!streams.Prepare(inputs, output, options.Password, japanese, err)) return kExitUsage;
  if (RefuseOutputReplacingInput(output, options.Backup, inputs, japanese, err)) return kExitOutput;

  MergeJob job;
  PageRangeResult refusedPages;
  for (std::size_t i = 0; i < options.Inputs.size(); ++i) {
    MergeInput& input = job.Inputs.emplace_back(MergeInput{inputs[i]});
    if (i >= options.InputPages.size() || options.InputPages[i].empty()) continue;
    input.PagesOfCount = [&typed = options.InputPages[i], &refusedPages](int pageCount, std::vector<int>& pageIndexList) {
      const PageRangeResult pages = ParseCommandRanges(typed, pageCount);
      if (pages.Error != PageRangeError::None) refusedPages = pages;
      pageIndexList.assign(pages.PageIndexList.begin(), pages.PageIndexList.end());
      return pages.Error == PageRangeError::None;
    };
  }
  job.OutputPath = output;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  job.Backup = options.Backup;

  if (!PasswordFileOpens(options.Password, japanese, err)) return kExitNotFound;
  JobRun run(state, options.Password, japanese, options.Quiet);
  const int result = run.Run([&] { return RunMerge(state, job); });
  if (result == kMergeDone) {
    if (!streams.Deliver(japanese, err)) return kExitOutput;
    if (!options.Quiet) err << Text(TextId::MergeDone, japanese) << '\n';
    return kExitSuccess;
  }
  if (result == kMergeOutputFailed) {
    ReportFailure(err, options.Output, TextId::CannotSave, OutputFailureReason(state, job.OutputPath, japanese), japanese);
    return kExitOutput;
  }
  // The failing input as the user named it; the output when the job does not say which.
  const bool named = job.JobResultIndex >= 0 && job.JobResultIndex < static_cast<int>(job.Inputs.size());
  const std::size_t index = static_cast<std::size_t>(job.JobResultIndex);
  const std::string& path = named ? options.Inputs[index] : options.Output;
  if (result == kMergeBadPages) {
    ReportPageRangeFailure(err, path, refusedPages, japanese);
    return kExitUsage;
  }
  const Failure failure = FailureOf(result, state, named ? job.Inputs[index].Path : path, run, japanese);
  ReportFailure(err, path, failure.Message, failure.Reason, japanese);
  return failure.Status;
}

}  // namespace folvex::cli
