#include "app/model/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "engine/assembly/output_settings.h"

namespace folvex {
namespace {

const std::array<uint32_t, 16> kWhite = AppSettings().Output.CustomColors;

std::array<uint32_t, 16> Filled(uint32_t colour) {
  std::array<uint32_t, 16> colours{};
  colours.fill(colour);
  return colours;
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SettingsFile, MissingKeysTakeTheirDefaults) {
  for (const char* text : {"", "[General]\n[Processing]\n[File Setting]\nDispScale=\n", "garbage\x01\xFF"}) {
    const AppSettings s = ParseSettingsText(text);
    EXPECT_EQ(s.Position, "");
    EXPECT_EQ(s.Columns, "");
    EXPECT_EQ(s.InputFolder, "");
    EXPECT_TRUE(s.OrgFileDelete);
    EXPECT_TRUE(s.NewFileRecord);
    EXPECT_FALSE(s.NewFileOpen || s.FileBackUp || s.PageDisp);
    EXPECT_EQ(s.Output.DispScale, "N");
    EXPECT_EQ(s.Output.PageLayout, 0);
    EXPECT_EQ(s.Output.PageModeM, 0);
    EXPECT_EQ(s.Output.OColor, 0u);
    EXPECT_EQ(s.Output.CustomColors, kWhite);
    // A file without the key reads as off, although a program without a file starts with it on.
    EXPECT_EQ(s.Output.OOpen, 0);
    EXPECT_EQ(s.Tomlet, "");
    EXPECT_FALSE(s.bPrint || s.bModify || s.bCopy || s.bAdAnnot || s.bSecFolder);
  }
}

TEST(SettingsFile, WritesEveryKeyInOrder) {
  AppSettings s;
  s.Position = "10 20 800 600";
  s.InputFolder = "C:\\in";
  s.OutputFolder = "D:\\出力";
  s.Columns = "110 200 105 80";
  s.OrgFileDelete = false;
  s.PageDisp = true;
  s.Output.DispScale = "150F";
  s.Output.PageLayout = 5;
  s.Output.Direction = 1;
  s.Output.OutlineKeepE = 2;
  s.Output.PageModeE = 6;
  s.Output.OutlineKeepM = 1;
  s.Output.PageModeM = 3;
  s.Output.OutlineKeepS = 1;
  s.Output.PageModeS = 2;
  s.Output.OBold = 1;
  s.Output.OColor = 255;
  s.Output.CustomColors[15] = 0x00FF00;
  s.Output.OOpen = 0;
  s.Tomlet = "C:\\Tomlet\\Tomlet.exe";
  s.bPrint = true;
  s.bSecFolder = true;
  const std::string expected =
      "[General]\nPosition=10 20 800 600\nInputFolder=C:\\in\nOutputFolder=D:\\出力\nColumns=110 200 105 80\n"
      "[Processing]\nOrgFileDelete=Off\nNewFileRecord=On\nNewFileOpen=Off\nFileBackUp=Off\nPageDisp=On\n"
      "[File Setting]\nDispScale=150F\nPageLayout=5\nDirection=1\nOutlineKeepE=2\nPageModeE=6\nOutlineKeepM=1\n"
      "PageModeM=3\nOutlineKeepS=1\nPageModeS=2\nFileToOutline=Off\nOItalic=Off\nOBold=On\n"
      "OColor=255 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 16777215 "
      "16777215 16777215 16777215 16777215 16777215 65280\nODown=Off\nOOpen=Off\n"
      "[Tomlet]\nTomlet=C:\\Tomlet\\Tomlet.exe\n"
      "[Security Setting]\nbPrint=1\nbModify=0\nbCopy=0\nbAdAnnot=0\nbSecFolder=1\n";
  EXPECT_EQ(SettingsText(s, true), expected);

  // Reading the text back gives the same settings, whatever the line ends.
  EXPECT_EQ(SettingsText(ParseSettingsText(expected), true), expected);
  std::string crlf;
  for (char c : expected) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(SettingsText(ParseSettingsText(crlf), true), expected);

  // Without a splitter its path is not kept.
  const std::string withoutSplitter = SettingsText(s, false);
  EXPECT_NE(withoutSplitter.find("[Tomlet]\nTomlet=\n[Security"), std::string::npos);
}

TEST(SettingsFile, KeysAreFoundAnywhereAndTheFirstWins) {
  const AppSettings s = ParseSettingsText(
      "[General]\nOrgFileDelete=Off\n; note PageLayout=3\n[Processing]\nOrgFileDelete=On\nPageLayout=1\n"
      "[Unknown]\nColour=7\nDirection=2\n");
  EXPECT_FALSE(s.OrgFileDelete);
  EXPECT_EQ(s.Output.PageLayout, 3);
  EXPECT_EQ(s.Output.Direction, 2);
}

TEST(SettingsFile, OnlyOnAndOneSwitchOn) {
  struct Case {
    const char* Value;
    bool Processing;
    bool Security;
  };
  for (const Case& c : {Case{"On", true, false}, Case{"1", false, true}, Case{"on", false, false},
                        Case{"ON", false, false}, Case{"On ", false, false}, Case{"01", false, false},
                        Case{"", false, false}, Case{"Off", false, false}}) {
    const AppSettings s =
        ParseSettingsText(std::string("NewFileOpen=") + c.Value + "\nOBold=" + c.Value + "\nbCopy=" + c.Value + "\n");
    EXPECT_EQ(s.NewFileOpen, c.Processing) << c.Value;
    EXPECT_EQ(s.Output.OBold != 0, c.Processing) << c.Value;
    EXPECT_EQ(s.bCopy, c.Security) << c.Value;
  }
}

TEST(SettingsFile, NumbersReadAsTheRuntimeConvertsThem) {
  struct Case {
    const char* Value;
    int32_t Expected;
  };
  for (const Case& c : {Case{"3", 3}, Case{"12abc", 12}, Case{"abc", 0}, Case{"", 0}, Case{"-2", -2},
                        Case{" 4", 4}, Case{"99999999999999", INT32_MAX}, Case{"-99999999999999", INT32_MIN}}) {
    EXPECT_EQ(ParseSettingsText(std::string("PageModeS=") + c.Value + "\r\n").Output.PageModeS, c.Expected)
        << c.Value;
  }
}

TEST(SettingsFile, DisplayScale) {
  struct Case {
    const char* Line;
    const char* DispScale;
    bool AutoFit;
  };
  for (const Case& c : {Case{"DispScale=120f", "120f", true}, Case{"DispScale=120F", "120F", true},
                        Case{"DispScale=120", "120", false}, Case{"DispScale=W", "W", false},
                        Case{"DispScale=", "N", false}, Case{"", "N", false},
                        Case{"DispScale=1234567890123456789F", "123456789012345", false}}) {
    const AppSettings s = ParseSettingsText(c.Line);
    EXPECT_EQ(s.Output.DispScale, c.DispScale) << c.Line;
    EXPECT_EQ(DispScaleFitsWindow(s.Output.DispScale), c.AutoFit) << c.Line;
  }
}

TEST(SettingsFile, OutlineColours) {
  std::array<uint32_t, 16> counted = Filled(16);
  for (uint32_t i = 0; i < 15; ++i) counted[i] = i + 1;
  std::array<uint32_t, 16> shortList = Filled(3);
  shortList[0] = 2;
  struct Case {
    const char* Value;
    uint32_t Outline;
    std::array<uint32_t, 16> Custom;
  };
  for (const Case& c : {Case{"255 0", 255, Filled(0)}, Case{"255", 255, Filled(255)}, Case{"1 2 3", 1, shortList},
                        Case{"0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18", 0, counted},
                        Case{"9  4", 9, Filled(9)}, Case{"9 x", 9, Filled(9)}, Case{"x 1", 0, kWhite},
                        Case{"", 0, kWhite}, Case{"-5 1", 0, kWhite}, Case{"7 -1", 7, Filled(0xFFFFFFFF)}}) {
    const AppSettings s = ParseSettingsText(std::string("OColor=") + c.Value + "\n");
    EXPECT_EQ(s.Output.OColor, c.Outline) << c.Value;
    EXPECT_EQ(s.Output.CustomColors, c.Custom) << c.Value;
  }
}

TEST(SettingsFile, TextThatIsNotUtf8IsReadAsAnsi) {
  const AppSettings legacy = ParseSettingsText("InputFolder=C:\\Caf\xE9\x80\r\nTomlet=C:\\T\\Tomlet.exe\r\n");
  EXPECT_EQ(legacy.InputFolder, "C:\\Caf\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(legacy.Tomlet, "C:\\T\\Tomlet.exe");
  EXPECT_EQ(ParseSettingsText("InputFolder=C:\\書類\n").InputFolder, "C:\\書類");
  const AppSettings custom =
      ParseSettingsText("InputFolder=\x8F\xA0\n", [](std::string_view) { return std::string("InputFolder=X\n"); });
  EXPECT_EQ(custom.InputFolder, "X");

  for (const char* invalid : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x81", "\x80"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
  }
  EXPECT_TRUE(IsValidUtf8("a\xC3\xA9\xE6\x9B\xB8\xF0\x9F\x98\x80"));
}

TEST(SettingsFile, ValuesWithLineBreaksCannotAddKeys) {
  AppSettings s;
  s.Tomlet = "/tmp/x\nbPrint=1";
  const AppSettings back = ParseSettingsText(SettingsText(s, true));
  EXPECT_EQ(back.Tomlet, "/tmp/x");
  EXPECT_FALSE(back.bPrint);
}

TEST(SettingsFile, PositionAndColumns) {
  EXPECT_FALSE(WindowPositionOf("").has_value());
  EXPECT_FALSE(WindowPositionOf("1 2 3").has_value());
  EXPECT_FALSE(WindowPositionOf("1 2 0 4").has_value());
  EXPECT_FALSE(WindowPositionOf("1 2 3 4 5").has_value());
  EXPECT_FALSE(WindowPositionOf("1 2 3 x").has_value());
  const auto position = WindowPositionOf("-8 -8 1296 1000");
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->Left, -8);
  EXPECT_EQ(position->Height, 1000);
  EXPECT_EQ(PositionText(*position), "-8 -8 1296 1000");

  EXPECT_EQ(ColumnWidthsOf("", true), (std::array<int32_t, 4>{110, 200, 105, 60}));
  EXPECT_EQ(ColumnWidthsOf("90 0 100 50", false), (std::array<int32_t, 4>{110, 200, 105, 80}));
  EXPECT_EQ(ColumnWidthsOf("90 300 100 50", false), (std::array<int32_t, 4>{90, 300, 100, 50}));
  EXPECT_EQ(ColumnsText({90, 300, 100, 50}), "90 300 100 50");
}

TEST(SettingsFile, GarbageNeverBreaksTheReader) {
  const char* pieces[] = {"OColor=", "Position=", "DispScale=", "=", " ", "\r", "\n", "1", "-", "99999999999",
                          "On", "\xFF", "\xE3\x81", "[General]", "Tomlet=", "bPrint=", "Columns="};
  const std::string plain = SettingsText(AppSettings(), true);
  const auto kKeyCount = std::count(plain.begin(), plain.end(), '=');
  int compared = 0;
  std::mt19937 random(1234);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      if (random() % 3 == 0) {
        text += static_cast<char>(random() % 256);
      } else {
        text += pieces[random() % std::size(pieces)];
      }
    }
    const std::string written = SettingsText(ParseSettingsText(text), true);
    EXPECT_TRUE(IsValidUtf8(written));
    // What is written reads back to itself, unless a value holds a "Key=" of its own: keys are
    // found wherever they stand.
    if (std::count(written.begin(), written.end(), '=') == kKeyCount) {
      EXPECT_EQ(SettingsText(ParseSettingsText(written), true), written) << text;
      ++compared;
    }
  }
  EXPECT_GT(compared, 400);
}

class SettingsFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("folvex_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }
  std::filesystem::path directory_;
};

TEST_F(SettingsFileOnDisk, FirstStartCreatesTheDefaultFile) {
  AppSettings s;
  s.PageDisp = true;
  ASSERT_TRUE(LoadSettings(directory_.string(), s));
  EXPECT_EQ(ReadWhole(directory_ / "Folvex.ini"), DefaultSettingsText());
  EXPECT_EQ(s.InputFolder, directory_.string());
  EXPECT_EQ(s.OutputFolder, directory_.string());
  EXPECT_FALSE(s.PageDisp);
  EXPECT_EQ(s.Output.OOpen, 1);
  EXPECT_EQ(s.Output.DispScale, "N");

  // The next start reads the file it made.
  AppSettings again;
  ASSERT_TRUE(LoadSettings(directory_.string() + "/", again));
  EXPECT_EQ(again.InputFolder, "");
  EXPECT_EQ(again.Output.OOpen, 0);
}

TEST_F(SettingsFileOnDisk, SaveAndReadBack) {
  AppSettings s;
  s.OutputFolder = (directory_ / "出力").string();
  s.Output.PageModeE = 2;
  s.bModify = true;
  const std::string path = SettingsFilePath(directory_.string());
  ASSERT_TRUE(SaveSettingsFile(path, s, true));
  EXPECT_EQ(ReadWhole(path), SettingsText(s, true));
  AppSettings back;
  ASSERT_TRUE(ReadSettingsFile(path, back));
  EXPECT_EQ(SettingsText(back, true), SettingsText(s, true));

  EXPECT_FALSE(ReadSettingsFile((directory_ / "missing.ini").string(), back));
  EXPECT_FALSE(SaveSettingsFile((directory_ / "no" / "such" / "Folvex.ini").string(), s, true));
  AppSettings unchanged;
  unchanged.PageDisp = true;
  EXPECT_FALSE(LoadSettings((directory_ / "no" / "such").string(), unchanged));
  EXPECT_FALSE(unchanged.PageDisp);
}

TEST_F(SettingsFileOnDisk, FailedSaveKeepsTheOldFile) {
  const std::string path = SettingsFilePath(directory_.string());
  AppSettings old;
  old.bPrint = true;
  ASSERT_TRUE(SaveSettingsFile(path, old, false));
  // A settings file made read-only is not replaced (even where the user could): the old settings
  // stay whole and no stray file is left behind.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  AppSettings changed;
  EXPECT_FALSE(SaveSettingsFile(path, changed, false));
  EXPECT_EQ(ReadWhole(path), SettingsText(old, false));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace folvex
