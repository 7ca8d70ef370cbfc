#include "app/model/settings_file.h"

#include <cstdio>
#include <memory>

#include "engine/core/open_file.h"
#include "engine/core/output_file.h"

namespace folvex {

namespace {

constexpr std::size_t kDispScaleMaxLength = 15;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal conversion as the C runtime's atoi does it (leading blanks, a sign, digits up to the first
// non-digit, 0 when there are none), saturated at the 32-bit limits.
int32_t ToInt(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  int64_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    value = value * 10 + (text[pos++] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

int32_t ToInt(std::string_view text) {
  std::size_t pos = 0;
  return ToInt(text, pos);
}

// The value of the first "key=" in the text: the rest of its line.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view key) {
  const std::string pattern = std::string(key) + '=';
  const std::size_t at = text.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t begin = at + pattern.size();
  const std::size_t end = text.find_first_of("\r\n", begin);
  return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::string TextValue(std::string_view text, std::string_view key) {
  return std::string(FindValue(text, key).value_or(""));
}

bool OnOffValue(std::string_view text, std::string_view key, bool missing) {
  const auto value = FindValue(text, key);
  return value ? *value == "On" : missing;
}

int32_t IntValue(std::string_view text, std::string_view key) {
  const auto value = FindValue(text, key);
  return value ? ToInt(*value) : 0;
}

// At most max bytes, cut before a partial UTF-8 character.
std::string Truncated(std::string text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

// "OColor=outline c1 c2 ... c16": a list that ends early repeats its last number.
void ReadColours(std::string_view text, OutputSettings& output) {
  const auto value = FindValue(text, "OColor");
  if (!value || value->empty() || !IsDigit(value->front())) return;
  std::size_t pos = 0;
  int32_t last = ToInt(*value, pos);
  output.OColor = static_cast<uint32_t>(last);
  bool listGoesOn = true;
  for (uint32_t& colour : output.CustomColors) {
    if (listGoesOn) {
      const std::string_view rest = value->substr(pos);
      const bool number = rest.size() >= 2 && rest[0] == ' ' &&
                          (IsDigit(rest[1]) || (rest[1] == '-' && rest.size() >= 3 && IsDigit(rest[2])));
      if (number) {
        ++pos;
        last = ToInt(*value, pos);
      } else {
        listGoesOn = false;
      }
    }
    colour = static_cast<uint32_t>(last);
  }
}

// A value on one line of its own: anything from a line break on would be read as further keys.
std::string_view OneLine(std::string_view value) { return value.substr(0, value.find_first_of("\r\n")); }

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
  out.append(key).append("=").append(OneLine(value)).append("\n");
}

void AppendOnOff(std::string& out, std::string_view key, bool on) { AppendLine(out, key, on ? "On" : "Off"); }

void AppendOneZero(std::string& out, std::string_view key, bool on) { AppendLine(out, key, on ? "1" : "0"); }

void AppendInt(std::string& out, std::string_view key, int32_t value) { AppendLine(out, key, std::to_string(value)); }

// Four numbers as "%d %d %d %d" reads them; nothing but blanks may follow.
std::optional<std::array<int32_t, 4>> FourNumbers(std::string_view text) {
  std::array<int32_t, 4> numbers{};
  std::size_t pos = 0;
  for (int32_t& number : numbers) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    std::size_t digits = pos;
    if (digits < text.size() && (text[digits] == '-' || text[digits] == '+')) ++digits;
    if (digits == text.size() || !IsDigit(text[digits])) return std::nullopt;
    number = ToInt(text, pos);
  }
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  if (pos != text.size()) return std::nullopt;
  return numbers;
}

// Stores the text whole under a temporary name and then replaces the file, so that a full disk or
// a failed write never destroys the settings already there. Lines end in CR LF on Windows, as a
// text file there should.
bool WriteSettingsText(const std::string& path, std::string_view text) {
#ifdef _WIN32
  std::string lines;
  for (char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  return StoreFile(path, lines);
#else
  return StoreFile(path, text);
#endif
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  // 0x80 to 0x9F; the five bytes without a character stay the C1 controls of the same number.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::wstring wide;
  wide.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    wide.push_back(static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte));
  }
  return WideToUtf8(wide);
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const uint32_t lowest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return false;
    i += length;
  }
  return true;
}

std::string_view DefaultSettingsText() {
  return "[General]\nPosition=\nInputFolder=\nOutputFolder=\nColumns=\n"
         "[Processing]\nOrgFileDelete=On\nNewFileRecord=On\nNewFileOpen=Off\nFileBackUp=Off\nPageDisp=Off\n"
         "[File Setting]\nDispScale=N\n"
         "[Tomlet]\nTomlet=\n"
         "[Security Setting]\nbPrint=0\nbModify=0\nbCopy=0\nbAdAnnot=0\nbSecFolder=0\n";
}

AppSettings ParseSettingsText(std::string_view bytes, LegacyTextDecoder decode) {
  const bool legacy = !IsValidUtf8(bytes);
  const std::string decoded = legacy ? decode(bytes) : std::string();
  const std::string_view text = legacy ? std::string_view(decoded) : bytes;

  AppSettings settings;
  settings.Position = TextValue(text, "Position");
  settings.InputFolder = TextValue(text, "InputFolder");
  settings.OutputFolder = TextValue(text, "OutputFolder");
  settings.Columns = TextValue(text, "Columns");

  settings.OrgFileDelete = OnOffValue(text, "OrgFileDelete", true);
  settings.NewFileRecord = OnOffValue(text, "NewFileRecord", true);
  settings.NewFileOpen = OnOffValue(text, "NewFileOpen", false);
  settings.FileBackUp = OnOffValue(text, "FileBackUp", false);
  settings.PageDisp = OnOffValue(text, "PageDisp", false);

  OutputSettings& output = settings.Output;
  output.DispScale = Truncated(TextValue(text, "DispScale"), kDispScaleMaxLength);
  if (output.DispScale.empty()) output.DispScale = "N";
  output.PageLayout = IntValue(text, "PageLayout");
  output.Direction = IntValue(text, "Direction");
  output.OutlineKeepE = IntValue(text, "OutlineKeepE");
  output.PageModeE = IntValue(text, "PageModeE");
  output.OutlineKeepM = IntValue(text, "OutlineKeepM");
  output.PageModeM = IntValue(text, "PageModeM");
  output.OutlineKeepS = IntValue(text, "OutlineKeepS");
  output.PageModeS = IntValue(text, "PageModeS");
  output.FileToOutline = OnOffValue(text, "FileToOutline", false);
  output.OItalic = OnOffValue(text, "OItalic", false);
  output.OBold = OnOffValue(text, "OBold", false);
  ReadColours(text, output);
  output.ODown = OnOffValue(text, "ODown", false);
  output.OOpen = OnOffValue(text, "OOpen", false);
  output.KeepAnnots = OnOffValue(text, "KeepAnnots", false);

  settings.Tomlet = TextValue(text, "Tomlet");

  settings.bPrint = TextValue(text, "bPrint") == "1";
  settings.bModify = TextValue(text, "bModify") == "1";
  settings.bCopy = TextValue(text, "bCopy") == "1";
  settings.bAdAnnot = TextValue(text, "bAdAnnot") == "1";
  settings.bSecFolder = TextValue(text, "bSecFolder") == "1";
  return settings;
}

std::string SettingsText(const AppSettings& settings, bool splitterAvailable) {
  std::string out = "[General]\n";
  AppendLine(out, "Position", settings.Position);
  AppendLine(out, "InputFolder", settings.InputFolder);
  AppendLine(out, "OutputFolder", settings.OutputFolder);
  AppendLine(out, "Columns", settings.Columns);

  out += "[Processing]\n";
  AppendOnOff(out, "OrgFileDelete", settings.OrgFileDelete);
  AppendOnOff(out, "NewFileRecord", settings.NewFileRecord);
  AppendOnOff(out, "NewFileOpen", settings.NewFileOpen);
  AppendOnOff(out, "FileBackUp", settings.FileBackUp);
  AppendOnOff(out, "PageDisp", settings.PageDisp);

  const OutputSettings& output = settings.Output;
  out += "[File Setting]\n";
  AppendLine(out, "DispScale", output.DispScale);
  AppendInt(out, "PageLayout", output.PageLayout);
  AppendInt(out, "Direction", output.Direction);
  AppendInt(out, "OutlineKeepE", output.OutlineKeepE);
  AppendInt(out, "PageModeE", output.PageModeE);
  AppendInt(out, "OutlineKeepM", output.OutlineKeepM);
  AppendInt(out, "PageModeM", output.PageModeM);
  AppendInt(out, "OutlineKeepS", output.OutlineKeepS);
  AppendInt(out, "PageModeS", output.PageModeS);
  AppendOnOff(out, "FileToOutline", output.FileToOutline != 0);
  AppendOnOff(out, "OItalic", output.OItalic != 0);
  AppendOnOff(out, "OBold", output.OBold != 0);
  std::string colours = std::to_string(static_cast<int32_t>(output.OColor));
  for (uint32_t colour : output.CustomColors) colours += ' ' + std::to_string(static_cast<int32_t>(colour));
  AppendLine(out, "OColor", colours);
  AppendOnOff(out, "ODown", output.ODown != 0);
  AppendOnOff(out, "OOpen", output.OOpen != 0);
  AppendOnOff(out, "KeepAnnots", output.KeepAnnots != 0);

  out += "[Tomlet]\n";
  AppendLine(out, "Tomlet", splitterAvailable ? std::string_view(settings.Tomlet) : std::string_view());

  out += "[Security Setting]\n";
  AppendOneZero(out, "bPrint", settings.bPrint);
  AppendOneZero(out, "bModify", settings.bModify);
  AppendOneZero(out, "bCopy", settings.bCopy);
  AppendOneZero(out, "bAdAnnot", settings.bAdAnnot);
  AppendOneZero(out, "bSecFolder", settings.bSecFolder);
  return out;
}

std::string SettingsFilePath(const std::string& startDirectory) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  std::string path = startDirectory;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += kSeparator;
  return path + "Folvex.ini";
}

