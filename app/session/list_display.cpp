#include "app/session/list_display.h"

#include "app/text/texts.h"

namespace folvex {

std::string StatusText(const FileList& list, bool japanese) {
  std::string text(Text(TextId::StatusNormal, japanese));
  const int rows = static_cast<int>(list.Rows.size());
  if (rows == 0) return text;
  const int selected = static_cast<int>(SelectedRows(list).size());
  if (selected == 0) return text + FormatText(TextId::StatusAll, japanese, rows);
  return text + FormatText(TextId::StatusSelected, japanese, selected, rows);
}

void ShowListChange(const AppSession& session, Desktop& desktop) {
  desktop.ListChanged();
  desktop.SetStatusText(StatusText(session.List, session.Japanese));
  ToolbarState toolbar;
  toolbar.UndoTooltip = UndoTooltip(session.Undo, session.Japanese);
  toolbar.RedoTooltip = RedoTooltip(session.Undo, session.Japanese);
  toolbar.SplitButtonsVisible = session.Splitter.Available;
  desktop.RefreshToolbar(toolbar);
}

}  // namespace folvex
