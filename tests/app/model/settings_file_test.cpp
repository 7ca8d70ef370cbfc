// Folvex.ini: every key read, defaulted and written back through the whole file's text; the text
// of other code pages; the file on disk at start and at the end.
#include "app/model/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engine/assembly/output_settings.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

const std::string kColours16 = " 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 "
                               "16777215 16777215 16777215 16777215 16777215 16777215";

// What a file without any key is written back as: every key in its place with its default.
const std::string kDefaults =
    "[General]\nPosition=\nInputFolder=\nOutputFolder=\nColumns=\n"
    "[Processing]\nOrgFileDelete=On\nNewFileRecord=On\nNewFileOpen=Off\nFileBackUp=Off\nPageDisp=Off\n"
    "[File Setting]\nDispScale=N\nPageLayout=0\nDirection=0\nOutlineKeepE=0\nPageModeE=0\nOutlineKeepM=0\n"
    "PageModeM=0\nOutlineKeepS=0\nPageModeS=0\nFileToOutline=Off\nOItalic=Off\nOBold=Off\nOColor=0" + kColours16 +
    "\nODown=Off\nOOpen=Off\n[Tomlet]\nTomlet=\n"
    "[Security Setting]\nbPrint=0\nbModify=0\nbCopy=0\nbAdAnnot=0\nbSecFolder=0\n";

// The lines of a written text that are not the defaults' in their place, joined by '|'.
std::string ChangedLines(const std::string& text) {
  std::istringstream written(text), defaults(kDefaults);
  std::string changed;
  for (std::string line, expected; std::getline(defaults, expected);) {
    if (!std::getline(written, line) || line != expected) changed += (changed.empty() ? "" : "|") + line;
  }
  for (std::string line; std::getline(written, line);) changed += "|" + line;
  return changed;
}

TEST(SettingsFile, EveryKeyIsReadFromItsFirstLineAnywhereAndWrittenInItsPlace) {
  EXPECT_EQ(SettingsText(ParseSettingsText(""), true), kDefaults);
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText("[General]\ngarbage\x01\n[File Setting]\nDispScale=\n"), true)), "");
  // The file, and the one line of the written file that is not the default's when it is not the file.
  struct Case { std::string Text; std::string Line = ""; };
  const Case cases[] = {
      {"Position=10 20 800 600"}, {"InputFolder=C:\\in\r\n", "InputFolder=C:\\in"}, {"OutputFolder=D:\\出力"},
      {"Columns=1 2 3 4"}, {"OrgFileDelete=Off"}, {"NewFileRecord=Off"}, {"NewFileOpen=On"}, {"FileBackUp=On"}, {"PageDisp=On"},
      {"DispScale=150F"}, {"DispScale=1234567890123456789F", "DispScale=123456789012345"}, {"PageLayout=5"}, {"Direction=1"},
      {"OutlineKeepE=2"}, {"PageModeE=6"}, {"OutlineKeepM=1"}, {"PageModeM=3"}, {"OutlineKeepS=1"}, {"PageModeS=2"},
      {"FileToOutline=On"}, {"OItalic=On"}, {"OBold=On"}, {"ODown=On"}, {"OOpen=On"}, {"Tomlet=C:\\T\\Tomlet.exe"},
      {"bPrint=1"}, {"bModify=1"}, {"bCopy=1"}, {"bAdAnnot=1"}, {"bSecFolder=1"},
      // Only "On" and "1" switch on; numbers read as the C runtime's atoi does, saturated.
      {"OBold=on", "OBold=Off"}, {"OBold=On ", "OBold=Off"}, {"bCopy=01", "bCopy=0"}, {"bCopy=On", "bCopy=0"},
      {"PageModeS=12abc", "PageModeS=12"}, {"PageModeS=abc", "PageModeS=0"}, {"PageModeS= -2", "PageModeS=-2"},
      {"PageModeS=99999999999999", "PageModeS=2147483647"}, {"PageModeS=-99999999999999", "PageModeS=-2147483648"},
      // The first "Key=" anywhere wins, whatever section or comment it stands in.
      {"[General]\nOrgFileDelete=Off\n[Processing]\nOrgFileDelete=On\n", "OrgFileDelete=Off"},
      {"; note PageLayout=3\nPageLayout=1\n", "PageLayout=3"}, {"[Unknown]\nDirection=2", "Direction=2"},
      // A text that is not UTF-8 is read as Windows-1252.
      {"InputFolder=C:\\Caf\xE9\x80\r\n", "InputFolder=C:\\Caf\xC3\xA9\xE2\x82\xAC"}, {"InputFolder=\xC0\x80", "InputFolder=\xC3\x80\xE2\x82\xAC"},
      // The outline colour, then 16 custom colours; a list that ends early repeats its last number.
      {"OColor=255 0", "OColor=255 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"}, {"OColor=1 2 3", "OColor=1 2 3 3 3 3 3 3 3 3 3 3 3 3 3 3 3"},
      {"OColor=0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18", "OColor=0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16"},
      {"OColor=9  4", "OColor=9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 9"}, {"OColor=x 1", "OColor=0" + kColours16},
      {"OColor=-5 1", "OColor=0" + kColours16}, {"OColor=7 -1", "OColor=7 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1"},
  };
  for (const Case& c : cases) {
    const std::string line = c.Line.empty() ? c.Text : c.Line;  // nothing changed when it is the default's own
    EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(c.Text), true)), kDefaults.find("\n" + line + "\n") == std::string::npos ? line : "")
        << c.Text;
  }
  // Windows line ends read the same; without a splitter its path is not kept.
  std::string crlf = SettingsText(ParseSettingsText("Tomlet=C:\\T\\Tomlet.exe"), true);
  for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.insert(at, "\r");
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(crlf), true)), "Tomlet=C:\\T\\Tomlet.exe");
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(crlf), false)), "");
  // A text that is not UTF-8 goes through the caller's decoder when one is given.
  const auto decoder = [](std::string_view) { return std::string("InputFolder=X"); };
  EXPECT_EQ(ParseSettingsText("InputFolder=\x8F\xA0\n", decoder).InputFolder, "X");
  // A value with a line break cannot add a key of its own.
  AppSettings s = ParseSettingsText("");
  s.Tomlet = "/tmp/x\nbPrint=1";
  EXPECT_EQ(ChangedLines(SettingsText(ParseSettingsText(SettingsText(s, true)), true)), "Tomlet=/tmp/x");
}

