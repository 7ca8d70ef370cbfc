// The File Setting dialog's rules: what its controls show for the stored settings, which of them
// are enabled, and what OK stores.
#include "app/commands/file_setting_dialog.h"

#include <gtest/gtest.h>

namespace folvex {
namespace {

// The scale list and its edit as the dialog opens (a DispScale nobody writes is reset to "N"), the
// DispScale that "Set Scale" stores for an edit text, and what OK stores for each scale position
// (an unusable percentage stores "N" and keeps the remembered text and auto-fit).
TEST(FileSettingDialog, ScaleFromAndToDispScale) {
  struct Case { const char* DispScale; bool AutoFitBefore; int Position; const char* Edit; bool AutoFit; const char* After; };
  for (const Case& c : {Case{"N", false, 0, "100", false, "N"}, Case{"", true, 0, "100", true, ""},
                        Case{"A", false, 2, "100", false, "A"}, Case{"W", false, 3, "100", false, "W"},
                        Case{"H", false, 4, "100", false, "H"}, Case{"O", true, 5, "100", true, "O"},
                        Case{"150f", false, 1, "150", true, "150f"}, Case{"150F", false, 1, "150", true, "150F"},
                        Case{"75", true, 1, "75", false, "75"}, Case{"X", true, 0, "100", true, "N"},
                        Case{"a", false, 0, "100", false, "N"}}) {
    OutputSettings settings;
    settings.DispScale = c.DispScale;
    bool autoFit = c.AutoFitBefore;
    FileSettingForm form = FileSettingFormOf(settings, autoFit, 0);
    EXPECT_EQ(std::to_string(form.ScalePosition) + " " + form.ScaleEdit + " " + settings.DispScale,
              std::to_string(c.Position) + " " + c.Edit + " " + c.After) << c.DispScale;
    EXPECT_EQ(form.AreaAutoFit && autoFit, c.AutoFit) << c.DispScale;
    form.ScaleEdit = "abc";
    StoreFileSettingForm(form, settings, autoFit);
    EXPECT_EQ(FileSettingFormOf(settings, autoFit, 0).ScalePosition, c.Position == 1 ? 0 : c.Position) << c.DispScale;
    EXPECT_EQ(settings.ScaleText + (autoFit ? " fit" : ""), std::string(c.Edit) + (c.AutoFit ? " fit" : "")) << c.DispScale;
  }
  for (const auto& [edit, fit, stored] : {std::tuple{"150", true, "150F"}, {"150", false, "150"}, {"150abc", false, "150"},
                                          {"", true, "N"}, {"0", true, "N"}, {"000", false, "N"}, {"x150", false, "N"},
                                          {" 150", false, "N"}, {"-20", false, "N"}, {"123456789", false, "12345678"},
                                          {"007", true, "7F"}}) {
    EXPECT_EQ(DispScaleOfSetScale(edit, fit), stored) << edit;
  }
}

// OK stores every control by the list positions' values; reopening shows what was stored. Without
// the split row (a splitter older than the list files) OK leaves the split fields for a later one.
TEST(FileSettingDialog, OkStoresEveryFieldAndTheSplitRowOnlyWhenOffered) {
  for (const int version : {-1, 999, 1000, 99999}) {
    const bool offered = version >= 1000;
    OutputSettings settings;
    settings.OutlineKeepS = 2;
    settings.PageModeS = 6;
    bool autoFit = false;
    FileSettingForm form = FileSettingFormOf(settings, autoFit, version);
    EXPECT_EQ(FileSettingEnablingOf(form).SplitRow, offered) << version;
    EXPECT_EQ(std::pair(form.KeepSplit, form.PanelSplit), offered ? std::pair(2, 3) : std::pair(-1, -1)) << version;
    form = {1, "150", true, 1, 1, 2, 3, 1, 4, offered ? 1 : -1, offered ? 5 : -1, offered, true, true, false, true, true};
    StoreFileSettingForm(form, settings, autoFit);
    EXPECT_EQ(settings.DispScale + " " + settings.ScaleText + (autoFit ? " fit" : ""), "150F 150 fit");
    const std::vector<int> stored = {settings.PageLayout, settings.Direction, settings.OutlineKeepE, settings.PageModeE,
                                     settings.OutlineKeepM, settings.PageModeM, settings.OutlineKeepS, settings.PageModeS,
                                     settings.FileToOutline, settings.OBold, settings.OItalic, settings.ODown, settings.OOpen};
    EXPECT_EQ(stored, (std::vector<int>{5, 1, 2, 6, 1, 3, offered ? 1 : 2, offered ? 5 : 6, 1, 1, 0, 1, 0})) << version;
    const FileSettingForm again = FileSettingFormOf(settings, autoFit, version);
    EXPECT_EQ(std::vector<int>({again.ScalePosition, again.Layout, again.PanelExtract, again.PanelMerge, again.PanelSplit}),
              std::vector<int>({1, 1, 3, 4, offered ? 5 : -1}));
    EXPECT_TRUE(again.AreaAutoFit && again.OutlineClosed && again.Bold && !again.Italic);
  }
}

}  // namespace
}  // namespace folvex
