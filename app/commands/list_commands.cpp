#include "app/commands/list_commands.h"

#include <cstddef>
#include <string_view>

#include "app/session/command_ids.h"
#include "app/model/file_times.h"
#include "app/text/texts.h"
#include "engine/reading/file_image.h"

namespace folvex {

namespace {

bool SplitRunActive(const AppSession& session) { return session.Splitter.Run != 0; }

// Counting with the wait cursor shown.
PageCounter WaitingCounter(AppSession& session, Desktop& desktop) {
  return [&session, &desktop](const std::string& path) {
    desktop.SetWaitCursor(true);
    const PageCount count = session.Counter(path);
    desktop.SetWaitCursor(false);
    return count;
  };
}

ListEntry NewRow(AppSession& session, Desktop& desktop, const std::string& path) {
  return MakeRow(path, session.Japanese, session.Settings.PageDisp, WaitingCounter(session, desktop));
}

void ShowText(Desktop& desktop, TextId id, bool japanese, MessageIcon icon, std::string_view tail = {}) {
  MessageRequest request;
  request.Text = std::string(Text(id, japanese)) + std::string(tail);
  request.Icon = icon;
  desktop.ShowMessage(request);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Sorts the selected rows (the rows just added) by name, ascending, without a history step.
void SortNewRows(AppSession& session) {
  ResetSortToggles(session.Sort);
  FlipSortToggle(session.Sort, SortKey::Name, true);
  SortRows(session.List, SortKey::Name, true, true);
}

void RecordFromFolder(AppSession& session, Desktop& desktop) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdListFromFolder);
  std::optional<std::string> folder = desktop.BrowseForFolder(
      std::string(Text(TextId::RecordSelectFolder, session.Japanese)), std::string());
  if (!folder) return;
  DeselectAll(session.List);
  const std::vector<std::string> paths = ListPdfFiles(*folder);
  for (const std::string& path : paths) {
    ListEntry row = NewRow(session, desktop, path);
    row.Selected = true;
    session.List.Rows.push_back(std::move(row));
  }
  if (!paths.empty()) CommitStep(session.Undo, kCmdListFromFolder);
  if (paths.size() >= 2) SortNewRows(session);
  ShowListChange(session, desktop);
  desktop.FocusList();
}

void EditFileName(AppSession& session, Desktop& desktop) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdEditFileName);
  const std::vector<int> selected = SelectedRows(session.List);
  if (selected.size() >= 2) return;
  const int edited = selected.empty() ? -1 : selected.front();
  const std::string oldPath = edited < 0 ? std::string() : session.List.Rows[static_cast<std::size_t>(edited)].Path;
  const std::optional<std::string> path = desktop.EditFileName(oldPath, session.Settings.InputFolder);
  if (!path) return;
  if (!HasPdfExtension(*path)) {
    ShowText(desktop, TextId::EditNotPdfFile, session.Japanese, MessageIcon::Error);
    return;
  }
  if (!FileOpensForReading(*path)) {
    ShowText(desktop, TextId::EditNoFile, session.Japanese, MessageIcon::Error);
    return;
  }
  ListEntry row = NewRow(session, desktop, *path);
  row.Selected = true;
  if (edited < 0) {
    session.List.Rows.push_back(std::move(row));
  } else {
    row.Focused = session.List.Rows[static_cast<std::size_t>(edited)].Focused;
    session.List.Rows[static_cast<std::size_t>(edited)] = std::move(row);
  }
  if (!SameIgnoringCase(*path, oldPath)) CommitStep(session.Undo, kCmdEditFileName);
  ShowListChange(session, desktop);
}

void DeleteRows(AppSession& session, Desktop& desktop) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdDelete);
  if (DeleteSelected(session.List) > 0) CommitStep(session.Undo, kCmdDelete);
  ShowListChange(session, desktop);
}

struct SortCommand {
  int Id;
  SortKey Key;
  bool SelectedOnly;
};

constexpr SortCommand kSortCommands[] = {
    {kCmdArrayFileAll, SortKey::Name, false},    {kCmdArrayPathAll, SortKey::Path, false},
    {kCmdArrayDateAll, SortKey::Date, false},    {kCmdArrayPageAll, SortKey::Page, false},
    {kCmdArrayFileSelect, SortKey::Name, true},  {kCmdArrayPathSelect, SortKey::Path, true},
    {kCmdArrayDateSelect, SortKey::Date, true},  {kCmdArrayPageSelect, SortKey::Page, true},
};

void Sort(AppSession& session, Desktop& desktop, const SortCommand& command) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, command.Id);
  const std::size_t rows =
      command.SelectedOnly ? SelectedRows(session.List).size() : session.List.Rows.size();
  if (rows < 2) return;
  const bool ascending = FlipSortToggle(session.Sort, command.Key, command.SelectedOnly);
  if (SortRows(session.List, command.Key, command.SelectedOnly, ascending)) {
    CommitStep(session.Undo, command.Id);
  }
  ShowListChange(session, desktop);
}

void UndoOrRedo(AppSession& session, Desktop& desktop, bool undo) {
  int focusRow = -1;
  if (!SplitRunActive(session) &&
      (undo ? Undo(session.Undo, session.List, focusRow) : Redo(session.Undo, session.List, focusRow))) {
    ShowListChange(session, desktop);
    if (focusRow >= 0) desktop.ScrollRowIntoView(focusRow);
    return;
  }
  desktop.SetStatusText(StatusText(session.List, session.Japanese));
}

