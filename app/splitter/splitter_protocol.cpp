#include "app/splitter/splitter_protocol.h"

#include <charconv>
#include <vector>

#include "app/splitter/splitter_version.h"
#include "engine/assembly/output_settings.h"
#include "engine/core/path_text.h"

namespace folvex {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

struct OptionWord {
  std::string_view Word;
  int OutputSettings::*Field;
  int Value;
};

constexpr OptionWord kLayoutWords[] = {
    {"/p1", &OutputSettings::PageLayout, 1}, {"/p2l", &OutputSettings::PageLayout, 2},
    {"/p2r", &OutputSettings::PageLayout, 3}, {"/po", &OutputSettings::PageLayout, 4},
    {"/ps", &OutputSettings::PageLayout, 5},
};
constexpr OptionWord kDirectionWords[] = {
    {"/ir", &OutputSettings::Direction, 1}, {"/io", &OutputSettings::Direction, 2},
};
constexpr OptionWord kOutlineWords[] = {
    {"/ok", &OutputSettings::OutlineKeepS, 1}, {"/okt", &OutputSettings::OutlineKeepS, 2},
};
constexpr OptionWord kPageModeWords[] = {
    {"/no", &OutputSettings::PageModeS, 1},   {"/not", &OutputSettings::PageModeS, 2},
    {"/nt", &OutputSettings::PageModeS, 3},   {"/norg", &OutputSettings::PageModeS, 5},
    {"/non", &OutputSettings::PageModeS, 6},
};
constexpr OptionWord kAnnotationWords[] = {
    {"/ka", &OutputSettings::KeepAnnots, 1},
};

template <std::size_t N>
void AppendWordOf(std::string& out, const OptionWord (&words)[N], int value) {
  for (const OptionWord& word : words) {
    if (word.Value == value) {
      out += word.Word;
      out += ' ';
      return;
    }
  }
}

template <std::size_t N>
bool ReadWord(std::string_view token, const OptionWord (&words)[N], OutputSettings& settings) {
  for (const OptionWord& word : words) {
    if (token == word.Word) {
      settings.*word.Field = word.Value;
      return true;
    }
  }
  return false;
}

// "/da", "/dh", "/do", "/dw" or "/d" + a number + an optional "f".
bool ReadScaleWord(std::string_view token, OutputSettings& settings) {
  if (token.size() < 3 || token.substr(0, 2) != "/d") return false;
  const std::string_view rest = token.substr(2);
  if (rest == "a" || rest == "h" || rest == "o" || rest == "w") {
    settings.DispScale = std::string(1, static_cast<char>(rest.front() - 'a' + 'A'));
    return true;
  }
  std::string_view digits = rest;
  const bool fit = !digits.empty() && digits.back() == 'f';
  if (fit) digits.remove_suffix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < 0) return false;
  settings.DispScale = std::to_string(value) + (fit ? "F" : "");
  return true;
}

}  // namespace

std::string SplitterLanguagePrefix(bool languageForced, bool japanese) {
  if (!languageForced) return std::string();
  return japanese ? "/jp" : "/us";
}

bool UsesListFile(int version) { return version >= kSplitterListFileVersion; }

std::string SplitterCommandLine(SplitLaunch launch, int version, std::string_view languagePrefix,
                                std::string_view target, std::uint64_t window) {
  const bool list = UsesListFile(version);
  std::string line(languagePrefix);
  switch (launch) {
    case SplitLaunch::AllPages:
      line += list ? "-Bu " : "-Auto ";
      break;
    case SplitLaunch::RunFile:
      line += list ? "-Bc" : "-Ac";
      line += std::to_string(window);
      line += ' ';
      break;
    case SplitLaunch::PageInput:
      line += list ? "-Bp " : "-Autop ";
      break;
  }
  line += target;
  return line;
}

