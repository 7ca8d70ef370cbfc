// The output document settings of extract and merge as command-line options, applied over the
// settings read from a Folvex.ini (--settings) or the defaults.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "engine/core/job_settings.h"

namespace folvex::cli {

struct OutputSettingOptions {
  std::string SettingsFile;
  std::optional<std::string> OpenView;   // none, fit, width, height, inherit, or a zoom percentage (150, 150F)
  // The words typed (see AddOutputSettingOptions for each one's words).
  std::optional<std::string> Layout;
  std::optional<std::string> Direction;
  std::optional<std::string> Outlines;
  std::optional<std::string> PageMode;
  bool KeepAnnotations = false;
  // merge only
  bool FileOutlines = false;
  bool OutlineBold = false;
  bool OutlineItalic = false;
  std::optional<std::string> OutlineColor;  // RRGGBB
  bool OutlinesUnderFiles = false;
  bool FileOutlinesClosed = false;
};

enum class SettingsFor { Extract, Merge, Split };

void AddOutputSettingOptions(CLI::App& command, OutputSettingOptions& options, SettingsFor use);

// The settings file's output settings (or the defaults when none is given) with the options
// applied. Returns false with the failure line in error when the settings file cannot be read.
bool ResolveOutputSettings(const OutputSettingOptions& options, SettingsFor use, bool japanese,
                           OutputSettings& settings, std::string& error);

}  // namespace folvex::cli
