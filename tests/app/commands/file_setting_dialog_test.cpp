#include "app/commands/file_setting_dialog.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

TEST(FileSettingLists, EnglishItemsInListOrder) {
  EXPECT_EQ(FileSettingListItems(FileSettingList::Scale, false),
            (std::vector<std::string>{"No Setting", "Set Scale", "Adjust to Width and Hight", "Adjust to Width",
                                      "Adjust to Hight", "Inherit Original File's"}));
  EXPECT_EQ(FileSettingListItems(FileSettingList::Panel, false),
            (std::vector<std::string>{"Not Display Both", "Display Outline", "If Exist,Display Outline, else Thumbnail",
                                      "If Exist,Display Outline, else NOT", "Display Thumbnail",
                                      "Inherit Original File's"}));
  EXPECT_EQ(FileSettingListItems(FileSettingList::OutlineKeeping, false),
            (std::vector<std::string>{"Not Keep", "Keep", "Keep & All Outline to Top Level"}));
  for (auto list : {FileSettingList::Scale, FileSettingList::Layout, FileSettingList::Direction,
                    FileSettingList::OutlineKeeping, FileSettingList::Panel}) {
    EXPECT_EQ(FileSettingListItems(list, true).size(), FileSettingListItems(list, false).size());
  }
}

// Every list position maps to its stored value and back; stored values without a position show
// the first one.
TEST(FileSettingLists, PositionsAndStoredValues) {
  const int layout[] = {0, 5, 1, 2, 3, 4};
  const int panel[] = {0, 1, 2, 6, 3, 5};
  for (int position = 0; position < 6; ++position) {
    EXPECT_EQ(LayoutValueAt(position), layout[position]);
    EXPECT_EQ(LayoutPositionOf(layout[position]), position);
    EXPECT_EQ(PanelValueAt(position), panel[position]);
    EXPECT_EQ(PanelPositionOf(panel[position]), position);
  }
  for (int stored : {-1, 6, 99}) EXPECT_EQ(LayoutPositionOf(stored), 0) << stored;
  for (int stored : {-1, 4, 7}) EXPECT_EQ(PanelPositionOf(stored), 0) << stored;
  for (int stored : {-1, 0, 3}) {
    EXPECT_EQ(DirectionPositionOf(stored), 0) << stored;
    EXPECT_EQ(OutlineKeepingPositionOf(stored), 0) << stored;
  }
  EXPECT_EQ(DirectionPositionOf(2), 2);
  EXPECT_EQ(OutlineKeepingPositionOf(1), 1);
}

TEST(FileSettingForm, ScaleListFromDispScale) {
  struct Case {
    const char* DispScale;
    bool AutoFitBefore;
    int Position;
    const char* Edit;
    bool AutoFit;
    const char* DispScaleAfter;
  };
  for (const Case& c : {
           Case{"N", false, 0, "100", false, "N"},
           Case{"", true, 0, "100", true, ""},
           Case{"A", false, 2, "100", false, "A"},
           Case{"W", false, 3, "100", false, "W"},
           Case{"H", false, 4, "100", false, "H"},
           Case{"O", true, 5, "100", true, "O"},
           Case{"150f", false, 1, "150", true, "150f"},
           Case{"150F", false, 1, "150", true, "150F"},
           Case{"75", true, 1, "75", false, "75"},
           Case{"X", true, 0, "100", true, "N"},
           Case{"a", false, 0, "100", false, "N"},
       }) {
    OutputSettings settings;
    settings.DispScale = c.DispScale;
    bool autoFit = c.AutoFitBefore;
    const FileSettingForm form = FileSettingFormOf(settings, autoFit, 0);
    EXPECT_EQ(form.ScalePosition, c.Position) << c.DispScale;
    EXPECT_EQ(form.ScaleEdit, c.Edit) << c.DispScale;
    EXPECT_EQ(form.AreaAutoFit, c.AutoFit) << c.DispScale;
    EXPECT_EQ(autoFit, c.AutoFit) << c.DispScale;
    EXPECT_EQ(settings.DispScale, c.DispScaleAfter) << c.DispScale;
  }
}

TEST(FileSettingForm, SplitRowOnlyForARecentSplitter) {
  OutputSettings settings;
  settings.OutlineKeepS = 2;
  settings.PageModeS = 6;
  bool autoFit = false;
  for (int version : {-1, 990, 999}) {
    const FileSettingForm form = FileSettingFormOf(settings, autoFit, version);
    EXPECT_FALSE(form.SplitRowOffered) << version;
    EXPECT_EQ(form.KeepSplit, -1);
    EXPECT_EQ(form.PanelSplit, -1);
    EXPECT_FALSE(FileSettingEnablingOf(form).SplitRow);
  }
  for (int version : {1000, 99999}) {
    const FileSettingForm form = FileSettingFormOf(settings, autoFit, version);
    EXPECT_TRUE(FileSettingEnablingOf(form).SplitRow) << version;
    EXPECT_EQ(form.KeepSplit, 2);
    EXPECT_EQ(form.PanelSplit, 3);
  }
}

