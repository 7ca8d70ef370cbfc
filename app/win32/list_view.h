// The file list's report view: four columns with the status icons, filled from the model and
// read back for selection, focus and column widths.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>

#include "app/model/file_list.h"
#include "app/model/list_order.h"

namespace folvex::win32 {

constexpr int kListId = 2010;

struct FileListView {
  HWND Window = nullptr;
  HIMAGELIST Icons = nullptr;
};

// The list with its image list (IPDF, INON, IBAD, IENC) and its columns in the interface language.
FileListView CreateFileListView(HWND parent, HINSTANCE instance, bool japanese, const std::array<int32_t, 4>& widths);
void DestroyFileListView(FileListView& view);

// Shows the model's rows: texts, icons, selection and focus.
void ShowRows(HWND list, const FileList& model);

// Takes one row's selection and focus (an item-changed notice) into the model; item -1 reads every row.
void TakeRowState(HWND list, FileList& model, int item);

std::array<int32_t, 4> ColumnWidths(HWND list);

// Where the rows stand, in the client coordinates of reference (the screen when it is null).
ListGeometry RowGeometry(HWND list, HWND reference);

}  // namespace folvex::win32
