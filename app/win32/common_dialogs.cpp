// Message boxes, the file-open and file-save dialogs and the folder browser, with UTF-8 texts.
#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <array>

#include "app/win32/dialogs.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::Error: break;
  }
  return MB_ICONERROR;
}

UINT ButtonStyle(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel: return MB_OKCANCEL;
    case MessageButtons::YesNo: return MB_YESNO;
    case MessageButtons::Ok: break;
  }
  return MB_OK;
}

UINT DefaultButtonStyle(MessageDefaultButton button) {
  return button == MessageDefaultButton::Second ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
}

// The explorer-style dialogs are centred once their frame exists.
UINT_PTR CALLBACK CentringHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
    CentreOnDesktop(GetParent(hook));
  }
  return 0;
}

std::optional<std::string> RunFileDialog(HWND owner, const FileDialogRequest& request, bool save) {
  // Filter: name, pattern, and the terminating empty pair.
  std::wstring filter;
  if (!request.FilterName.empty()) {
    filter = Utf8ToWide(request.FilterName);
    filter.push_back(L'\0');
    filter += Utf8ToWide(request.FilterPattern);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
  }
  const std::wstring title = Utf8ToWide(request.Title);
  const std::wstring extension = Utf8ToWide(request.DefaultExtension);
  const std::wstring folder = Utf8ToWide(request.InitialFolder);

  std::array<wchar_t, MAX_PATH> file{};
  const std::wstring initialName = Utf8ToWide(request.InitialName);
  if (initialName.size() < file.size()) initialName.copy(file.data(), initialName.size());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLESIZING;
  dialog.lpfnHook = CentringHook;
  if (request.MustExist) dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (save && request.AskBeforeOverwrite) dialog.Flags |= OFN_OVERWRITEPROMPT;

  const BOOL chosen = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  if (!chosen) return std::nullopt;
  return WideToUtf8(file.data());
}

int CALLBACK FolderBrowserCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    CentreOnDesktop(browser);
    const auto* folder = reinterpret_cast<const std::wstring*>(data);
    if (!folder->empty()) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder->c_str()));
  }
  return 0;
}

}  // namespace

MessageAnswer ShowMessageBox(HWND owner, const MessageRequest& request) {
  const std::wstring text = Utf8ToWide(request.Text);
  const std::wstring caption = Utf8ToWide(request.Caption);
  const int answer = MessageBoxW(owner, text.c_str(), caption.c_str(),
                                 IconStyle(request.Icon) | ButtonStyle(request.Buttons) |
                                     DefaultButtonStyle(request.DefaultButton) | MB_SETFOREGROUND |
                                     (request.StayOnTop ? MB_TOPMOST : 0));
  switch (answer) {
    case IDCANCEL: return MessageAnswer::Cancel;
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    default: return MessageAnswer::Ok;
  }
}

std::optional<std::string> ShowOpenFileDialog(HWND owner, const FileDialogRequest& request) {
  return RunFileDialog(owner, request, false);
}

std::optional<std::string> ShowSaveFileDialog(HWND owner, const FileDialogRequest& request) {
  return RunFileDialog(owner, request, true);
}

std::optional<std::string> ShowFolderBrowser(HWND owner, const std::string& title, const std::string& initialFolder) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring wideTitle = Utf8ToWide(title);
  const std::wstring folder = Utf8ToWide(initialFolder);
  std::array<wchar_t, MAX_PATH> display{};

  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.pszDisplayName = display.data();
  browse.lpszTitle = wideTitle.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = FolderBrowserCallback;
  browse.lParam = reinterpret_cast<LPARAM>(&folder);

  std::optional<std::string> chosen;
  if (PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&browse); list != nullptr) {
    std::array<wchar_t, MAX_PATH> path{};
    if (SHGetPathFromIDListW(list, path.data())) chosen = WideToUtf8(path.data());
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

}  // namespace folvex::win32
