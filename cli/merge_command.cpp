#include "cli/merge_command.h"

#include <optional>

#include "app/text/texts.h"
#include "cli/command_ranges.h"
#include "cli/exit_codes.h"
#include "cli/job_output.h"
#include "cli/standard_streams.h"
#include "engine/assembly/merge.h"
#include "engine/core/document_texts.h"

namespace folvex::cli {

namespace {

struct Outcome {
  int Status;
  std::optional<TextId> Message;
  bool NamesInput;  // the failing input's path follows the message
};

Outcome OutcomeOf(int result, const EngineState& state) {
  switch (result) {
    case kMergeDone: return {kExitSuccess, TextId::MergeDone, false};
    case kMergeInputMissing: return {kExitNotFound, TextId::FileNotFoundAt, true};
    case kMergeOutputFailed: return {kExitOutput, TextId::CannotSave, false};
    case kMergeCancelled: return {kExitCancelled, std::nullopt, false};
    case kMergePasswordFailed: return {kExitPassword, TextId::MergePasswordFailed, true};
    case kMergeNotPermitted: return {kExitNotPermitted, TextId::MergeNotPermitted, true};
    case kMergeDifferentSecurity: return {kExitDifferentSecurity, TextId::MergeDifferentSecurity, true};
    case kMergeBadPages: return {kExitUsage, TextId::BadPageInput, true};
    default: break;
  }
  if (state.LastErrorCode == -1000) return {kExitUnreadable, TextId::FileEncryptedAt, true};
  return {kExitUnreadable, TextId::MergeFailed, true};
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
  command->add_flag("--backup", options.Backup, "Keep an existing output file as NAME.bak");
  command->add_flag("--quiet", options.Quiet, "No progress bar and no closing message");
  return command;
}

int RunMergeCommand(const MergeCommandOptions& options, bool japanese, std::ostream& err) {
  EngineState state;
  std::string settingsError;
  if (!ResolveOutputSettings(options.Settings, SettingsFor::Merge, japanese, state.Settings, settingsError)) {
    err << settingsError << '\n';
    return kExitUsage;
  }
  std::vector<std::string> inputs = options.Inputs;
  std::string output = options.Output;
  StreamFiles streams;
  if (!streams.Prepare(inputs, output, options.Password, japanese, err)) return kExitUsage;
  if (RefuseOutputReplacingInput(output, options.Backup, inputs, japanese, err)) return kExitUsage;

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

  JobRun run(state, options.Password, japanese, options.Quiet);
  const int result = run.Run([&] { return RunMerge(state, job); });
  if (result == kMergeOutputFailed) ExplainOutputFailure(state, japanese, err);
  if (result == kMergeFailed) ExplainReadFailure(state, japanese, err);

  const Outcome outcome = OutcomeOf(result, state);
  if (outcome.Message && (result != kMergeDone || !options.Quiet)) {
    const bool named = outcome.NamesInput && job.JobResultIndex >= 0 &&
                       job.JobResultIndex < static_cast<int>(job.Inputs.size());
    if (result == kMergeBadPages && named) {
      err << PageRangeErrorText(refusedPages, japanese) << '\n'
          << options.Inputs[static_cast<std::size_t>(job.JobResultIndex)] << '\n';
    } else if (outcome.NamesInput && !named) {
      err << Text(TextId::MergeError, japanese) << '\n';
    } else {
      err << Text(*outcome.Message, japanese);
      if (named) err << options.Inputs[static_cast<std::size_t>(job.JobResultIndex)];
      err << '\n';
    }
  }
  if (result == kMergePasswordFailed) run.ExplainPasswordFailure(err);
  if (result == kMergeDone && !streams.Deliver(japanese, err)) return kExitOutput;
  return outcome.Status;
}

}  // namespace folvex::cli
