#include "cli/merge_command.h"

#include <optional>

#include "app/text/texts.h"
#include "cli/exit_codes.h"
#include "cli/failures.h"
#include "cli/job_output.h"
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
  const int status = state.LastErrorCode == -300 ? kExitInternal : kExitUnreadable;
  return {status, state.LastErrorCode == -1000 ? TextId::FileEncryptedAt : TextId::MergeFailed, ReadReason(state, japanese)};
}

}  // namespace

CLI::App* AddMergeCommand(CLI::App& app, MergeCommandOptions& options) {
  CLI::App* command = app.add_subcommand("merge", "Join files, in the given order, into a new file");
  command->add_option("INPUT", options.Inputs, "PDF files (at least two)")->required()->expected(2, -1);
  command->add_option("-o,--output", options.Output, "The new file")->required();
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
  if (RefuseOutputReplacingInput(options.Output, options.Backup, options.Inputs, japanese, err)) return kExitOutput;

  MergeJob job;
  for (const std::string& input : options.Inputs) job.Inputs.push_back({input});
  job.OutputPath = options.Output;
  job.CreationDateText = CreationDateText();
  job.ProducerText = ProducerText();
  job.Backup = options.Backup;

  if (!PasswordFileOpens(options.Password, japanese, err)) return kExitNotFound;
  JobRun run(state, options.Password, japanese, options.Quiet);
  const int result = run.Run([&] { return RunMerge(state, job); });
  if (result == kMergeDone) {
    if (!options.Quiet) err << Text(TextId::MergeDone, japanese) << '\n';
    return kExitSuccess;
  }
  if (result == kMergeOutputFailed) {
    ReportFailure(err, job.OutputPath, TextId::CannotSave, OutputFailureReason(state, job.OutputPath, japanese), japanese);
    return kExitOutput;
  }
  // The failing input; the output when the job does not say which.
  const bool named = job.JobResultIndex >= 0 && job.JobResultIndex < static_cast<int>(job.Inputs.size());
  const std::string& path = named ? job.Inputs[static_cast<std::size_t>(job.JobResultIndex)].Path : job.OutputPath;
  const Failure failure = FailureOf(result, state, path, run, japanese);
  ReportFailure(err, path, failure.Message, failure.Reason, japanese);
  return failure.Status;
}

}  // namespace folvex::cli
