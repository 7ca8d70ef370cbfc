#include "app/win32/list_view.h"

#include <string>

#include "app/text/texts.h"
#include "app/win32/wide_text.h"

namespace folvex::win32 {

namespace {

constexpr const wchar_t* kIconNames[] = {L"IPDF", L"INON", L"IBAD", L"IENC"};
constexpr TextId kColumnTitles[] = {TextId::ColumnName, TextId::ColumnPath, TextId::ColumnDate, TextId::ColumnPage};

void SetCellText(HWND list, int row, int column, const std::string& text) {
  std::wstring wide = Widen(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

UINT StateOf(const ListEntry& row) {
  return (row.Selected ? LVIS_SELECTED : 0u) | (row.Focused ? LVIS_FOCUSED : 0u);
}

}  // namespace

FileListView CreateFileListView(HWND parent, HINSTANCE instance, bool japanese, const std::array<int32_t, 4>& widths) {
  FileListView view;
  view.Window = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
  view.Icons = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  for (const wchar_t* name : kIconNames) {
    HICON icon = static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ImageList_ReplaceIcon(view.Icons, -1, icon);
    if (icon != nullptr) DestroyIcon(icon);
  }
  SendMessageW(view.Window, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(view.Icons));
  for (int column = 0; column < 4; ++column) {
    std::wstring title = Widen(Text(kColumnTitles[column], japanese));
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = widths[static_cast<std::size_t>(column)];
    info.pszText = title.data();
    info.iSubItem = column;
    SendMessageW(view.Window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  }
  return view;
}

void DestroyFileListView(FileListView& view) {
  if (view.Icons != nullptr) ImageList_Destroy(view.Icons);
  view.Icons = nullptr;
}

void ShowRows(HWND list, const FileList& model) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  const int wanted = static_cast<int>(model.Rows.size());
  int shown = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  while (shown > wanted) SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(--shown), 0);
  while (shown < wanted) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = shown++;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  for (int row = 0; row < wanted; ++row) {
    const ListEntry& entry = model.Rows[static_cast<std::size_t>(row)];
    std::wstring name = Widen(entry.Name);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = row;
    item.pszText = name.data();
    item.iImage = entry.Icon;
    item.state = StateOf(entry);
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SetCellText(list, row, 1, entry.Path);
    SetCellText(list, row, 2, entry.Date);
    SetCellText(list, row, 3, entry.Page);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TakeRowState(HWND list, FileList& model, int item) {
  const int rows = static_cast<int>(model.Rows.size());
  const int first = item < 0 ? 0 : item;
  const int last = item < 0 ? rows - 1 : item;
  for (int row = first; row <= last && row < rows; ++row) {
    const UINT state = static_cast<UINT>(
        SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED | LVIS_FOCUSED));
    ListEntry& entry = model.Rows[static_cast<std::size_t>(row)];
    entry.Selected = (state & LVIS_SELECTED) != 0;
    entry.Focused = (state & LVIS_FOCUSED) != 0;
  }
}

std::array<int32_t, 4> ColumnWidths(HWND list) {
  std::array<int32_t, 4> widths{};
  for (int column = 0; column < 4; ++column) {
    widths[static_cast<std::size_t>(column)] =
        static_cast<int32_t>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
  }
  return widths;
}

ListGeometry RowGeometry(HWND list, HWND reference) {
  ListGeometry geometry;
  geometry.TopIndex = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
  geometry.FullyVisibleRows = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  RECT client{};
  GetClientRect(list, &client);
  RECT row{};
  row.left = LVIR_BOUNDS;
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  if (rows > 0 && SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(geometry.TopIndex),
                               reinterpret_cast<LPARAM>(&row)) != 0) {
    geometry.RowHeight = row.bottom - row.top > 0 ? row.bottom - row.top : 1;
  } else {
    // An empty list: the rows would start below the header.
    RECT header{};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
    row.top = header.bottom - header.top;
    row.bottom = row.top + 1;
  }
  POINT corners[2] = {{0, row.top}, {0, client.bottom}};
  MapWindowPoints(list, reference, corners, 2);
  geometry.FirstRowTop = corners[0].y;
  geometry.ListBottom = corners[1].y;
  return geometry;
}

}  // namespace folvex::win32