std::string SplitterOptionWords(const OutputSettings& settings) {
  std::string words;
  const std::string& scale = settings.DispScale;
  if (!scale.empty() && scale.front() != 'N') {
    switch (scale.front()) {
      case 'A': words += "/da "; break;
      case 'H': words += "/dh "; break;
      case 'O': words += "/do "; break;
      case 'W': words += "/dw "; break;
      default:
        words += "/d" + std::to_string(DispScalePercentage(scale));
        words += DispScaleFitsWindow(scale) ? "f " : " ";
        break;
    }
  }
  AppendWordOf(words, kLayoutWords, settings.PageLayout);
  AppendWordOf(words, kDirectionWords, settings.Direction);
  AppendWordOf(words, kOutlineWords, settings.OutlineKeepS);
  AppendWordOf(words, kPageModeWords, settings.PageModeS);
  AppendWordOf(words, kAnnotationWords, settings.KeepAnnots);
  return words;
}

std::string SplitListText(const OutputSettings& settings, std::string_view inputPath) {
  std::string text = SplitterOptionWords(settings);
  text += '\n';
  text += inputPath;
  text += '\n';
  return text;
}

std::optional<SplitterCommand> ParseSplitterCommandLine(std::string_view commandLine) {
  std::string_view rest = Trimmed(commandLine);
  SplitterCommand command;
  if (StartsWithIgnoringCase(rest, "/jp") || StartsWithIgnoringCase(rest, "/us")) {
    command.LanguageForced = true;
    command.Japanese = StartsWithIgnoringCase(rest, "/jp");
    rest.remove_prefix(3);
  }
  struct Form {
    std::string_view Word;
    SplitLaunch Launch;
    bool ListFile;
  };
  // "-Autop " before "-Auto ", and the run forms carry the window handle before their blank.
  constexpr Form kForms[] = {
      {"-Autop ", SplitLaunch::PageInput, false}, {"-Auto ", SplitLaunch::AllPages, false},
      {"-Ac", SplitLaunch::RunFile, false},       {"-Bu ", SplitLaunch::AllPages, true},
      {"-Bc", SplitLaunch::RunFile, true},        {"-Bp ", SplitLaunch::PageInput, true},
  };
  for (const Form& form : kForms) {
    if (rest.substr(0, form.Word.size()) != form.Word) continue;
    rest.remove_prefix(form.Word.size());
    command.Launch = form.Launch;
    command.ListFile = form.ListFile;
    if (form.Launch == SplitLaunch::RunFile) {
      const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), command.Window);
      if (error != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != ' ') {
        return std::nullopt;
      }
      rest.remove_prefix(static_cast<std::size_t>(end - rest.data()) + 1);
    }
    command.Target = std::string(Trimmed(rest));
    if (command.Target.empty()) return std::nullopt;
    return command;
  }
  return std::nullopt;
}

std::optional<SplitList> ParseSplitListText(std::string_view text) {
  const std::size_t firstEnd = text.find('\n');
  if (firstEnd == std::string_view::npos) return std::nullopt;
  std::string_view words = text.substr(0, firstEnd);
  std::string_view path = text.substr(firstEnd + 1);
  if (const std::size_t pathEnd = path.find('\n'); pathEnd != std::string_view::npos) path = path.substr(0, pathEnd);
  if (!path.empty() && path.back() == '\r') path.remove_suffix(1);
  if (!words.empty() && words.back() == '\r') words.remove_suffix(1);
  if (path.empty()) return std::nullopt;

  SplitList list;
  list.InputPath = std::string(path);
  std::size_t at = 0;
  while (at < words.size()) {
    if (words[at] == ' ') {
      ++at;
      continue;
    }
    std::size_t end = words.find(' ', at);
    if (end == std::string_view::npos) end = words.size();
    const std::string_view token = words.substr(at, end - at);
    at = end;
    if (ReadScaleWord(token, list.Settings) || ReadWord(token, kLayoutWords, list.Settings) ||
        ReadWord(token, kDirectionWords, list.Settings) || ReadWord(token, kOutlineWords, list.Settings) ||
        ReadWord(token, kPageModeWords, list.Settings) || ReadWord(token, kAnnotationWords, list.Settings)) {
      continue;
    }
    return std::nullopt;
  }
  return list;
}

}  // namespace folvex
