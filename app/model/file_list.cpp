#include "app/model/file_list.h"

#include <cstddef>

#include "app/model/file_times.h"
#include "app/model/page_text.h"
#include "app/text/texts.h"
#include "engine/core/engine_state.h"
#include "engine/reading/file_image.h"
#include "engine/reading/open_document.h"
#include "engine/security/authenticate.h"

namespace folvex {

namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsEither(std::string_view page, TextId id) {
  return page == Text(id, false) || page == Text(id, true);
}

// The English date "mm/dd/yy hh:mm:ss" and the year-first "yy/mm/dd hh:mm:ss" differ only in where
// the three date fields stand.
std::string SwapDateFields(std::string_view date, bool toYearFirst) {
  std::string out(date);
  if (date.size() < 8) return out;
  if (toYearFirst) {
    out.replace(0, 2, date.substr(6, 2));
    out.replace(3, 2, date.substr(0, 2));
    out.replace(6, 2, date.substr(3, 2));
  } else {
    out.replace(6, 2, date.substr(0, 2));
    out.replace(0, 2, date.substr(3, 2));
    out.replace(3, 2, date.substr(6, 2));
  }
  return out;
}

}  // namespace

std::string FileNameOf(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

bool HasPdfExtension(std::string_view path) {
  if (path.size() < 5) return false;
  std::string tail(path.substr(path.size() - 4));
  for (char& c : tail) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return tail == ".PDF";
}

bool IsUncounted(std::string_view page) { return page == "?"; }

bool IsMarked(std::string_view page) { return !page.empty() && page[0] == 'X'; }

bool IsUsable(std::string_view page) { return !IsMarked(page); }

bool IsEncryptedPage(std::string_view page) {
  if (!IsUsable(page)) return false;
  // The counted form is the count followed by the bare word, so one suffix test takes both.
  for (const bool japanese : {false, true}) {
    if (EndsWith(page, Text(TextId::PageEncrypted, japanese))) return true;
  }
  return false;
}

int32_t LeadingNumber(std::string_view page) {
  int64_t value = 0;
  std::size_t i = 0;
  while (i < page.size() && page[i] == ' ') ++i;
  for (; i < page.size() && page[i] >= '0' && page[i] <= '9'; ++i) {
    value = value * 10 + (page[i] - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}

PageValue PageValueOf(std::string_view page) {
  if (IsEither(page, TextId::PageNotFound)) return {-1, false};
  if (IsEither(page, TextId::PageEncrypted)) return {-2, false};
  if (IsEither(page, TextId::PageNotPdf)) return {-3, false};
  if (IsUncounted(page)) return {0, false};
  return {LeadingNumber(page), IsEncryptedPage(page)};
}

std::string PageTextOf(PageValue value, bool japanese) {
  switch (value.Value) {
    case -3:
      return PageText(PageState::NotPdf, 0, japanese);
    case -2:
      return PageText(PageState::EncryptedUncounted, 0, japanese);
    case -1:
      return PageText(PageState::NotFound, 0, japanese);
    case 0:
      return "?";
    default:
      break;
  }
  return PageText(value.Encrypted ? PageState::CountedEncrypted : PageState::Counted, value.Value, japanese);
}

int IconOf(PageValue value) {
  if (value.Value == -3) return kIconNotPdf;
  if (value.Value == -2 || value.Encrypted) return kIconEncrypted;
  if (value.Value == -1) return kIconNotFound;
  return kIconPdf;
}

std::string YearFirstDate(std::string_view date, bool japanese) {
  return japanese ? std::string(date) : SwapDateFields(date, true);
}

std::string DisplayDate(std::string_view yearFirst, bool japanese) {
  return japanese ? std::string(yearFirst) : SwapDateFields(yearFirst, false);
}

std::string DateKey(std::string_view date, bool japanese) {
  std::string key = YearFirstDate(date, japanese);
  if (!key.empty() && key[0] == '9') key[0] = '/';
  if (!key.empty() && key[0] == '8') key[0] = '.';
  return key;
}

std::string DateFromKey(std::string_view key, bool japanese) {
  std::string date(key);
  if (!date.empty() && date[0] == '/') date[0] = '9';
  if (!date.empty() && date[0] == '.') date[0] = '8';
  return DisplayDate(date, japanese);
}

PageCount CountPagesOfFile(const std::string& path) {
  EngineState state;
  PageCount count;
  // A protected file with cross-reference streams is counted when the empty password opens it.
  count.Result = CountPages(state, path, MakeCountDecryption());
  count.Encrypted = state.EncryptRef.has_value();
  count.LastErrorCode = state.LastErrorCode;
  return count;
}

void ApplyPageCount(ListEntry& row, const PageCount& count, bool japanese) {
  const PageState state = PageStateOf(count.Result, count.Encrypted, count.LastErrorCode);
  row.Page = PageText(state, count.Result, japanese);
  switch (state) {
    case PageState::Counted:
      row.Icon = kIconPdf;
      break;
    case PageState::NotFound:
      row.Icon = kIconNotFound;
      break;
    case PageState::NotPdf:
      row.Icon = kIconNotPdf;
      break;
    case PageState::CountedEncrypted:
    case PageState::EncryptedUncounted:
      row.Icon = kIconEncrypted;
      break;
  }
}

ListEntry MakeRow(const std::string& path, bool japanese, bool countNow, const PageCounter& counter) {
  ListEntry row;
  row.Name = FileNameOf(path);
  row.Path = path;
  row.Date = FileDateText(path, japanese);
  row.Page = "?";
  if (countNow) ApplyPageCount(row, counter(path), japanese);
  return row;
}

ListEntry RebuiltRow(const ListEntry& row, bool japanese) {
  ListEntry out = row;
  const PageValue value = PageValueOf(row.Page);
  out.Page = PageTextOf(value, japanese);
  out.Icon = IconOf(value);
  out.Date = DateFromKey(DateKey(row.Date, japanese), japanese);
  return out;
}

std::vector<int> SelectedRows(const FileList& list) {
  std::vector<int> rows;
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    if (list.Rows[i].Selected) rows.push_back(static_cast<int>(i));
  }
  return rows;
}

int FocusRow(const FileList& list) {
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    if (list.Rows[i].Focused) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < list.Rows.size(); ++i) {
    if (list.Rows[i].Selected) return static_cast<int>(i);
  }
  return -1;
}

void SelectAll(FileList& list) {
  for (ListEntry& row : list.Rows) row.Selected = true;
}

void DeselectAll(FileList& list) {
  for (ListEntry& row : list.Rows) row.Selected = false;
}

int DeleteSelected(FileList& list) {
  int removed = 0;
  std::size_t lastRemovedAt = 0;
  std::vector<ListEntry> kept;
  kept.reserve(list.Rows.size());
  for (ListEntry& row : list.Rows) {
    if (row.Selected) {
      lastRemovedAt = kept.size();
      ++removed;
    } else {
      kept.push_back(std::move(row));
    }
  }
  list.Rows = std::move(kept);
  if (removed > 0 && lastRemovedAt < list.Rows.size()) list.Rows[lastRemovedAt].Selected = true;
  return removed;
}

int CountUncountedRows(FileList& list, bool selectedOnly, const PageCounter& counter) {
  int counted = 0;
  for (ListEntry& row : list.Rows) {
    if (selectedOnly && !row.Selected) continue;
    if (!IsUncounted(row.Page)) continue;
    ApplyPageCount(row, counter(row.Path), list.Japanese);
    ++counted;
  }
  return counted;
}

int UpdateTimeStamps(FileList& list) {
  int changed = 0;
  for (ListEntry& row : list.Rows) {
    if (FileOpensForReading(row.Path)) {
      const std::string date = FileDateText(row.Path, list.Japanese);
      if (date != row.Date) {
        row.Date = date;
        ++changed;
      }
    } else if (PageValueOf(row.Page).Value != -1) {
      row.Icon = kIconNotFound;
      row.Page = PageText(PageState::NotFound, 0, list.Japanese);
      ++changed;
    }
  }
  return changed;
}

}  // namespace folvex
