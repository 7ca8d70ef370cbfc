// Small helpers the dialogs share: their resource names, UTF-8 texts of controls, check boxes,
// enabling, and the modal dialog call with a typed parameter.
#pragma once

#include <windows.h>

#include <string>

namespace folvex::win32 {

HINSTANCE ResourceModule();

// "SETDLG" for the Japanese interface, "SETDLGE" for the English one.
std::wstring DialogName(const wchar_t* japaneseName, bool japanese);

std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
void LimitText(HWND dialog, int id, int characters);

bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void EnableControl(HWND dialog, int id, bool enabled);

// Runs a modal dialog whose procedure receives state through lParam of WM_INITDIALOG and keeps it
// in the window's user data; StateOf reads it back.
template <typename State>
INT_PTR RunDialog(HWND owner, const std::wstring& name, DLGPROC procedure, State& state) {
  return DialogBoxParamW(ResourceModule(), name.c_str(), owner, procedure, reinterpret_cast<LPARAM>(&state));
}

template <typename State>
State* StateOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
    return reinterpret_cast<State*>(lParam);
  }
  return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

}  // namespace folvex::win32
