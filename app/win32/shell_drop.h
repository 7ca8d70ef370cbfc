// Files dropped on the main window from the shell.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace folvex::win32 {

struct DroppedFiles {
  std::vector<std::string> Paths;  // in the order the shell gives them
  POINT Point{};                   // client coordinates of the window dropped on
};

// Reads the drop and releases it.
DroppedFiles TakeDroppedFiles(HDROP drop);

}  // namespace folvex::win32