TEST(SettingsFile, OnDiskAtStartAndAtTheEnd) {
  const std::string folder = testing::TempDir() + "/settings";
  std::filesystem::create_directories(folder);
  // The first start creates the default file and starts in the folder, with the built-in OOpen.
  AppSettings s;
  s.PageDisp = true;
  ASSERT_TRUE(LoadSettings(folder, s));
  const std::string path = SettingsFilePath(folder);
  EXPECT_EQ(testing::ReadFile(path), DefaultSettingsText());
  EXPECT_EQ(s.InputFolder + "|" + s.OutputFolder + "|" + std::to_string(s.PageDisp) + std::to_string(s.Output.OOpen),
            folder + "|" + folder + "|01");
  AppSettings again;
  ASSERT_TRUE(LoadSettings(folder + "/", again));
  EXPECT_EQ(ChangedLines(SettingsText(again, true)), "") << "the next start reads the file it made";

  s.bModify = true;
  s.OutputFolder = folder + "/出力";
  ASSERT_TRUE(SaveSettingsFile(path, s, true));
  EXPECT_EQ(ChangedLines(testing::ReadFile(path)), ChangedLines(SettingsText(s, true)));
  ASSERT_TRUE(ReadSettingsFile(path, again));
  EXPECT_EQ(ChangedLines(SettingsText(again, true)), ChangedLines(SettingsText(s, true)));
  EXPECT_FALSE(ReadSettingsFile(folder + "/missing.ini", again));
  EXPECT_FALSE(SaveSettingsFile(folder + "/no/such/Folvex.ini", s, true));
  again.PageDisp = true;
  EXPECT_FALSE(LoadSettings(folder + "/no/such", again));
  EXPECT_FALSE(again.PageDisp);

  // A settings file made read-only is not replaced (even where the user could): the old settings
  // stay whole and no stray file is left behind.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_FALSE(SaveSettingsFile(path, AppSettings(), false));
  EXPECT_EQ(ChangedLines(testing::ReadFile(path)), ChangedLines(SettingsText(s, true)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace folvex
