#include "app/commands/file_setting_dialog.h"

#include <array>
#include <cctype>
#include <span>

#include "app/text/texts.h"
#include "engine/assembly/output_settings.h"

namespace folvex {

namespace {

// Positions of the scale list.
constexpr int kScaleNone = 0;
constexpr int kScaleSet = 1;

constexpr std::array kScaleItems{TextId::ScaleNoSetting, TextId::ScaleSetScale, TextId::ScaleWidthAndHeight,
                                 TextId::ScaleWidth,     TextId::ScaleHeight,   TextId::ScaleInherit};
constexpr std::array kLayoutItems{TextId::LayoutNoSetting, TextId::LayoutSinglePage, TextId::LayoutContinuous,
                                  TextId::LayoutOddLeft,   TextId::LayoutOddRight,   TextId::LayoutInherit};
constexpr std::array kDirectionItems{TextId::DirectionLeftToRight, TextId::DirectionRightToLeft,
                                     TextId::DirectionInherit};
constexpr std::array kKeepingItems{TextId::OutlineNotKeep, TextId::OutlineKeep, TextId::OutlineKeepTop};
constexpr std::array kPanelItems{TextId::PanelNone,      TextId::PanelOutline,   TextId::PanelOutlineElseThumbnail,
                                 TextId::PanelOutlineElseNothing, TextId::PanelThumbnail, TextId::PanelInherit};

// The stored value of each list position.
constexpr std::array kLayoutValues{0, 5, 1, 2, 3, 4};
constexpr std::array kPanelValues{0, 1, 2, 6, 3, 5};
// The letters DispScale keeps for the scale list's positions 2 to 5.
constexpr std::string_view kScaleLetters = "AWHO";

int PositionOfValue(std::span<const int> values, int stored) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] == stored) return static_cast<int>(i);
  }
  return 0;
}


}  // namespace

std::vector<std::string> FileSettingListItems(FileSettingList list, bool japanese) {
  std::span<const TextId> ids;
  switch (list) {
    case FileSettingList::Scale: ids = kScaleItems; break;
    case FileSettingList::Layout: ids = kLayoutItems; break;
    case FileSettingList::Direction: ids = kDirectionItems; break;
    case FileSettingList::OutlineKeeping: ids = kKeepingItems; break;
    case FileSettingList::Panel: ids = kPanelItems; break;
  }
  std::vector<std::string> items;
  for (TextId id : ids) items.emplace_back(Text(id, japanese));
  return items;
}

int LayoutPositionOf(int stored) { return PositionOfValue(kLayoutValues, stored); }
int LayoutValueAt(int position) {
  return position >= 0 && position < static_cast<int>(kLayoutValues.size()) ? kLayoutValues[position] : 0;
}
int DirectionPositionOf(int stored) { return stored == 1 || stored == 2 ? stored : 0; }
int OutlineKeepingPositionOf(int stored) { return stored == 1 || stored == 2 ? stored : 0; }
int PanelPositionOf(int stored) { return PositionOfValue(kPanelValues, stored); }
int PanelValueAt(int position) {
  return position >= 0 && position < static_cast<int>(kPanelValues.size()) ? kPanelValues[position] : 0;
}

