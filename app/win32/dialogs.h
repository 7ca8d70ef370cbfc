// The program's dialogs and the system's common dialogs, each a plain call: values in, the user's
// answer out. The main window's Desktop implementation calls these; every text is UTF-8 and every
// dialog opens centred on the desktop.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "app/model/desktop.h"
#include "engine/core/job_settings.h"

namespace folvex::win32 {

// The instance whose resources the dialogs load (the program's own module by default).
void SetResourceModule(HINSTANCE module);

// Moves a window so that it is centred on the desktop (rounded toward zero).
void CentreOnDesktop(HWND window);

MessageAnswer ShowMessageBox(HWND owner, const MessageRequest& request);

std::optional<std::string> ShowOpenFileDialog(HWND owner, const FileDialogRequest& request);
std::optional<std::string> ShowSaveFileDialog(HWND owner, const FileDialogRequest& request);
std::optional<std::string> ShowFolderBrowser(HWND owner, const std::string& title, const std::string& initialFolder);

// EXTDLG / EXTDLGE.
std::optional<std::string> ShowPageRangeDialog(HWND owner, bool japanese);
// IDD_SETSEC / IDD_SETSECE; edits values and returns true on OK.
bool ShowSecurityDialog(HWND owner, bool japanese, SecurityDialogValues& values);
// PASSDLG / PASSDLGE.
std::optional<std::string> ShowPasswordDialog(HWND owner, bool japanese, const PasswordRequest& request);
// SETDLG / SETDLGE; validate is asked on OK and the dialog stays open while it answers false.
bool ShowGeneralSettingDialog(HWND owner, bool japanese, GeneralSettingsValues& values,
                              const std::function<bool(const GeneralSettingsValues&)>& validate);
// FSETDLG / FSETDLGE; the split row is offered only when splitterVersion is at least 1000.
bool ShowFileSettingDialog(HWND owner, bool japanese, OutputSettings& settings, int splitterVersion);
// EDITDLG / EDITDLGE; its browse button reads and updates inputFolder.
std::optional<std::string> ShowEditFileNameDialog(HWND owner, bool japanese, const std::string& path,
                                                  std::string& inputFolder);
// ABOUTDLG / ABOUTDLGE.
void ShowAboutDialog(HWND owner, bool japanese);
// THDDLG / THDDLGE: runs the job on the worker thread behind the modal progress dialog and returns
// its result; a password the job asks for is asked with the password dialog owned by this one.
int ShowProgressDialog(HWND owner, bool japanese, const JobRequest& request);

}  // namespace folvex::win32
