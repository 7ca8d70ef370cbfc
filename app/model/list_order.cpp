#include "app/model/list_order.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace folvex {

namespace {

int ToggleIndex(SortKey key, bool selectedOnly) { return static_cast<int>(key) + (selectedOnly ? 4 : 0); }

int Sign(int64_t value) { return value > 0 ? 1 : (value < 0 ? -1 : 0); }

unsigned char Upper(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

// Byte by byte with ASCII letters upper-cased; a shorter text sorts before its continuations.
int CompareUpperCased(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const int difference = Upper(a[i]) - Upper(b[i]);
    if (difference != 0) return Sign(difference);
  }
  return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

int CompareBytes(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return Sign(order);
}

struct SortEntry {
  int Row = 0;
  std::string DateKeyText;
  int32_t PageValueNumber = 0;
};

int Compare(const FileList& list, SortKey key, const SortEntry& a, const SortEntry& b) {
  const ListEntry& rowA = list.Rows[static_cast<std::size_t>(a.Row)];
  const ListEntry& rowB = list.Rows[static_cast<std::size_t>(b.Row)];
  switch (key) {
    case SortKey::Name:
      return CompareUpperCased(rowA.Name, rowB.Name);
    case SortKey::Path:
      return CompareUpperCased(rowA.Path, rowB.Path);
    case SortKey::Date:
      return CompareBytes(a.DateKeyText, b.DateKeyText);
    case SortKey::Page:
      break;
  }
  return Sign(static_cast<int64_t>(a.PageValueNumber) - b.PageValueNumber);
}

}  // namespace

bool FlipSortToggle(SortToggles& toggles, SortKey key, bool selectedOnly) {
  const int own = ToggleIndex(key, selectedOnly);
  const bool next = !toggles.On[static_cast<std::size_t>(own)];
  ResetSortToggles(toggles);
  toggles.On[static_cast<std::size_t>(own)] = next;
  return next;
}

void ResetSortToggles(SortToggles& toggles) { toggles.On.fill(false); }

bool SortRows(FileList& list, SortKey key, bool selectedOnly, bool ascending) {
  std::vector<int> positions;
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    if (!selectedOnly || list.Rows[i].Selected) positions.push_back(static_cast<int>(i));
  }
  std::vector<SortEntry> entries;
  entries.reserve(positions.size());
  for (const int row : positions) {
    const ListEntry& entry = list.Rows[static_cast<std::size_t>(row)];
    entries.push_back({row, DateKey(entry.Date, list.Japanese), PageValueOf(entry.Page).Value});
  }
  const int direction = ascending ? 1 : -1;
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    for (std::size_t j = i + 1; j < entries.size(); ++j) {
      if (Compare(list, key, entries[i], entries[j]) * direction > 0) std::swap(entries[i], entries[j]);
    }
  }
  std::vector<int> order(list.Rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  for (std::size_t k = 0; k < positions.size(); ++k) {
    order[static_cast<std::size_t>(positions[k])] = entries[k].Row;
  }
  return ApplyRowOrder(list, order);
}

std::vector<int> DragOrder(const FileList& list, int target) {
  const int count = static_cast<int>(list.Rows.size());
  if (target < 0) target = 0;
  if (target > count) target = count;
  const auto selected = [&](int row) { return list.Rows[static_cast<std::size_t>(row)].Selected; };
  std::vector<int> order;
  std::vector<bool> placed(static_cast<std::size_t>(count), false);
  const auto place = [&](int row) {
    order.push_back(row);
    placed[static_cast<std::size_t>(row)] = true;
  };
  bool selectedAbove = false;
  for (int row = 0; row < target; ++row) {
    if (selected(row)) {
      selectedAbove = true;
    } else {
      place(row);
    }
  }
  if (target < count && !selected(target) && selectedAbove) place(target);
  for (int row = 0; row < count; ++row) {
    if (selected(row)) place(row);
  }
  for (int row = 0; row < count; ++row) {
    if (!placed[static_cast<std::size_t>(row)]) place(row);
  }
  return order;
}

bool ApplyRowOrder(FileList& list, const std::vector<int>& order) {
  bool same = order.size() == list.Rows.size();
  for (std::size_t k = 0; same && k < order.size(); ++k) same = order[k] == static_cast<int>(k);
  if (same) return false;
  std::vector<ListEntry> rows;
  rows.reserve(order.size());
  for (const int old : order) rows.push_back(RebuiltRow(list.Rows[static_cast<std::size_t>(old)], list.Japanese));
  list.Rows = std::move(rows);
  return true;
}

int DropInsertionIndex(int rowCount, const ListGeometry& geometry, int pointY, int toolbarHeight) {
  if (pointY < toolbarHeight) return 0;
  const int last = geometry.TopIndex + geometry.FullyVisibleRows;
  for (int row = geometry.TopIndex; row <= last && row < rowCount; ++row) {
    const int bottom = geometry.FirstRowTop + (row - geometry.TopIndex + 1) * geometry.RowHeight;
    if (bottom > pointY) return row;
  }
  return rowCount;
}

int DragTargetRow(int rowCount, const ListGeometry& geometry, int pointerY) {
  if (pointerY < geometry.FirstRowTop) return geometry.TopIndex < rowCount ? geometry.TopIndex : rowCount;
  for (int row = 0; row < rowCount; ++row) {
    const int top = geometry.FirstRowTop + (row - geometry.TopIndex) * geometry.RowHeight;
    if (top > geometry.ListBottom) return rowCount;
    if (top + geometry.RowHeight >= pointerY) return row;
  }
  return rowCount;
}

}  // namespace folvex