bool ReadSettingsFile(const std::string& path, AppSettings& out, LegacyTextDecoder decode) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFile(path, "rb"), &std::fclose);
  if (!file) return false;
  std::string text;
  char buffer[16384];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
  out = ParseSettingsText(text, decode);
  return true;
}

bool LoadSettings(const std::string& startDirectory, AppSettings& out, LegacyTextDecoder decode) {
  const std::string path = SettingsFilePath(startDirectory);
  if (ReadSettingsFile(path, out, decode)) return true;
  out = AppSettings();
  if (!WriteSettingsText(path, DefaultSettingsText())) return false;
  out.InputFolder = startDirectory;
  out.OutputFolder = startDirectory;
  return true;
}

bool SaveSettingsFile(const std::string& path, const AppSettings& settings, bool splitterAvailable) {
  return WriteSettingsText(path, SettingsText(settings, splitterAvailable));
}

std::optional<WindowPosition> WindowPositionOf(std::string_view position) {
  const auto numbers = FourNumbers(position);
  if (!numbers || (*numbers)[2] <= 0 || (*numbers)[3] <= 0) return std::nullopt;
  return WindowPosition{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]};
}

std::string PositionText(const WindowPosition& position) {
  return std::to_string(position.Left) + ' ' + std::to_string(position.Top) + ' ' + std::to_string(position.Width) +
         ' ' + std::to_string(position.Height);
}

std::array<int32_t, 4> ColumnWidthsOf(std::string_view columns, bool japanese) {
  const auto numbers = FourNumbers(columns);
  if (numbers && (*numbers)[0] > 0 && (*numbers)[1] > 0 && (*numbers)[2] > 0 && (*numbers)[3] > 0) return *numbers;
  return {110, 200, 105, japanese ? 60 : 80};
}

std::string ColumnsText(const std::array<int32_t, 4>& widths) {
  return std::to_string(widths[0]) + ' ' + std::to_string(widths[1]) + ' ' + std::to_string(widths[2]) + ' ' +
         std::to_string(widths[3]);
}

}  // namespace folvex
