// tomlet on Linux: the splitter's command lines from a terminal. Page ranges come from --ranges or
// a prompt on the terminal, progress goes to stderr, Ctrl+C cancels; there is no window to notify.
//
//   tomlet [--ranges RANGES] [/jp|/us]-Auto PATH | -Ac<window> PATH | -Autop PATH
//                                    | -Bu LIST | -Bc<window> LIST | -Bp LIST
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

#include "app/text/texts.h"
#include "engine/core/termination.h"
#include "tools/tomlet/tomlet_job.h"

namespace {

folvex::JobControl* gControl = nullptr;

extern "C" void OnInterrupt(int) {
  if (gControl != nullptr) gControl->CancelFlag.store(3);
}

// The exit status of a notice status: 0 done, 2, 3 and 4 as they are, 5 cancelled, 1 other failures.
int ExitStatusOf(int status) {
  switch (status) {
    case 0:
    case 1: return 0;
    case 2:
    case 3:
    case 4: return status;
    case -2: return 5;
    default: return 1;
  }
}

bool JapaneseLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return std::strncmp(value, "ja", 2) == 0;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string ranges;
  bool rangesGiven = false;
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (line.empty() && argument == "--ranges" && i + 1 < argc) {
      ranges = argv[++i];
      rangesGiven = true;
      continue;
    }
    if (!line.empty()) line += ' ';
    line += argument;
  }
  const std::optional<folvex::SplitterCommand> command = folvex::ParseSplitterCommandLine(line);
  if (!command) {
    std::cerr << "usage: tomlet [--ranges RANGES] [/jp|/us]-Auto PATH | -Ac<window> PATH | -Autop PATH | -Bu LIST | "
                 "-Bc<window> LIST | -Bp LIST\n";
    return 1;
  }
  const bool japanese = command->LanguageForced ? command->Japanese : JapaneseLocale();

  folvex::JobControl control;
  control.Japanese = japanese;
  const bool bar = isatty(STDERR_FILENO) != 0;
  int shown = -1;
  bool lineOpen = false;
  control.ProgressSink = [&](int percent, const std::string& label) {
    if (percent == shown || !bar) return;
    shown = percent;
    // The label without the per-file count the page copy appends.
    const std::string text = label.substr(0, label.find_first_of("0123456789"));
    std::cerr << "\r\033[K" << text << ' ' << percent << "%" << std::flush;
    lineOpen = true;
  };
  gControl = &control;
  // SIGTERM and SIGHUP end the run without leaving a half-written page file; Ctrl+C cancels it.
  folvex::CleanUpOnTermination(nullptr);
  std::signal(SIGINT, OnInterrupt);

  folvex::tomlet::TomletIo io;
  io.Control = &control;
  io.AskPageRanges = [&](int pageCount) -> std::optional<std::string> {
    if (rangesGiven) {
      rangesGiven = false;  // a refused --ranges is not asked again
      return ranges;
    }
    if (isatty(STDIN_FILENO) == 0) return std::nullopt;
    if (lineOpen) std::cerr << '\n';
    lineOpen = false;
    std::cerr << folvex::Text(folvex::TextId::TomletPageInputPrompt, japanese) << " (1-" << pageCount << "): ";
    std::string typed;
    if (!std::getline(std::cin, typed)) return std::nullopt;
    return typed;
  };
  io.ShowRangeError = [](const std::string& message) { std::cerr << message << '\n'; };

  const folvex::tomlet::TomletOutcome outcome = folvex::tomlet::RunTomlet(*command, japanese, io);
  if (lineOpen) std::cerr << '\n';
  const std::string message = folvex::tomlet::StatusMessage(outcome.Status, japanese);
  if (!message.empty()) std::cerr << message << '\n';
  if (outcome.Written > 0) std::cerr << folvex::FormatText(folvex::TextId::CliSplitDone, japanese, outcome.Written) << '\n';
  return ExitStatusOf(outcome.Status);
}
