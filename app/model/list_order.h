// Reordering the file list: the sort routine with its eight toggles, the drag-reorder's new
// order, and where a drop or a drag lands.
#pragma once

#include <array>
#include <vector>

#include "app/model/file_list.h"

namespace folvex {

enum class SortKey { Name = 0, Path = 1, Date = 2, Page = 3 };

// One flag per sort command (four keys, all rows or selected rows), all off at start.
struct SortToggles {
  std::array<bool, 8> On{};
};

// Clears the other seven toggles and flips this command's one; true (ascending) when it is now on.
bool FlipSortToggle(SortToggles& toggles, SortKey key, bool selectedOnly);
void ResetSortToggles(SortToggles& toggles);

// Sorts all rows or only the selected ones (among their own positions) by key with the list's
// exchange sort. Returns false, leaving the list alone, when the order would not change.
bool SortRows(FileList& list, SortKey key, bool selectedOnly, bool ascending);

// The drag-reorder's new order (row indices) when the selected rows are dropped on target (a row
// index, or the row count for the end of the list): the unselected rows above the target; the
// target itself when it is unselected and a selected row lies above it; all selected rows; the rest.
std::vector<int> DragOrder(const FileList& list, int target);

// Rewrites the rows in order (order[k] is the old index of the new row k), each rebuilt from its
// stored form with its selection and focus. Returns false, leaving the list alone, when order is
// the present order.
bool ApplyRowOrder(FileList& list, const std::vector<int>& order);

// Where the rows of the list stand, in one coordinate system.
struct ListGeometry {
  int TopIndex = 0;          // the top visible row
  int FullyVisibleRows = 0;  // rows that fit the list window completely
  int FirstRowTop = 0;       // top edge of the top visible row
  int RowHeight = 1;
  int ListBottom = 0;        // bottom edge of the list window
};

// The row a drop at pointY (main window client coordinates) inserts before: 0 on the toolbar,
// else the first row from the top visible one through one past the last fully visible one whose
// bottom edge lies below the point, else the end of the list.
int DropInsertionIndex(int rowCount, const ListGeometry& geometry, int pointY, int toolbarHeight = 28);

// The target row of a drag released at pointerY (screen coordinates): the top visible row above
// the first row, else the first row whose bottom edge is at or below the pointer, or the end of
// the list once a row starts below the list window.
int DragTargetRow(int rowCount, const ListGeometry& geometry, int pointerY);

}  // namespace folvex
