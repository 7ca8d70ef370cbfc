#include "cli/output_setting_options.h"

#include <map>
#include <vector>
#include <sstream>

#include "app/model/settings_file.h"
#include "app/text/texts.h"
#include "cli/failures.h"

namespace folvex::cli {

namespace {

// Option words and the stored codes they stand for.
const std::map<std::string, int> kLayouts = {{"none", 0},     {"one-column", 1}, {"two-left", 2},
                                             {"two-right", 3}, {"inherit", 4},    {"single", 5}};
const std::map<std::string, int> kDirections = {{"l2r", 0}, {"r2l", 1}, {"inherit", 2}};
const std::map<std::string, int> kOutlines = {{"none", 0}, {"keep", 1}, {"top", 2}};
const std::map<std::string, int> kPageModes = {{"none", 0},    {"outlines", 1}, {"outlines-or-thumbs", 2},
                                               {"thumbs", 3},  {"inherit", 5},  {"outlines-or-none", 6}};

std::string OpenViewCode(const std::string& word) {
  if (word == "none") return "N";
  if (word == "fit") return "A";
  if (word == "width") return "W";
  if (word == "height") return "H";
  if (word == "inherit") return "O";
  return word;
}

std::string OpenViewCheck(const std::string& word) {
  static const char* kWords[] = {"none", "fit", "width", "height", "inherit"};
  for (const char* known : kWords) {
    if (word == known) return {};
  }
  std::size_t digits = 0;
  while (digits < word.size() && word[digits] >= '0' && word[digits] <= '9') ++digits;
  const bool fit = digits + 1 == word.size() && (word.back() == 'F' || word.back() == 'f');
  if (digits > 0 && digits <= 4 && (digits == word.size() || fit)) return {};
  return "expected none, fit, width, height, inherit or a zoom percentage such as 150 or 150F";
}

uint32_t ColourValue(const std::string& hex) {
  const auto rgb = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
  // Stored as a Windows colour: red in the low byte.
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

}  // namespace

void AddOutputSettingOptions(CLI::App& command, OutputSettingOptions& options, SettingsFor use) {
  command.add_option("--settings", options.SettingsFile, "Folvex.ini whose output settings apply");
  command.add_option("--open-view", options.OpenView,
                     "Opening view: none, fit, width, height, inherit, or a zoom percentage (150; 150F also fits "
                     "the window)")
      ->check(OpenViewCheck);
  const auto words = [](const std::map<std::string, int>& table) {
    std::vector<std::string> list;
    for (const auto& [word, code] : table) list.push_back(word);
    return list;
  };
  command.add_option("--layout", options.Layout, "Page layout")->check(CLI::IsMember(words(kLayouts)))->type_name("WORD");
  command.add_option("--direction", options.Direction, "Reading direction")
      ->check(CLI::IsMember(words(kDirections)))
      ->type_name("WORD");
  command.add_option("--outlines", options.Outlines, "Outlines of the input: none, keep, or keep all at top level")
      ->check(CLI::IsMember(words(kOutlines)))
      ->type_name("WORD");
  command.add_option("--page-mode", options.PageMode, "What the viewer shows beside the pages")
      ->check(CLI::IsMember(words(kPageModes)))
      ->type_name("WORD");
  command.add_flag("--keep-annotations", options.KeepAnnotations, "Keep links, comments and form fields of the copied pages");
  if (use != SettingsFor::Merge) return;
  command.add_flag("--file-outlines", options.FileOutlines, "One outline entry per input file, titled with its name");
  command.add_flag("--outline-bold", options.OutlineBold, "File-name entries in bold");
  command.add_flag("--outline-italic", options.OutlineItalic, "File-name entries in italics");
  command.add_option("--outline-color", options.OutlineColor, "Colour of the file-name entries as RRGGBB")
      ->check([](const std::string& value) {
        return value.size() == 6 && value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos
                   ? std::string()
                   : std::string("expected six hexadecimal digits RRGGBB");
      });
  command.add_flag("--outlines-under-files", options.OutlinesUnderFiles,
                   "Kept outlines go one level down, under their file's entry");
  command.add_flag("--file-outlines-closed", options.FileOutlinesClosed,
                   "File-name entries holding lowered outlines start closed");
}

bool ResolveOutputSettings(const OutputSettingOptions& options, SettingsFor use, bool japanese,
                           OutputSettings& settings, std::string& error) {
  settings = OutputSettings{};
  if (!options.SettingsFile.empty()) {
    AppSettings read;
    if (!ReadSettingsFile(options.SettingsFile, read)) {
      std::ostringstream line;
      ReportFailure(line, options.SettingsFile, TextId::CliSettingsUnreadable, InputReason(options.SettingsFile), japanese);
      error = line.str();
      return false;
    }
    settings = read.Output;
  }
  const bool merge = use == SettingsFor::Merge;
  if (options.OpenView) settings.DispScale = OpenViewCode(*options.OpenView);
  if (options.Layout) settings.PageLayout = kLayouts.at(*options.Layout);
  if (options.Direction) settings.Direction = kDirections.at(*options.Direction);
  const bool split = use == SettingsFor::Split;
  if (options.Outlines) {
    (merge ? settings.OutlineKeepM : split ? settings.OutlineKeepS : settings.OutlineKeepE) = kOutlines.at(*options.Outlines);
  }
  if (options.PageMode) {
    (merge ? settings.PageModeM : split ? settings.PageModeS : settings.PageModeE) = kPageModes.at(*options.PageMode);
  }
  if (options.KeepAnnotations) settings.KeepAnnots = 1;
  if (!merge) return true;
  if (options.FileOutlines) settings.FileToOutline = 1;
  if (options.OutlineBold) settings.OBold = 1;
  if (options.OutlineItalic) settings.OItalic = 1;
  if (options.OutlineColor) settings.OColor = ColourValue(*options.OutlineColor);
  if (options.OutlinesUnderFiles) settings.ODown = 1;
  if (options.FileOutlinesClosed) settings.OOpen = 0;
  return true;
}

}  // namespace folvex::cli
