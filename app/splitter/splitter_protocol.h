// What passes between the main program and the companion splitter: the launch command lines, the
// option words and the list file's text, both as written and as the splitter reads them back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/job_settings.h"

namespace folvex {

// The three launches.
enum class SplitLaunch {
  AllPages,   // Split All Pages on one file; not watched
  RunFile,    // one file of a several-file run; the splitter reports back to the window
  PageInput,  // Split Page Input; not watched
};

// "/jp" or "/us" when the program's language was forced on its command line, else nothing.
std::string SplitterLanguagePrefix(bool languageForced, bool japanese);

// The command line of a launch. target is the input path for versions below 1000 and the list
// file's name for the list-file forms; window is the main window's handle.
std::string SplitterCommandLine(SplitLaunch launch, int version, std::string_view languagePrefix,
                                std::string_view target, std::uint64_t window);

// True when the launch at this version hands over a list file.
bool UsesListFile(int version);

// The option words of the split settings (scale, layout, direction, outline keeping, page mode,
// kept annotations). Only the list file carries them.
std::string SplitterOptionWords(const OutputSettings& settings);

// The list file's text: the option words, "\n", the input path, "\n".
std::string SplitListText(const OutputSettings& settings, std::string_view inputPath);

// --- The splitter's side ---

// A command line as the splitter reads it.
struct SplitterCommand {
  SplitLaunch Launch = SplitLaunch::AllPages;
  bool ListFile = false;        // the "-B" forms: Target names a list file
  bool LanguageForced = false;
  bool Japanese = false;
  std::uint64_t Window = 0;     // 0: nobody to notify
  std::string Target;           // input path or list file name, as given
};

// Parses "[/jp|/us]-Auto P", "-Ac%d P", "-Autop P", "-Bu L", "-Bc%d L", "-Bp L". Leading and
// trailing blanks and quotes around the target are dropped. Nothing for any other text.
std::optional<SplitterCommand> ParseSplitterCommandLine(std::string_view commandLine);

// The list file's content as read back: the settings its option words give (the fields the words
// do not name keep their initial values) and the input path. Nothing when the text has no path
// line or an option word is not recognised.
struct SplitList {
  OutputSettings Settings;
  std::string InputPath;
};
std::optional<SplitList> ParseSplitListText(std::string_view text);

}  // namespace folvex