void Update(AppSession& session, Desktop& desktop) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdUpdate);
  if (UpdateTimeStamps(session.List) > 0) CommitStep(session.Undo, kCmdUpdate);
  ShowListChange(session, desktop);
}

// View Page (all or selected) and the count Extract runs before it gives up, which commits its
// step under Extract's label.
void ViewPages(AppSession& session, Desktop& desktop, int id, bool selectedOnly, int stepId) {
  if (SplitRunActive(session)) return;
  if (id != kCmdPageSelectForExtract) TakeSnapshot(session.Undo, session.List, id);
  if (CountUncountedRows(session.List, selectedOnly, WaitingCounter(session, desktop)) > 0) {
    CommitStep(session.Undo, stepId);
  }
  ShowListChange(session, desktop);
}

void OpenSelected(AppSession& session, Desktop& desktop) {
  for (const int row : SelectedRows(session.List)) desktop.ShellOpen(session.List.Rows[static_cast<std::size_t>(row)].Path);
}

void OpenHelp(AppSession& session, Desktop& desktop) {
  const std::string folder = session.StartDirectory.empty() || session.StartDirectory.back() == '\\' ||
                                     session.StartDirectory.back() == '/'
                                 ? session.StartDirectory
                                 : session.StartDirectory + "\\";
  if (!session.Japanese && desktop.ShellOpen(folder + "HelpE.htm")) return;
  if (desktop.ShellOpen(folder + "Help.htm")) return;
  ShowText(desktop, TextId::HelpFileNotFound, session.Japanese, MessageIcon::Error);
}

}  // namespace

void DropFiles(AppSession& session, Desktop& desktop, const std::vector<std::string>& paths, int insertionIndex) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdDrop);
  const int rowCount = static_cast<int>(session.List.Rows.size());
  const int at = insertionIndex < 0 ? 0 : (insertionIndex > rowCount ? rowCount : insertionIndex);
  DeselectAll(session.List);
  int added = 0;
  for (const std::string& path : paths) {
    if (!HasPdfExtension(path)) {
      desktop.BringToForeground();
      MessageRequest question;
      question.Text = std::string(Text(TextId::DropNotPdfFile, session.Japanese)) + FileNameOf(path);
      question.Icon = MessageIcon::Information;
      question.Buttons = MessageButtons::OkCancel;
      if (desktop.ShowMessage(question) == MessageAnswer::Cancel) break;
      continue;
    }
    ListEntry row = NewRow(session, desktop, path);
    row.Selected = true;
    session.List.Rows.insert(session.List.Rows.begin() + at, std::move(row));
    ++added;
  }
  if (added >= 1) {
    CommitStep(session.Undo, kCmdDrop);
    desktop.BringToForeground();
  }
  if (added >= 2) SortNewRows(session);
  ShowListChange(session, desktop);
  if (added >= 1) desktop.ScrollRowIntoView(SelectedRows(session.List).front());
  desktop.FocusList();
}

void DragRows(AppSession& session, Desktop& desktop, int target) {
  if (SplitRunActive(session)) return;
  TakeSnapshot(session.Undo, session.List, kCmdDrag);
  if (ApplyRowOrder(session.List, DragOrder(session.List, target))) CommitStep(session.Undo, kCmdDrag);
  ShowListChange(session, desktop);
}

bool RunListCommand(AppSession& session, Desktop& desktop, int id) {
  for (const SortCommand& command : kSortCommands) {
    if (command.Id == id) {
      Sort(session, desktop, command);
      return true;
    }
  }
  switch (id) {
    case kCmdOpen:
    case kCmdOpenKey:
      OpenSelected(session, desktop);
      return true;
    case kCmdListFromFolder:
      RecordFromFolder(session, desktop);
      return true;
    case kCmdUndo:
      UndoOrRedo(session, desktop, true);
      return true;
    case kCmdRedo:
      UndoOrRedo(session, desktop, false);
      return true;
    case kCmdDelete:
    case kCmdDeleteKey:
      DeleteRows(session, desktop);
      return true;
    case kCmdSelectAll:
    case kCmdSelectAllKey:
      SelectAll(session.List);
      ShowListChange(session, desktop);
      return true;
    case kCmdEditFileName:
      EditFileName(session, desktop);
      return true;
    case kCmdArrayFileSelectQuiet:
      FlipSortToggle(session.Sort, SortKey::Name, true);
      SortRows(session.List, SortKey::Name, true, true);
      ShowListChange(session, desktop);
      return true;
    case kCmdUpdate:
      Update(session, desktop);
      return true;
    case kCmdPageAll:
      ViewPages(session, desktop, id, false, kCmdPageAll);
      return true;
    case kCmdPageSelect:
      ViewPages(session, desktop, id, true, kCmdPageSelect);
      return true;
    case kCmdPageSelectForExtract:
      ViewPages(session, desktop, id, true, kCmdExtract);
      return true;
    case kCmdFileSetting:
      if (!SplitRunActive(session)) desktop.EditFileSettings(session.Settings.Output);
      return true;
    case kCmdHelp:
      OpenHelp(session, desktop);
      return true;
    case kCmdAbout:
      desktop.ShowAbout();
      return true;
    default:
      return false;
  }
}

}  // namespace folvex
