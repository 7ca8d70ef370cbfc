#include "cli/failures.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/exit_codes.h"
#include "engine/core/open_file.h"
#include "engine/core/output_file.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace folvex::cli {

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::optional<TextId> RefusalText(SecurityRefusal refusal) {
  switch (refusal) {
    case SecurityRefusal::Unreadable: return TextId::CliRefusedUnreadable;
    case SecurityRefusal::NotStandard: return TextId::CliRefusedNotStandard;
    case SecurityRefusal::Aes: return TextId::CliRefusedCryptFilter;
    case SecurityRefusal::Version:
    case SecurityRefusal::Revision: return TextId::CliRefusedRevision;
    case SecurityRefusal::XrefStreams: return TextId::CliRefusedXrefStreams;
    case SecurityRefusal::None: break;
  }
  return std::nullopt;
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') {
      line += text[i];
      continue;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
    if (i + 1 < text.size()) line += ' ';
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (line.ends_with('.')) line.pop_back();
  if (line.ends_with("。")) line.resize(line.size() - std::strlen("。"));
  return line;
}

void ReportFailure(std::ostream& err, std::string_view path, std::string_view text, std::string_view reason) {
  err << "folvex: " << path << ": " << OneLine(text);
  if (!reason.empty()) err << ": " << OneLine(reason);
  err << '\n';
}

void ReportFailure(std::ostream& err, std::string_view path, TextId text, std::string_view reason, bool japanese) {
  ReportFailure(err, path, Text(text, japanese), reason);
}

std::string SystemReason(int error) { return std::strerror(error); }

std::string InputReason(const std::string& path) {
  std::error_code error;
  if (fs::is_directory(PathOf(path), error)) return SystemReason(EISDIR);
  errno = 0;
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return SystemReason(errno != 0 ? errno : ENOENT);
  std::fclose(file);
  return SystemReason(ENOENT);  // gone since the job looked
}

std::string FolderReason(const std::string& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(PathOf(folder), error);
  if (error) return error.message();
  if (!fs::is_directory(status)) return SystemReason(ENOTDIR);
#ifndef _WIN32
  if (access(folder.c_str(), W_OK | X_OK) != 0) return SystemReason(errno);
#endif
  return {};
}

std::string OutputReason(const std::string& path, bool japanese) {
  const fs::path output = PathOf(path);
  const std::u8string folder = output.has_parent_path() ? output.parent_path().u8string() : u8".";
  if (std::string reason = FolderReason(std::string(folder.begin(), folder.end())); !reason.empty()) return reason;
  std::error_code error;
  const fs::file_status status = fs::status(output, error);
  if (!error && fs::is_directory(status)) return SystemReason(EISDIR);
#ifndef _WIN32
  if (!error && fs::exists(status) && access(path.c_str(), W_OK) != 0) return SystemReason(errno);
#endif
  // The call that failed, once more: the staging file the store begins with (removed at once).
  errno = 0;
  const StagedFile probe(path);
  if (!probe.IsOpen() && errno != 0) return SystemReason(errno);
  return std::string(Text(TextId::CliReasonNotWritten, japanese));
}

std::string PasswordReason(PasswordFailure failure, bool given, bool removing, bool japanese) {
  switch (failure) {
    case PasswordFailure::UserOnly:
      return std::string(Text(removing ? TextId::CliReasonOwnerToRemove : TextId::CliReasonOwnerToChange, japanese));
    case PasswordFailure::NoDistinctOwner: return std::string(Text(TextId::CliReasonNoDistinctOwner, japanese));
    case PasswordFailure::NoMatch:
    case PasswordFailure::None: break;
  }
  return std::string(Text(given ? TextId::CliWrongPassword : TextId::CliNoPassword, japanese));
}

std::string RefusalReason(SecurityRefusal refusal, bool japanese) {
  const std::optional<TextId> text = RefusalText(refusal);
  return text ? std::string(Text(*text, japanese)) : std::string();
}

std::string ReadReason(const EngineState& state, bool japanese) {
  if (state.LastErrorCode == kOutputTooLarge) return OneLine(Text(TextId::OutputTooLarge, japanese));
  if (state.LastErrorCode == -300) return std::string(Text(TextId::CliReasonOutOfMemory, japanese));
  if (state.StreamLimitPassed) return std::string(Text(TextId::CliStreamTooLarge, japanese));
  if (std::string refusal = RefusalReason(state.SecurityJobState.LastRefusal, japanese); !refusal.empty()) return refusal;
  if (state.LastErrorCode == -1000) return std::string(Text(TextId::CliRefusedXrefStreams, japanese));
  return std::string(Text(TextId::CliReasonNotPdf, japanese));
}

int ReadFailureStatus(const EngineState& state) {
  if (state.LastErrorCode == -300) return kExitInternal;
  return state.LastErrorCode == kOutputTooLarge ? kExitOutput : kExitUnreadable;
}

void ReportPageRangeFailure(std::ostream& err, const std::string& path, const PageRangeResult& pages, bool japanese) {
  if (pages.Error == PageRangeError::OnlyOnePage) {
    ReportFailure(err, path, TextId::OnlyOnePage, Text(TextId::CliReasonOnePage, japanese), japanese);
  } else if (pages.Error == PageRangeError::TooManyPages) {
    ReportFailure(err, path, TextId::CantAllocateMemories, Text(TextId::CliReasonOutOfMemory, japanese), japanese);
  } else {
    ReportFailure(err, path, TextId::BadPageInput, '"' + pages.Normalized + '"', japanese);
  }
}

}  // namespace folvex::cli
