// FSETDLG / FSETDLGE: the output document settings, with the outline colour swatch and the
// system's colour chooser. The rules live in app/commands/file_setting_dialog.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <array>

#include "app/commands/file_setting_dialog.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {

// "Area AutoFit" at the last accepted "Set Scale", for the life of the process.
bool ScaleAutoFit = false;

constexpr int kScaleEditCharacters = 8;

struct FileSettingState {
  bool Japanese = false;
  int SplitterVersion = 0;
  OutputSettings Settings;  // edited here; the caller's record changes only on OK
};

struct ListControl {
  int Id;
  FileSettingList List;
};
constexpr std::array kLists{
    ListControl{IDC_SCALE_LIST, FileSettingList::Scale},         ListControl{IDC_LAYOUT_LIST, FileSettingList::Layout},
    ListControl{IDC_DIRECTION_LIST, FileSettingList::Direction}, ListControl{IDC_KEEP_EXTRACT, FileSettingList::OutlineKeeping},
    ListControl{IDC_MODE_EXTRACT, FileSettingList::Panel},       ListControl{IDC_KEEP_MERGE, FileSettingList::OutlineKeeping},
    ListControl{IDC_MODE_MERGE, FileSettingList::Panel},         ListControl{IDC_KEEP_SPLIT, FileSettingList::OutlineKeeping},
    ListControl{IDC_MODE_SPLIT, FileSettingList::Panel},
};

int Selection(HWND dialog, int id) {
  const LRESULT position = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  return position == CB_ERR ? -1 : static_cast<int>(position);
}

void Select(HWND dialog, int id, int position) {
  SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

FileSettingForm ReadForm(HWND dialog, bool splitRowOffered) {
  FileSettingForm form;
  form.ScalePosition = Selection(dialog, IDC_SCALE_LIST);
  form.ScaleEdit = ControlText(dialog, IDC_SCALE_EDIT);
  form.AreaAutoFit = IsChecked(dialog, IDC_AREA_AUTOFIT);
  form.Layout = Selection(dialog, IDC_LAYOUT_LIST);
  form.Direction = Selection(dialog, IDC_DIRECTION_LIST);
  form.KeepExtract = Selection(dialog, IDC_KEEP_EXTRACT);
  form.PanelExtract = Selection(dialog, IDC_MODE_EXTRACT);
  form.KeepMerge = Selection(dialog, IDC_KEEP_MERGE);
  form.PanelMerge = Selection(dialog, IDC_MODE_MERGE);
  form.KeepSplit = Selection(dialog, IDC_KEEP_SPLIT);
  form.PanelSplit = Selection(dialog, IDC_MODE_SPLIT);
  form.SplitRowOffered = splitRowOffered;
  form.FileToOutline = IsChecked(dialog, IDC_FILENAME_TO_OUTLINE);
  form.Bold = IsChecked(dialog, IDC_OUTLINE_BOLD);
  form.Italic = IsChecked(dialog, IDC_OUTLINE_ITALIC);
  form.LowerLevels = IsChecked(dialog, IDC_LOWER_LEVELS);
  form.OutlineClosed = IsChecked(dialog, IDC_OUTLINE_CLOSED);
  form.KeepAnnotations = IsChecked(dialog, IDC_KEEP_ANNOTS);
  return form;
}

void ApplyEnabling(HWND dialog, const FileSettingForm& form) {
  const FileSettingEnabling enabling = FileSettingEnablingOf(form);
  EnableControl(dialog, IDC_SCALE_EDIT, enabling.ScaleEdit);
  EnableControl(dialog, IDC_AREA_AUTOFIT, enabling.ScaleEdit);
  EnableControl(dialog, IDC_KEEP_SPLIT, enabling.SplitRow);
  EnableControl(dialog, IDC_MODE_SPLIT, enabling.SplitRow);
  EnableControl(dialog, IDC_OUTLINE_BOLD, enabling.OutlineStyle);
  EnableControl(dialog, IDC_OUTLINE_ITALIC, enabling.OutlineStyle);
  EnableControl(dialog, IDC_OUTLINE_COLOR, enabling.OutlineStyle);
  EnableControl(dialog, IDC_LOWER_LEVELS, enabling.LowerLevels);
  EnableControl(dialog, IDC_OUTLINE_CLOSED, enabling.OutlineClosed);
}

void Fill(HWND dialog, FileSettingState& state) {
  CentreOnDesktop(dialog);
  for (const ListControl& list : kLists) {
    for (const std::string& item : FileSettingListItems(list.List, state.Japanese)) {
      SendDlgItemMessageW(dialog, list.Id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(item).c_str()));
    }
  }
  const FileSettingForm form = FileSettingFormOf(state.Settings, ScaleAutoFit, state.SplitterVersion);
  Select(dialog, IDC_SCALE_LIST, form.ScalePosition);
  LimitText(dialog, IDC_SCALE_EDIT, kScaleEditCharacters);
  SetControlText(dialog, IDC_SCALE_EDIT, form.ScaleEdit);
  SetChecked(dialog, IDC_AREA_AUTOFIT, form.AreaAutoFit);
  Select(dialog, IDC_LAYOUT_LIST, form.Layout);
  Select(dialog, IDC_DIRECTION_LIST, form.Direction);
  Select(dialog, IDC_KEEP_EXTRACT, form.KeepExtract);
  Select(dialog, IDC_MODE_EXTRACT, form.PanelExtract);
  Select(dialog, IDC_KEEP_MERGE, form.KeepMerge);
  Select(dialog, IDC_MODE_MERGE, form.PanelMerge);
  Select(dialog, IDC_KEEP_SPLIT, form.KeepSplit);
  Select(dialog, IDC_MODE_SPLIT, form.PanelSplit);
  SetChecked(dialog, IDC_FILENAME_TO_OUTLINE, form.FileToOutline);
  SetChecked(dialog, IDC_OUTLINE_BOLD, form.Bold);
  SetChecked(dialog, IDC_OUTLINE_ITALIC, form.Italic);
  SetChecked(dialog, IDC_LOWER_LEVELS, form.LowerLevels);
  SetChecked(dialog, IDC_OUTLINE_CLOSED, form.OutlineClosed);
  SetChecked(dialog, IDC_KEEP_ANNOTS, form.KeepAnnotations);
  ApplyEnabling(dialog, form);
}

