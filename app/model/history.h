// Undo and redo: whole copies of the file list in a ring of 21 slots, taken just before a command
// changes the list, so that up to 20 steps can be undone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/model/file_list.h"

namespace folvex {

constexpr int kHistorySlots = 21;
constexpr int kMaxUndoSteps = 20;
constexpr std::size_t kSnapshotInitialRows = 200;
// The id that labels "nothing to undo or redo".
constexpr int kNothingCommandId = 1420;

struct SnapshotRow {
  int32_t RowIndex = 0;
  std::string Path;
  int32_t NameLength = 0;  // the name is this many bytes at the end of the path
  std::string Date;        // year first (YearFirstDate)
  int32_t PageValue = 0;
  bool EncryptedFlag = false;
  bool Selected = false;
  bool Focused = false;
};

struct HistorySlot {
  int32_t CommandId = 0;
  int32_t FocusRow = -1;  // focused row, else first selected row, else -1
  std::size_t Capacity = 0;  // rows the slot can hold; doubles while the list does not fit
  std::vector<SnapshotRow> Rows;
};

struct History {
  bool Enabled = false;
  std::vector<HistorySlot> Slots;
  int32_t Position = 0;  // the current slot is Position mod 21
  int32_t UndoCount = 0;
  int32_t RedoCount = 0;
  int32_t UndoLabelId = kNothingCommandId;  // command ids whose labels the toolbar tooltips show
  int32_t RedoLabelId = kNothingCommandId;
  // Rows one slot may grow to; asking for more is a memory failure like a failed allocation.
  std::size_t MaxRowsPerSlot = std::numeric_limits<std::size_t>::max() / 2;
};

// Allocates the 21 slots with room for 200 rows each. On failure everything obtained is freed
// and the history stays disabled.
bool StartHistory(History& history);

// Stores the whole list into the current slot for commandId. Returns false only when the slot
// could not grow: the history is then switched off for good and its memory freed. Does nothing
// while the history is disabled.
bool TakeSnapshot(History& history, const FileList& list, int commandId);

// Records the step of a command that changed the list since its snapshot.
void CommitStep(History& history, int commandId);

// Makes the list equal to the slot's rows. Returns the slot's focus row (to be scrolled into view).
int RestoreSnapshot(FileList& list, const HistorySlot& slot);

// Undo and Redo: false when there was nothing to do (no step, history off, or a snapshot of the
// present list failed). focusRow receives the restored slot's focus row.
bool Undo(History& history, FileList& list, int& focusRow);
bool Redo(History& history, FileList& list, int& focusRow);

// The history label of a command id ("Drop", "Array File(All)", ... or "X").
std::string HistoryLabel(int commandId, bool japanese);
// The Undo and Redo toolbar tooltips: "Undo-Drop", "Redo-X", ...
std::string UndoTooltip(const History& history, bool japanese);
std::string RedoTooltip(const History& history, bool japanese);

}  // namespace folvex