FileSettingForm FileSettingFormOf(OutputSettings& settings, bool& scaleAutoFit, int splitterVersion) {
  FileSettingForm form;
  const std::string& scale = settings.DispScale;
  if (scale.empty() || scale[0] == 'N') {
    form.ScalePosition = kScaleNone;
  } else if (const auto letter = kScaleLetters.find(scale[0]); letter != std::string_view::npos) {
    form.ScalePosition = 2 + static_cast<int>(letter);
  } else if (IsDigit(scale[0])) {
    form.ScalePosition = kScaleSet;
    settings.ScaleText = std::to_string(DispScalePercentage(scale.substr(0, 8)));
    scaleAutoFit = scale.back() == 'F' || scale.back() == 'f';
  } else {
    settings.DispScale = "N";
    form.ScalePosition = kScaleNone;
  }
  form.ScaleEdit = settings.ScaleText;
  form.AreaAutoFit = scaleAutoFit;

  form.Layout = LayoutPositionOf(settings.PageLayout);
  form.Direction = DirectionPositionOf(settings.Direction);
  form.KeepExtract = OutlineKeepingPositionOf(settings.OutlineKeepE);
  form.PanelExtract = PanelPositionOf(settings.PageModeE);
  form.KeepMerge = OutlineKeepingPositionOf(settings.OutlineKeepM);
  form.PanelMerge = PanelPositionOf(settings.PageModeM);
  form.SplitRowOffered = splitterVersion >= kSplitterListFileVersion;
  form.KeepSplit = form.SplitRowOffered ? OutlineKeepingPositionOf(settings.OutlineKeepS) : -1;
  form.PanelSplit = form.SplitRowOffered ? PanelPositionOf(settings.PageModeS) : -1;

  form.FileToOutline = settings.FileToOutline != 0;
  form.Bold = settings.OBold != 0;
  form.Italic = settings.OItalic != 0;
  form.LowerLevels = settings.ODown != 0;
  form.OutlineClosed = settings.OOpen == 0;
  form.KeepAnnotations = settings.KeepAnnots != 0;
  return form;
}

FileSettingEnabling FileSettingEnablingOf(const FileSettingForm& form) {
  FileSettingEnabling enabling;
  enabling.ScaleEdit = form.ScalePosition == kScaleSet;
  enabling.SplitRow = form.SplitRowOffered;
  enabling.OutlineStyle = form.FileToOutline;
  enabling.LowerLevels = form.FileToOutline && form.KeepMerge == 1;
  enabling.OutlineClosed = enabling.LowerLevels && form.LowerLevels;
  return enabling;
}

std::string DispScaleOfSetScale(const std::string& editText, bool autoFit) {
  const long value = DispScalePercentage(editText.substr(0, 8));
  if (value == 0) return "N";
  return std::to_string(value) + (autoFit ? "F" : "");
}

void StoreFileSettingForm(const FileSettingForm& form, OutputSettings& settings, bool& scaleAutoFit) {
  if (form.ScalePosition == kScaleSet) {
    settings.DispScale = DispScaleOfSetScale(form.ScaleEdit, form.AreaAutoFit);
    if (settings.DispScale != "N") {
      settings.ScaleText = std::to_string(DispScalePercentage(form.ScaleEdit.substr(0, 8)));
      scaleAutoFit = form.AreaAutoFit;
    }
  } else if (form.ScalePosition >= 2 && form.ScalePosition <= 5) {
    settings.DispScale = std::string(1, kScaleLetters[form.ScalePosition - 2]);
  } else {
    settings.DispScale = "N";
  }

  settings.PageLayout = LayoutValueAt(form.Layout);
  settings.Direction = form.Direction >= 0 && form.Direction <= 2 ? form.Direction : 0;
  const auto storeKeeping = [](int position, int32_t& field) {
    if (position >= 0) field = position <= 2 ? position : 0;
  };
  const auto storePanel = [](int position, int32_t& field) {
    if (position >= 0) field = PanelValueAt(position);
  };
  storeKeeping(form.KeepExtract, settings.OutlineKeepE);
  storeKeeping(form.KeepMerge, settings.OutlineKeepM);
  storeKeeping(form.KeepSplit, settings.OutlineKeepS);
  storePanel(form.PanelExtract, settings.PageModeE);
  storePanel(form.PanelMerge, settings.PageModeM);
  storePanel(form.PanelSplit, settings.PageModeS);

  settings.FileToOutline = form.FileToOutline ? 1 : 0;
  settings.OOpen = form.OutlineClosed ? 0 : 1;
  settings.ODown = form.LowerLevels ? 1 : 0;
  settings.OItalic = form.Italic ? 1 : 0;
  settings.OBold = form.Bold ? 1 : 0;
  settings.KeepAnnots = form.KeepAnnotations ? 1 : 0;
}

}  // namespace folvex
