#include "app/win32/shell_drop.h"

#include <shellapi.h>

#include "app/win32/wide_text.h"

namespace folvex::win32 {

DroppedFiles TakeDroppedFiles(HDROP drop) {
  DroppedFiles files;
  DragQueryPoint(drop, &files.Point);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    files.Paths.push_back(Narrow(path));
  }
  DragFinish(drop);
  return files;
}

}  // namespace folvex::win32
