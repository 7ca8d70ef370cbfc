// What a successful extract or merge does with the list: the source rows go or are deselected,
// a row for the new file comes, the step is committed, and the new file is opened or "Done" shown.
#pragma once

#include <string>
#include <vector>

#include "app/session/app_session.h"
#include "app/model/desktop.h"
#include "app/text/texts.h"

namespace folvex {

struct NewFile {
  std::string Path;
  int PageCount = 0;
  bool Encrypted = false;  // OutputEncrypted
  TextId DoneText = TextId::ExtractDone;
};

// sourceRows are the job's input rows, ascending. With OrgFileDelete they are removed (and any
// selected marked row is deselected); otherwise, with NewFileRecord, every row is deselected.
// With NewFileRecord a selected, focused row for the new file is appended. The step of commandId
// is committed when either setting is on. NewFileOpen opens the new file instead of saying "Done".
void TakeNewFile(AppSession& session, Desktop& desktop, const std::vector<int>& sourceRows, const NewFile& file,
                 int commandId);

}  // namespace folvex