// The 16 by 16 swatch sits 22 pixels left of the "Color" button, centred on its middle line.
RECT SwatchRect(HWND dialog) {
  RECT button{};
  GetWindowRect(GetDlgItem(dialog, IDC_OUTLINE_COLOR), &button);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
  const int left = button.left - 22;
  const int top = (button.top + button.bottom) / 2 - 8;
  return RECT{left, top, left + 16, top + 16};
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  const RECT box{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &box, brush);
  DeleteObject(brush);
}

void PaintSwatch(HWND dialog, HDC dc, COLORREF colour) {
  const RECT r = SwatchRect(dialog);
  // White frame one pixel outside, then grey on the top and left edges and silver on the bottom
  // and right edges, and the colour inside.
  FillBox(dc, r.left - 1, r.top - 1, r.right + 1, r.bottom + 1, RGB(255, 255, 255));
  FillBox(dc, r.left, r.top, r.right, r.bottom, RGB(192, 192, 192));
  FillBox(dc, r.left, r.top, r.right - 1, r.bottom - 1, RGB(128, 128, 128));
  FillBox(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, colour);
}

UINT_PTR CALLBACK CentreColourChooser(HWND chooser, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) CentreOnDesktop(chooser);
  return 0;
}

void ChooseOutlineColour(HWND dialog, OutputSettings& settings) {
  std::array<COLORREF, 16> custom{};
  std::copy(settings.CustomColors.begin(), settings.CustomColors.end(), custom.begin());
  CHOOSECOLORW chooser{};
  chooser.lStructSize = sizeof(chooser);
  chooser.hwndOwner = dialog;
  chooser.rgbResult = settings.OColor;
  chooser.lpCustColors = custom.data();
  chooser.Flags = CC_RGBINIT | CC_ENABLEHOOK;
  chooser.lpfnHook = CentreColourChooser;
  if (!ChooseColorW(&chooser)) return;
  settings.OColor = chooser.rgbResult;
  std::copy(custom.begin(), custom.end(), settings.CustomColors.begin());
  InvalidateRect(dialog, nullptr, TRUE);
}

INT_PTR CALLBACK FileSettingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<FileSettingState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  const bool splitRowOffered = state->SplitterVersion >= kSplitterListFileVersion;
  switch (message) {
    case WM_INITDIALOG:
      Fill(dialog, *state);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      if (state->Settings.FileToOutline != 0) PaintSwatch(dialog, dc, state->Settings.OColor);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      switch (id) {
        case IDC_SCALE_LIST:
        case IDC_KEEP_MERGE:
          if (code == CBN_CLOSEUP || code == CBN_SELCHANGE) ApplyEnabling(dialog, ReadForm(dialog, splitRowOffered));
          return TRUE;
        case IDC_FILENAME_TO_OUTLINE:
          state->Settings.FileToOutline = IsChecked(dialog, IDC_FILENAME_TO_OUTLINE) ? 1 : 0;
          ApplyEnabling(dialog, ReadForm(dialog, splitRowOffered));
          InvalidateRect(dialog, nullptr, TRUE);
          return TRUE;
        case IDC_LOWER_LEVELS:
          ApplyEnabling(dialog, ReadForm(dialog, splitRowOffered));
          return TRUE;
        case IDC_OUTLINE_COLOR:
          ChooseOutlineColour(dialog, state->Settings);
          return TRUE;
        case IDOK:
          StoreFileSettingForm(ReadForm(dialog, splitRowOffered), state->Settings, ScaleAutoFit);
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

bool ShowFileSettingDialog(HWND owner, bool japanese, OutputSettings& settings, int splitterVersion) {
  FileSettingState state{japanese, splitterVersion, settings};
  const INT_PTR result = RunDialog(owner, DialogName(L"FSETDLG", japanese), FileSettingProc, state);
  if (result != IDOK) {
    // Opening the dialog already settled the scale: an unknown DispScale became "N" and a stored
    // percentage became ScaleText. Cancel keeps that and nothing else.
    settings.DispScale = state.Settings.DispScale;
    settings.ScaleText = state.Settings.ScaleText;
    return false;
  }
  settings = state.Settings;
  return true;
}

}  // namespace folvex::win32
