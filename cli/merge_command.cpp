#include "cli/merge_command.h"

#include <optional>

#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "cli/job_output.h"
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
    default: break;
  }
  if (state.LastErrorCode == -1000) return {kExitUnreadable, TextId::FileEncryptedAt, true};
  return {kExitUnreadable, TextId::MergeFailed, true};
}

}  // namespace

CLI::App* AddMergeCommand(CLI::App& app, MergeCommandOptions& options) {
  CLI::App* command = app.add_subcommand("merge", "Join files, in the given order, into a new file");
  command->add_option("INPUT", options.Inputs, "PDF files (at least two)")->required()->expected(2, -1);
  command->add_option("-o,--output", options.Output, "The new file")->required();
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
  if (RefuseOutputReplacingInput(options.Output, options.Backup, options.Inputs, japanese, err)) return kExitUsage;

  MergeJob job;
  for (const std::string& input : options.Inputs) job.Inputs.push_back({input});
  job.OutputPath = options.Output;
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
    if (outcome.NamesInput && !named) {
      err << Text(TextId::MergeError, japanese) << '\n';
    } else {
      err << Text(*outcome.Message, japanese);
      if (named) err << job.Inputs[static_cast<std::size_t>(job.JobResultIndex)].Path;
      err << '\n';
    }
  }
  if (result == kMergePasswordFailed) run.ExplainPasswordFailure(err);
  return outcome.Status;
}

}  // namespace folvex::cli
