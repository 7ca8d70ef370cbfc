#include "app/jobs/new_file.h"

#include "app/jobs/job_preparation.h"
#include "app/model/page_text.h"

namespace folvex {

void TakeNewFile(AppSession& session, Desktop& desktop, const std::vector<int>& sourceRows, const NewFile& file,
                 int commandId) {
  const AppSettings& settings = session.Settings;
  FileList& list = session.List;
  if (settings.OrgFileDelete) {
    for (auto row = sourceRows.rbegin(); row != sourceRows.rend(); ++row) {
      list.Rows.erase(list.Rows.begin() + *row);
    }
    for (ListEntry& row : list.Rows) {
      if (IsMarked(row.Page)) row.Selected = false;
    }
  } else if (settings.NewFileRecord) {
    DeselectAll(list);
  }
  if (settings.NewFileRecord) {
    ListEntry row = MakeRow(file.Path, session.Japanese, false, session.Counter);
    row.Page = PageText(file.Encrypted ? PageState::CountedEncrypted : PageState::Counted, file.PageCount,
                        session.Japanese);
    row.Icon = file.Encrypted ? kIconEncrypted : kIconPdf;
    list.Rows.push_back(std::move(row));
    SelectAndFocus(list, static_cast<int>(list.Rows.size()) - 1);
  }
  if (settings.OrgFileDelete || settings.NewFileRecord) CommitStep(session.Undo, commandId);
  if (settings.NewFileOpen) {
    desktop.ShellOpen(file.Path);
  } else {
    ShowJobMessage(desktop, std::string(Text(file.DoneText, session.Japanese)), MessageIcon::Information);
  }
}

}  // namespace folvex
