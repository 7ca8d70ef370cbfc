#include "app/win32/dialog_controls.h"

#include <vector>

#include "app/win32/dialogs.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {
HINSTANCE resourceModule = nullptr;
}

void SetResourceModule(HINSTANCE module) { resourceModule = module; }

HINSTANCE ResourceModule() { return resourceModule != nullptr ? resourceModule : GetModuleHandleW(nullptr); }

std::wstring DialogName(const wchar_t* japaneseName, bool japanese) {
  std::wstring name = japaneseName;
  if (!japanese) name += L'E';
  return name;
}

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int copied = GetWindowTextW(control, buffer.data(), length + 1);
  return WideToUtf8(std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)));
}

void SetControlText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, Utf8ToWide(text).c_str());
}

void LimitText(HWND dialog, int id, int characters) {
  SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableControl(HWND dialog, int id, bool enabled) { EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE); }

}  // namespace folvex::win32
