// The file list: the rows of the main window's list and everything read from or written to them.
// The list is the application's only document model; a row's index is its only identity.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace folvex {

// Index into the list's image list of status icons.
enum StatusIcon : int {
  kIconPdf = 0,
  kIconNotFound = 1,
  kIconNotPdf = 2,
  kIconEncrypted = 3,
};

struct ListEntry {
  std::string Name;  // the text after the path's last separator
  std::string Path;
  std::string Date;  // the time stamp text, in the order of the interface language
  std::string Page;  // the page count or the status text
  int Icon = kIconPdf;
  bool Selected = false;
  bool Focused = false;
};

struct FileList {
  std::vector<ListEntry> Rows;
  bool Japanese = false;  // language of the Date and Page texts
};

// The text after the last '\' (or '/') of path.
std::string FileNameOf(std::string_view path);

// At least five characters, the last four ".PDF" in any letter case.
bool HasPdfExtension(std::string_view path);

// Row classes, read from the Page text alone.
bool IsUncounted(std::string_view page);  // exactly "?"
bool IsMarked(std::string_view page);     // not found or not a PDF file: skipped by every operation
bool IsUsable(std::string_view page);     // not marked
// A row of a protected file, counted ("12 Encrypted", "12 暗号化") or not ("Encrypted", "暗号化").
// Every rule that asks whether a row is encrypted asks this.
bool IsEncryptedPage(std::string_view page);
// The decimal number at the start of the text (0 when there is none).
int32_t LeadingNumber(std::string_view page);

// The integer form of a Page text: -1 not found, -2 encrypted and uncounted, -3 not a PDF file,
// 0 uncounted, else the page count with Encrypted telling whether the file is protected.
struct PageValue {
  int32_t Value = 0;
  bool Encrypted = false;
};
PageValue PageValueOf(std::string_view page);
std::string PageTextOf(PageValue value, bool japanese);
int IconOf(PageValue value);

// The Date text with the year first ("mm/dd/yy ..." of the English interface becomes "yy/mm/dd ...");
// a Japanese text is already in that order. DisplayDate undoes it.
std::string YearFirstDate(std::string_view date, bool japanese);
std::string DisplayDate(std::string_view yearFirst, bool japanese);
// The year-first text with the years 1980-1999 marked so that a byte comparison puts them before
// 2000 and later. DateFromKey undoes both steps.
std::string DateKey(std::string_view date, bool japanese);
std::string DateFromKey(std::string_view key, bool japanese);

// What counting a file's pages gave: the count (or a negative failure), whether the file is
// protected, and the engine's error code after a failure.
struct PageCount {
  int Result = -1;
  bool Encrypted = false;
  int LastErrorCode = 0;
};
using PageCounter = std::function<PageCount(const std::string& path)>;

// Counts through the engine's CountPages.
PageCount CountPagesOfFile(const std::string& path);

// Sets the row's Page text and icon for a count.
void ApplyPageCount(ListEntry& row, const PageCount& count, bool japanese);

// A row for the file at path: name, icon 0, path, date and either the counted pages (countNow) or "?".
ListEntry MakeRow(const std::string& path, bool japanese, bool countNow, const PageCounter& counter);

// The row rewritten from its stored form: Page text and icon from its PageValue, Date text as it
// comes back from its DateKey, selection and focus kept.
ListEntry RebuiltRow(const ListEntry& row, bool japanese);

std::vector<int> SelectedRows(const FileList& list);
// The focused row, else the first selected row, else -1.
int FocusRow(const FileList& list);
void SelectAll(FileList& list);
void DeselectAll(FileList& list);

// Removes the selected rows; the row that then sits at the index of the last removed row is
// selected. Returns the number of rows removed.
int DeleteSelected(FileList& list);

// Counts every uncounted row (of the selection, with selectedOnly) in list order. Returns the rows
// counted.
int CountUncountedRows(FileList& list, bool selectedOnly, const PageCounter& counter);

// Refreshes every row's Date text from its file; a row whose file does not open gets the
// not-found text and icon unless it already has them. Returns the rows changed.
int UpdateTimeStamps(FileList& list);

}  // namespace folvex
