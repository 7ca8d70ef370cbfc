// Folvex.exe: the desktop program.
#include <windows.h>

#include "app/win32/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  return folvex::win32::RunMainWindow(instance, commandLine, showCommand);
}
