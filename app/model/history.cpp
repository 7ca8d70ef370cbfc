#include "app/model/history.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "app/text/texts.h"

namespace folvex {

namespace {

std::size_t SlotIndex(int32_t position) {
  const int32_t index = position % kHistorySlots;
  return static_cast<std::size_t>(index < 0 ? index + kHistorySlots : index);
}

void SwitchOff(History& history) {
  history.Enabled = false;
  std::vector<HistorySlot>().swap(history.Slots);
}

// Doubles the slot while it cannot hold more than rowCount rows.
bool MakeRoom(History& history, HistorySlot& slot, std::size_t rowCount) {
  std::size_t capacity = slot.Capacity;
  while (capacity <= rowCount) capacity += capacity;
  if (capacity == slot.Capacity) return true;
  if (capacity > history.MaxRowsPerSlot) return false;
  try {
    slot.Rows.reserve(capacity);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  slot.Capacity = capacity;
  return true;
}

struct LabelRow {
  int CommandId;
  TextId Label;
};

constexpr LabelRow kLabels[] = {
    {1110, TextId::LabelRecordFromFolder}, {1150, TextId::LabelDelete},
    {1170, TextId::LabelEditFileName},     {1180, TextId::LabelArrayPathAll},
    {1190, TextId::LabelArrayFileAll},     {1200, TextId::LabelArrayDateAll},
    {1210, TextId::LabelArrayPathSelect},  {1220, TextId::LabelArrayFileSelect},
    {1230, TextId::LabelArrayDateSelect},  {1240, TextId::LabelUpdate},
    {1250, TextId::LabelExtract},          {1260, TextId::LabelMergeAll},
    {1270, TextId::LabelMergeSelect},      {1310, TextId::LabelViewPageAll},
    {1320, TextId::LabelViewPageSelect},   {1330, TextId::LabelArrayPageAll},
    {1340, TextId::LabelArrayPageSelect},  {1400, TextId::LabelDrop},
    {1410, TextId::LabelDrag},             {1450, TextId::LabelSetSecurity},
    {1460, TextId::LabelRemoveSecurity},
};

}  // namespace

bool StartHistory(History& history) {
  SwitchOff(history);
  history.Position = 0;
  history.UndoCount = 0;
  history.RedoCount = 0;
  history.UndoLabelId = kNothingCommandId;
  history.RedoLabelId = kNothingCommandId;
  if (kSnapshotInitialRows > history.MaxRowsPerSlot) return false;
  try {
    history.Slots.resize(kHistorySlots);
    for (HistorySlot& slot : history.Slots) {
      slot.Rows.reserve(kSnapshotInitialRows);
      slot.Capacity = kSnapshotInitialRows;
    }
  } catch (const std::bad_alloc&) {
    SwitchOff(history);
    return false;
  }
  history.Enabled = true;
  return true;
}

bool TakeSnapshot(History& history, const FileList& list, int commandId) {
  if (!history.Enabled) return true;
  HistorySlot& slot = history.Slots[SlotIndex(history.Position)];
  if (!MakeRoom(history, slot, list.Rows.size())) {
    SwitchOff(history);
    return false;
  }
  slot.CommandId = commandId;
  slot.FocusRow = FocusRow(list);
  slot.Rows.clear();
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    const ListEntry& row = list.Rows[i];
    const PageValue value = PageValueOf(row.Page);
    SnapshotRow stored;
    stored.RowIndex = static_cast<int32_t>(i);
    stored.Path = row.Path;
    stored.NameLength = static_cast<int32_t>(row.Name.size() <= row.Path.size() ? row.Name.size() : row.Path.size());
    stored.Date = YearFirstDate(row.Date, list.Japanese);
    stored.PageValue = value.Value;
    stored.EncryptedFlag = value.Encrypted;
    stored.Selected = row.Selected;
    stored.Focused = row.Focused;
    slot.Rows.push_back(std::move(stored));
  }
  return true;
}

void CommitStep(History& history, int commandId) {
  if (!history.Enabled) return;
  history.UndoCount = history.UndoCount + 1 < kMaxUndoSteps ? history.UndoCount + 1 : kMaxUndoSteps;
  history.Position += 1;
  history.RedoCount = 0;
  history.UndoLabelId = commandId;
  history.RedoLabelId = kNothingCommandId;
}

int RestoreSnapshot(FileList& list, const HistorySlot& slot) {
  std::vector<ListEntry> rows;
  rows.reserve(slot.Rows.size());
  for (const SnapshotRow& stored : slot.Rows) {
    ListEntry row;
    const std::size_t nameLength = static_cast<std::size_t>(stored.NameLength);
    row.Name = stored.Path.substr(stored.Path.size() - nameLength);
    row.Path = stored.Path;
    row.Date = DisplayDate(stored.Date, list.Japanese);
    const PageValue value{stored.PageValue, stored.EncryptedFlag};
    row.Page = PageTextOf(value, list.Japanese);
    row.Icon = IconOf(value);
    row.Selected = stored.Selected;
    row.Focused = stored.Focused;
    rows.push_back(std::move(row));
  }
  list.Rows = std::move(rows);
  return slot.FocusRow;
}

bool Undo(History& history, FileList& list, int& focusRow) {
  if (!history.Enabled || history.UndoCount < 1) return false;
  if (history.RedoCount == 0 && !TakeSnapshot(history, list, 1130)) return false;
  history.Position -= 1;
  history.UndoCount -= 1;
  history.RedoCount += 1;
  const HistorySlot& slot = history.Slots[SlotIndex(history.Position)];
  focusRow = RestoreSnapshot(list, slot);
  history.RedoLabelId = slot.CommandId;
  history.UndoLabelId =
      history.UndoCount > 0 ? history.Slots[SlotIndex(history.Position - 1)].CommandId : kNothingCommandId;
  return true;
}

bool Redo(History& history, FileList& list, int& focusRow) {
  if (!history.Enabled || history.RedoCount < 1) return false;
  history.Position += 1;
  history.UndoCount += 1;
  history.RedoCount -= 1;
  focusRow = RestoreSnapshot(list, history.Slots[SlotIndex(history.Position)]);
  history.UndoLabelId = history.Slots[SlotIndex(history.Position - 1)].CommandId;
  history.RedoLabelId =
      history.RedoCount > 0 ? history.Slots[SlotIndex(history.Position)].CommandId : kNothingCommandId;
  return true;
}

std::string HistoryLabel(int commandId, bool japanese) {
  for (const LabelRow& row : kLabels) {
    if (row.CommandId == commandId) return std::string(Text(row.Label, japanese));
  }
  return std::string(Text(TextId::LabelNothing, japanese));
}

std::string UndoTooltip(const History& history, bool japanese) {
  return std::string(Text(TextId::UndoPrefix, japanese)) + HistoryLabel(history.UndoLabelId, japanese);
}

std::string RedoTooltip(const History& history, bool japanese) {
  return std::string(Text(TextId::RedoPrefix, japanese)) + HistoryLabel(history.RedoLabelId, japanese);
}

}  // namespace folvex
