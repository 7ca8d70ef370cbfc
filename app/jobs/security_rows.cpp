#include "app/jobs/security_rows.h"

#include <algorithm>

#include "app/jobs/job_preparation.h"
#include "app/jobs/output_names.h"
#include "engine/core/path_text.h"

namespace folvex {

namespace {

std::size_t CharacterCount(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void MarkNotPdf(ListEntry& row, bool japanese) {
  row.Icon = kIconNotPdf;
  row.Page = std::string(Text(TextId::PageNotPdf, japanese));
}

void MarkNotFound(ListEntry& row, bool japanese) {
  row.Icon = kIconNotFound;
  row.Page = std::string(Text(TextId::PageNotFound, japanese));
}

// The row of a file that was written, when the row becomes the new file.
void BecomeNewFile(AppSession& session, Desktop& desktop, ListEntry& row, const std::string& path) {
  ListEntry fresh = MakeRow(path, session.Japanese, false, session.Counter);
  fresh.Selected = row.Selected;
  fresh.Focused = row.Focused;
  row = std::move(fresh);
  RecountRow(session, desktop, row);
}

}  // namespace

std::vector<int> SecurityInputRows(const FileList& list, SecurityOperation operation) {
  std::vector<int> rows;
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    const ListEntry& row = list.Rows[i];
    if (!row.Selected) continue;
    const bool uncounted = IsUncounted(row.Page);
    const bool encrypted = IsUsable(row.Page) && IsEncryptedPage(row.Page);
    const bool taken = operation == SecurityOperation::Set ? uncounted || (IsUsable(row.Page) && !encrypted)
                                                            : uncounted || encrypted;
    if (taken) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

SecurityRecords MakeSecurityRecords(const AppSession& session, const std::vector<int>& rows,
                                    SecurityOperation operation) {
  SecurityRecords out;
  const char* suffix = operation == SecurityOperation::Set ? "-s.pdf" : "-r.pdf";
  const AppSettings& settings = session.Settings;
  const std::string folder =
      settings.bSecFolder ? (settings.OutputFolder.empty() ? session.StartDirectory : settings.OutputFolder) : "";
  for (const int index : rows) {
    const ListEntry& row = session.List.Rows[static_cast<std::size_t>(index)];
    SecurityFileRecord record;
    record.InputPath = row.Path;
    record.OutputPath = SecurityOutputPath(row.Path, folder, suffix);
    const std::string before = folder.empty() ? row.Path : JoinedPath(folder, FileNameOf(row.Path));
    if (!out.TooLong.empty() || CharacterCount(before) >= kLongestSecurityPath) {
      record.Result = kSecurityOutputFailed;
      out.TooLong.push_back(record);
    } else {
      out.Records.push_back(record);
    }
  }
  return out;
}

bool ApplySecurityResults(AppSession& session, Desktop& desktop, const std::vector<int>& rows,
                          const std::vector<SecurityFileRecord>& records, SecurityOperation operation) {
  const bool both = session.Settings.OrgFileDelete && session.Settings.NewFileRecord;
  const bool japanese = session.Japanese;
  const bool set = operation == SecurityOperation::Set;
  FileList& list = session.List;
  bool changed = false;

  if (!both && session.Settings.NewFileRecord) {
    for (const SecurityFileRecord& record : records) {
      if (record.Result != kSecurityDone) continue;
      ListEntry row = MakeRow(record.OutputPath, japanese, false, session.Counter);
      RecountRow(session, desktop, row);
      row.Selected = true;
      list.Rows.push_back(std::move(row));
      changed = true;
    }
  }

  std::vector<int> removed;
  for (std::size_t i = 0; i < rows.size() && i < records.size(); ++i) {
    ListEntry& row = list.Rows[static_cast<std::size_t>(rows[i])];
    const SecurityFileRecord& record = records[i];
    switch (record.Result) {
      case kSecurityDone:
        if (both) {
          BecomeNewFile(session, desktop, row, record.OutputPath);
        } else if (session.Settings.OrgFileDelete) {
          removed.push_back(rows[i]);
        } else {
          RecountRow(session, desktop, row);
        }
        break;
      case kSecurityWrongState:
        RecountRow(session, desktop, row);
        break;
      case kSecurityInputMissing:
        MarkNotFound(row, japanese);
        break;
      case kSecurityOutputFailed:
      case kSecurityNotHandled:
        continue;
      case kSecurityNotPermitted:
        if (set) {
          MarkNotPdf(row, japanese);
        } else {
          RecountRow(session, desktop, row);
        }
        break;
      case kSecurityPasswordFailed:
        if (set) {
          MarkNotPdf(row, japanese);
        } else if (both) {
          continue;
        } else {
          RecountRow(session, desktop, row);
        }
        break;
      default:
        MarkNotPdf(row, japanese);
        break;
    }
    changed = true;
  }

  std::sort(removed.begin(), removed.end());
  for (auto row = removed.rbegin(); row != removed.rend(); ++row) list.Rows.erase(list.Rows.begin() + *row);
  return changed;
}

TextId SecurityResultText(int result, SecurityOperation operation, bool severalFiles) {
  const bool set = operation == SecurityOperation::Set;
  switch (result) {
    case kSecurityDone:
      return set ? TextId::SetSecurityDone : TextId::RemoveSecurityDone;
    case kSecurityWrongState:
      if (set) return severalFiles ? TextId::SetSecurityEncryptedSome : TextId::SetSecurityEncrypted;
      return severalFiles ? TextId::RemoveSecurityNotEncryptedSome : TextId::RemoveSecurityNotEncrypted;
    case kSecurityInputMissing:
      return severalFiles ? TextId::SecurityNotFoundSome : TextId::SecurityNotFound;
    case kSecurityOutputFailed:
      return severalFiles ? TextId::SecurityNotSavedSome : TextId::SecurityNotSaved;
    case kSecurityNotPermitted:
      if (!set) return severalFiles ? TextId::RemoveSecurityNotPermittedSome : TextId::RemoveSecurityNotPermitted;
      break;
    default:
      break;
  }
  if (set) return severalFiles ? TextId::SetSecurityFailedSome : TextId::SetSecurityFailed;
  return severalFiles ? TextId::RemoveSecurityFailedSome : TextId::RemoveSecurityFailed;
}

}  // namespace folvex
