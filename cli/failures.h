// The failure lines of the folvex command: "folvex: PATH: TEXT: REASON", TEXT one of the program's
// own texts and REASON the system's error text or the engine's cause.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "app/commands/page_ranges.h"
#include "app/text/texts.h"
#include "engine/core/engine_state.h"

namespace folvex::cli {

// The text on one line: each line break with the spaces around it becomes one space, and a
// closing full stop goes.
std::string OneLine(std::string_view text);

void ReportFailure(std::ostream& err, std::string_view path, std::string_view text, std::string_view reason);
void ReportFailure(std::ostream& err, std::string_view path, TextId text, std::string_view reason, bool japanese);

// The system's text for an errno value.
std::string SystemReason(int error);

// Why path does not open for reading: the system's text of the failing open.
std::string InputReason(const std::string& path);

// Why no new file can be made in folder: the system's text of the first check that fails (it
// exists, is a folder and may be written), or empty when they all pass.
std::string FolderReason(const std::string& folder);

// Why a new file at path cannot be stored: the system's text of the first of the calls a new
// file there needs that fails (its folder exists and may be written, a file of its name may be
// replaced), or a plain statement when they all pass (the disk refused the bytes).
std::string OutputReason(const std::string& path, bool japanese);

// Why no password opened a protected input. given: a password came from the options; removing:
// the job removes the protection.
std::string PasswordReason(PasswordFailure failure, bool given, bool removing, bool japanese);

// Why a protected input was refused, or empty for SecurityRefusal::None.
std::string RefusalReason(SecurityRefusal refusal, bool japanese);

// Why an input could not be read, from what the job left in state.
std::string ReadReason(const EngineState& state, bool japanese);

// The exit status of a job that failed for what ReadReason tells.
int ReadFailureStatus(const EngineState& state);

// A page range the file does not have, or a file of one page.
void ReportPageRangeFailure(std::ostream& err, const std::string& path, const PageRangeResult& pages, bool japanese);

}  // namespace folvex::cli
