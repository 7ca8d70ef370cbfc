// The main window: toolbar, file list and status bar around the application session, and the
// routing of its window messages to the commands.
#pragma once

#include <windows.h>

#include <memory>

#include "app/session/app_session.h"
#include "app/win32/drag_reorder.h"
#include "app/win32/list_view.h"
#include "app/win32/toolbar.h"

namespace folvex::win32 {

class Win32Desktop;

struct MainWindow {
  HINSTANCE Instance = nullptr;
  HWND Window = nullptr;
  MainToolbar Toolbar;
  FileListView List;
  HWND Status = nullptr;
  DragReorder Drag;
  bool LanguageForced = false;
  bool ShowingRows = false;  // the list is being filled from the model: its notices are ours
  AppSession Session;
  std::unique_ptr<Win32Desktop> Desktop;

  MainWindow();
  ~MainWindow();
};

// Registers the window class "Folvex", creates and shows the main window and runs the message
// loop with the accelerators "CPACCEL". commandLine holds the arguments only. Returns the exit code.
int RunMainWindow(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

}  // namespace folvex::win32
