// Folvex.ini: the program's settings, read once at start and written once at the end.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/job_settings.h"

namespace folvex {

struct AppSettings {
  // [General]
  std::string Position;  // "left top width height" of the main window, as read or as last collected
  std::string InputFolder;
  std::string OutputFolder;
  std::string Columns;   // the four column widths, "%d %d %d %d"
  // [Processing]
  bool OrgFileDelete = true;
  bool NewFileRecord = true;
  bool NewFileOpen = false;
  bool FileBackUp = false;
  bool PageDisp = false;
  // [File Setting]
  OutputSettings Output;
  // [Tomlet]
  std::string Tomlet;
  // [Security Setting]
  bool bPrint = false;
  bool bModify = false;
  bool bCopy = false;
  bool bAdAnnot = false;
  bool bSecFolder = false;
};

// Turns the bytes of a settings file that is not UTF-8 into UTF-8.
using LegacyTextDecoder = std::string (*)(std::string_view bytes);

// Reads bytes as Windows-1252; the portable stand-in for the system's ANSI code page.
std::string Windows1252ToUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view text);

// The text a missing settings file is created with.
std::string_view DefaultSettingsText();

// The settings a file's text gives: each key from its first "Key=" anywhere in the text (sections
// are not interpreted), the default for every key that is missing. A text that is not valid UTF-8
// is decoded first.
AppSettings ParseSettingsText(std::string_view text, LegacyTextDecoder decode = Windows1252ToUtf8);

// The whole file, every section and key in order, lines ended by "\n". The splitter path is
// written only while the splitter is available.
std::string SettingsText(const AppSettings& settings, bool splitterAvailable);

// startDirectory + "Folvex.ini".
std::string SettingsFilePath(const std::string& startDirectory);

// Reads the file at path into out; false, leaving out alone, when it does not open.
bool ReadSettingsFile(const std::string& path, AppSettings& out, LegacyTextDecoder decode = Windows1252ToUtf8);

// The start-up load: reads Folvex.ini in startDirectory, or creates it with the default text and
// takes the built-in settings with both folders set to startDirectory. False when the file can be
// neither read nor created (out then holds the built-in settings).
bool LoadSettings(const std::string& startDirectory, AppSettings& out, LegacyTextDecoder decode = Windows1252ToUtf8);

// Writes SettingsText to path, replacing the file; false when it cannot be written.
bool SaveSettingsFile(const std::string& path, const AppSettings& settings, bool splitterAvailable);

struct WindowPosition {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// The window rectangle of a Position text: only four numbers with a positive width and height.
std::optional<WindowPosition> WindowPositionOf(std::string_view position);
std::string PositionText(const WindowPosition& position);

// The list's column widths: those of the Columns text when all four are positive, else 110, 200,
// 105 and 60 (Japanese) or 80 (English).
std::array<int32_t, 4> ColumnWidthsOf(std::string_view columns, bool japanese);
std::string ColumnsText(const std::array<int32_t, 4>& widths);

}  // namespace folvex