TEST(FileSettingEnabling, OutlineControlsFollowFileNameToOutlineAndMergeKeeping) {
  struct Case {
    bool FileToOutline;
    int KeepMerge;
    bool LowerLevels;
    bool Style, Lower, Closed;
  };
  for (const Case& c : {
           Case{false, 1, true, false, false, false},
           Case{true, 0, true, true, false, false},
           Case{true, 2, true, true, false, false},
           Case{true, 1, false, true, true, false},
           Case{true, 1, true, true, true, true},
       }) {
    FileSettingForm form;
    form.FileToOutline = c.FileToOutline;
    form.KeepMerge = c.KeepMerge;
    form.LowerLevels = c.LowerLevels;
    const FileSettingEnabling enabling = FileSettingEnablingOf(form);
    EXPECT_EQ(enabling.OutlineStyle, c.Style) << c.FileToOutline << c.KeepMerge << c.LowerLevels;
    EXPECT_EQ(enabling.LowerLevels, c.Lower) << c.FileToOutline << c.KeepMerge << c.LowerLevels;
    EXPECT_EQ(enabling.OutlineClosed, c.Closed) << c.FileToOutline << c.KeepMerge << c.LowerLevels;
  }
  for (int position = 0; position < 6; ++position) {
    FileSettingForm form;
    form.ScalePosition = position;
    EXPECT_EQ(FileSettingEnablingOf(form).ScaleEdit, position == 1) << position;
  }
}

TEST(FileSettingOk, SetScaleText) {
  struct Case {
    const char* Edit;
    bool AutoFit;
    const char* DispScale;
  };
  for (const Case& c : {Case{"150", true, "150F"}, Case{"150", false, "150"}, Case{"150abc", false, "150"},
                        Case{"", true, "N"}, Case{"0", true, "N"}, Case{"000", false, "N"}, Case{"x150", false, "N"},
                        Case{" 150", false, "N"}, Case{"-20", false, "N"}, Case{"123456789", false, "12345678"},
                        Case{"007", true, "7F"}}) {
    EXPECT_EQ(DispScaleOfSetScale(c.Edit, c.AutoFit), c.DispScale) << c.Edit;
  }
}

TEST(FileSettingOk, StoresEveryField) {
  OutputSettings settings;
  bool autoFit = false;
  FileSettingForm form = FileSettingFormOf(settings, autoFit, 1000);
  form.ScalePosition = 1;
  form.ScaleEdit = "150";
  form.AreaAutoFit = true;
  form.Layout = 1;
  form.Direction = 1;
  form.KeepExtract = 2;
  form.PanelExtract = 3;
  form.KeepMerge = 1;
  form.PanelMerge = 4;
  form.KeepSplit = 1;
  form.PanelSplit = 5;
  form.FileToOutline = true;
  form.Bold = true;
  form.LowerLevels = true;
  form.OutlineClosed = true;
  StoreFileSettingForm(form, settings, autoFit);
  EXPECT_EQ(settings.DispScale, "150F");
  EXPECT_EQ(settings.ScaleText, "150");
  EXPECT_TRUE(autoFit);
  EXPECT_EQ(settings.PageLayout, 5);
  EXPECT_EQ(settings.Direction, 1);
  EXPECT_EQ(settings.OutlineKeepE, 2);
  EXPECT_EQ(settings.PageModeE, 6);
  EXPECT_EQ(settings.OutlineKeepM, 1);
  EXPECT_EQ(settings.PageModeM, 3);
  EXPECT_EQ(settings.OutlineKeepS, 1);
  EXPECT_EQ(settings.PageModeS, 5);
  EXPECT_EQ(settings.FileToOutline, 1);
  EXPECT_EQ(settings.OBold, 1);
  EXPECT_EQ(settings.OItalic, 0);
  EXPECT_EQ(settings.ODown, 1);
  EXPECT_EQ(settings.OOpen, 0);

  // Reopening shows what was stored.
  const FileSettingForm again = FileSettingFormOf(settings, autoFit, 1000);
  EXPECT_EQ(again.ScalePosition, 1);
  EXPECT_EQ(again.ScaleEdit, "150");
  EXPECT_TRUE(again.AreaAutoFit);
  EXPECT_EQ(again.Layout, 1);
  EXPECT_EQ(again.PanelExtract, 3);
  EXPECT_EQ(again.PanelSplit, 5);
  EXPECT_TRUE(again.OutlineClosed);
}

TEST(FileSettingOk, ScaleLettersAndAFailedSetScale) {
  const char* letters[] = {"N", "N", "A", "W", "H", "O"};
  for (int position : {0, 2, 3, 4, 5}) {
    OutputSettings settings;
    bool autoFit = false;
    FileSettingForm form = FileSettingFormOf(settings, autoFit, 0);
    form.ScalePosition = position;
    StoreFileSettingForm(form, settings, autoFit);
    EXPECT_EQ(settings.DispScale, letters[position]) << position;
  }
  // An unusable percentage stores "N" and keeps the remembered text and auto-fit state.
  OutputSettings settings;
  settings.DispScale = "120F";
  bool autoFit = false;
  FileSettingForm form = FileSettingFormOf(settings, autoFit, 0);
  form.ScaleEdit = "abc";
  form.AreaAutoFit = false;
  StoreFileSettingForm(form, settings, autoFit);
  EXPECT_EQ(settings.DispScale, "N");
  EXPECT_EQ(settings.ScaleText, "120");
  EXPECT_TRUE(autoFit);
}

// Without the split row OK keeps the split settings; the settings file keeps the user's choice
// for a later, recent splitter.
TEST(FileSettingOk, SplitRowNotOfferedKeepsItsFields) {
  OutputSettings settings;
  settings.OutlineKeepS = 2;
  settings.PageModeS = 6;
  bool autoFit = false;
  const FileSettingForm form = FileSettingFormOf(settings, autoFit, 990);
  StoreFileSettingForm(form, settings, autoFit);
  EXPECT_EQ(settings.OutlineKeepS, 2);
  EXPECT_EQ(settings.PageModeS, 6);
}

}  // namespace
}  // namespace folvex
