// The security jobs' inputs and outcome on the list: which rows they take, the record of each
// (input and output path), how each file's result changes its row, and the closing message.
#pragma once

#include <string>
#include <vector>

#include "app/session/app_session.h"
#include "app/model/desktop.h"
#include "app/text/texts.h"
#include "engine/security/security_jobs.h"

namespace folvex {

enum class SecurityOperation { Set, Remove };

// A path of this many characters or more (the folder and name of an output, or the input path)
// leaves no room for the output's suffix.
constexpr std::size_t kLongestSecurityPath = 257;

// The selected rows, in list order, that the operation takes: Set takes the uncounted rows and the
// usable ones that are not encrypted; Remove the uncounted and the encrypted rows.
std::vector<int> SecurityInputRows(const FileList& list, SecurityOperation operation);

// One record per input row: the input path and the output path ("-s.pdf" / "-r.pdf", beside the
// input or in OutputFolder with bSecFolder, the start directory when that is empty). The first
// row whose path is too long ends the list of files handed to the driver: it and the rows after
// it are returned in tooLong instead, with the output-failed result.
struct SecurityRecords {
  std::vector<SecurityFileRecord> Records;
  std::vector<SecurityFileRecord> TooLong;
};
SecurityRecords MakeSecurityRecords(const AppSession& session, const std::vector<int>& rows,
                                    SecurityOperation operation);

// Changes the input rows by the records' results (records[i] belongs to rows[i]): new rows are
// appended first, then the source rows are updated, and removed ones go last. Returns true when
// any row changed.
bool ApplySecurityResults(AppSession& session, Desktop& desktop, const std::vector<int>& rows,
                          const std::vector<SecurityFileRecord>& records, SecurityOperation operation);

// The message for the job's result: the singular text for one file, the plural one for several.
TextId SecurityResultText(int result, SecurityOperation operation, bool severalFiles);

}  // namespace folvex
