// The File Setting dialog's rules apart from its window: which list position shows which stored
// value, what the controls start with, which controls are enabled, and what OK stores.
#pragma once

#include <string>
#include <vector>

#include "engine/core/job_settings.h"
#include "app/splitter/splitter_version.h"

namespace folvex {

// The lists of the dialog, each filled with its items in the interface language.
enum class FileSettingList { Scale, Layout, Direction, OutlineKeeping, Panel };
std::vector<std::string> FileSettingListItems(FileSettingList list, bool japanese);

// Stored value <-> list position (the scale list is decided by DispScale, see below).
int LayoutPositionOf(int stored);
int LayoutValueAt(int position);
int DirectionPositionOf(int stored);
int OutlineKeepingPositionOf(int stored);
int PanelPositionOf(int stored);
int PanelValueAt(int position);

// The state of the dialog's controls. A position of -1 is a list without a selection.
struct FileSettingForm {
  int ScalePosition = 0;
  std::string ScaleEdit;
  bool AreaAutoFit = false;
  int Layout = 0;
  int Direction = 0;
  int KeepExtract = 0, PanelExtract = 0;
  int KeepMerge = 0, PanelMerge = 0;
  int KeepSplit = -1, PanelSplit = -1;
  bool SplitRowOffered = false;
  bool FileToOutline = false;
  bool Bold = false, Italic = false;
  bool LowerLevels = false;
  bool OutlineClosed = false;
  bool KeepAnnotations = false;  // for extract, merge and split alike
};

// The controls as the dialog opens. A DispScale that starts with none of N, A, W, H, O or a digit
// is reset to "N" in settings. scaleAutoFit is the "Area AutoFit" state remembered from the last
// accepted "Set Scale" and follows a stored percentage's auto-fit mark.
FileSettingForm FileSettingFormOf(OutputSettings& settings, bool& scaleAutoFit, int splitterVersion);

struct FileSettingEnabling {
  bool ScaleEdit = false;  // the percentage edit and "Area AutoFit"
  bool SplitRow = false;
  bool OutlineStyle = false;  // "Bold", "Italic", "Color" and the colour swatch
  bool LowerLevels = false;
  bool OutlineClosed = false;
};
FileSettingEnabling FileSettingEnablingOf(const FileSettingForm& form);

// The DispScale that "Set Scale" with this edit text stores: the leading decimal integer of the
// first 8 characters with "F" for auto-fit, or "N" when the text does not start with a nonzero
// number.
std::string DispScaleOfSetScale(const std::string& editText, bool autoFit);

// What OK stores. A list without a selection (the split row when it is not offered) leaves its
// field as it was.
void StoreFileSettingForm(const FileSettingForm& form, OutputSettings& settings, bool& scaleAutoFit);

}  // namespace folvex
