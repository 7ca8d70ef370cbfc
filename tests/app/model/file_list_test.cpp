#include "app/model/file_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "app/model/file_times.h"
#include "tests/support/pdf_writer.h"

namespace folvex {
namespace {

using testing::SimplePdf;
using testing::WriteTempFile;

TEST(FileListPaths, NameAndExtensionTest) {
  struct Case {
    const char* Path;
    const char* Name;
    bool Pdf;
  };
  for (const Case& c : {Case{"C:\\docs\\report.pdf", "report.pdf", true}, Case{"C:\\docs\\Scan.PDF", "Scan.PDF", true},
                        Case{"/home/u/a.Pdf", "a.Pdf", true}, Case{"x.pdf", "x.pdf", true},
                        Case{".pdf", ".pdf", false}, Case{"C:\\notes.txt", "notes.txt", false},
                        Case{"C:\\dir.pdf\\file", "file", false}, Case{"C:\\書類\\報告.pdf", "報告.pdf", true},
                        Case{"C:\\folder\\", "", false}}) {
    EXPECT_EQ(FileNameOf(c.Path), c.Name) << c.Path;
    EXPECT_EQ(HasPdfExtension(c.Path), c.Pdf) << c.Path;
  }
}

TEST(FileListRowClasses, ReadFromThePageTextAlone) {
  struct Case {
    const char* Page;
    bool Uncounted, Usable, Marked, Encrypted;
    int32_t Value;
    bool Flag;
    int Icon;
  };
  for (const Case& c : {
           Case{"?", true, true, false, false, 0, false, kIconPdf},
           Case{"12", false, true, false, false, 12, false, kIconPdf},
           Case{"12 Encrypted", false, true, false, true, 12, true, kIconEncrypted},
           Case{"3 暗号化", false, true, false, true, 3, true, kIconEncrypted},
           Case{"Encrypted", false, true, false, true, -2, false, kIconEncrypted},
           Case{"暗号化", false, true, false, true, -2, false, kIconEncrypted},
           Case{"X Not Found", false, false, true, false, -1, false, kIconNotFound},
           Case{"X 不明", false, false, true, false, -1, false, kIconNotFound},
           Case{"X Not PDF?", false, false, true, false, -3, false, kIconNotPdf},
           Case{"X 未対応", false, false, true, false, -3, false, kIconNotPdf},
       }) {
    SCOPED_TRACE(c.Page);
    EXPECT_EQ(IsUncounted(c.Page), c.Uncounted);
    EXPECT_EQ(IsUsable(c.Page), c.Usable);
    EXPECT_EQ(IsMarked(c.Page), c.Marked);
    EXPECT_EQ(IsEncryptedPage(c.Page), c.Encrypted);
    const PageValue value = PageValueOf(c.Page);
    EXPECT_EQ(value.Value, c.Value);
    EXPECT_EQ(value.Encrypted, c.Flag);
    EXPECT_EQ(IconOf(value), c.Icon);
  }
}

TEST(FileListRowClasses, PageValueRebuildsTheTextInEitherLanguage) {
  struct Case {
    PageValue Value;
    const char* English;
    const char* Japanese;
  };
  for (const Case& c : {Case{{-3, false}, "X Not PDF?", "X 未対応"}, Case{{-2, false}, "Encrypted", "暗号化"},
                        Case{{-1, false}, "X Not Found", "X 不明"}, Case{{0, false}, "?", "?"},
                        Case{{7, false}, "7", "7"}, Case{{12, true}, "12 Encrypted", "12 暗号化"}}) {
    EXPECT_EQ(PageTextOf(c.Value, false), c.English);
    EXPECT_EQ(PageTextOf(c.Value, true), c.Japanese);
    EXPECT_EQ(PageValueOf(c.English).Value, c.Value.Value);
    EXPECT_EQ(PageValueOf(c.Japanese).Encrypted, c.Value.Encrypted);
  }
}

TEST(FileListDates, DateKeyPutsYearFirstAndOldYearsBelowNewOnes) {
  struct Case {
    const char* Date;
    bool Japanese;
    const char* Key;
  };
  for (const Case& c : {Case{"04/05/23 06:07:08", false, "23/04/05 06:07:08"},
                        Case{"23/04/05 06:07:08", true, "23/04/05 06:07:08"},
                        Case{"12/31/99 23:59:58", false, "/9/12/31 23:59:58"},
                        Case{"85/01/02 00:00:00", true, ".5/01/02 00:00:00"},
                        Case{"", false, ""}}) {
    EXPECT_EQ(DateKey(c.Date, c.Japanese), c.Key) << c.Date;
    EXPECT_EQ(DateFromKey(c.Key, c.Japanese), c.Date) << c.Date;
  }
  EXPECT_LT(DateKey("12/31/99 23:59:58", false), DateKey("01/01/00 00:00:00", false));
  EXPECT_LT(DateKey("01/01/80 00:00:00", false), DateKey("01/01/90 00:00:00", false));
  EXPECT_LT(DateKey("01/01/07 00:00:00", false), DateKey("01/01/79 00:00:00", false));
}

// Sets a file's last-write time to a local time.
void SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const auto system = std::chrono::system_clock::from_time_t(std::mktime(&local));
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system));
}

TEST(FileListDates, LocalTimeAtTwoSecondResolutionInBothOrders) {
  struct Case {
    int Year, Month, Day, Hour, Minute, Second;
    const char* Japanese;
    const char* English;
  };
  const std::string path = WriteTempFile("dated.pdf", SimplePdf(1));
  for (const Case& c : {Case{2023, 4, 5, 6, 7, 9, "23/04/05 06:07:08", "04/05/23 06:07:08"},
                        Case{1999, 12, 31, 23, 59, 59, "99/12/31 23:59:58", "12/31/99 23:59:58"},
                        Case{2001, 1, 2, 13, 0, 0, "01/01/02 13:00:00", "01/02/01 13:00:00"}}) {
    SetLocalWriteTime(path, c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second);
    EXPECT_EQ(FileDateText(path, true), c.Japanese);
    EXPECT_EQ(FileDateText(path, false), c.English);
  }
  SetLocalWriteTime(path, 1975, 6, 1, 12, 0, 0);
  EXPECT_EQ(FileDateText(path, false), "") << "before the DOS epoch";
  EXPECT_EQ(FileDateText(testing::TempDir() + "/missing.pdf", false), "");
}

PageCount Fixed(int result, bool encrypted = false, int error = 0) { return {result, encrypted, error}; }

TEST(FileListCounting, CountResultsBecomeStatusTextsAndIcons) {
  struct Case {
    PageCount Count;
    const char* Page;
    int Icon;
  };
  for (const Case& c : {Case{Fixed(12), "12", kIconPdf}, Case{Fixed(12, true), "12 Encrypted", kIconEncrypted},
                        Case{Fixed(-2), "X Not Found", kIconNotFound},
                        Case{Fixed(-1, false, -1000), "Encrypted", kIconEncrypted},
                        Case{Fixed(-1, false, -118), "X Not PDF?", kIconNotPdf},
                        Case{Fixed(0), "X Not PDF?", kIconNotPdf}}) {
    ListEntry row;
    ApplyPageCount(row, c.Count, false);
    EXPECT_EQ(row.Page, c.Page);
    EXPECT_EQ(row.Icon, c.Icon);
  }
}

TEST(FileListCounting, RowsAreCountedThroughTheEngine) {
  const std::string five = WriteTempFile("five.pdf", SimplePdf(5));
  const std::string junk = WriteTempFile("junk.pdf", "not a pdf at all");
  FileList list;
  list.Rows.push_back(MakeRow(five, false, false, CountPagesOfFile));
  list.Rows.push_back(MakeRow(junk, false, false, CountPagesOfFile));
  list.Rows.push_back(MakeRow(testing::TempDir() + "/gone.pdf", false, false, CountPagesOfFile));
  list.Rows.push_back(MakeRow(five, false, true, CountPagesOfFile));
  EXPECT_EQ(list.Rows[0].Name, "five.pdf");
  EXPECT_EQ(list.Rows[0].Page, "?");
  EXPECT_FALSE(list.Rows[0].Date.empty());
  EXPECT_EQ(list.Rows[3].Page, "5") << "counted at once";

  list.Rows[1].Selected = true;
  EXPECT_EQ(CountUncountedRows(list, true, CountPagesOfFile), 1);
  EXPECT_EQ(list.Rows[1].Page, "X Not PDF?");
  EXPECT_EQ(list.Rows[1].Icon, kIconNotPdf);
  EXPECT_EQ(list.Rows[0].Page, "?") << "not selected";

  EXPECT_EQ(CountUncountedRows(list, false, CountPagesOfFile), 2);
  EXPECT_EQ(list.Rows[0].Page, "5");
  EXPECT_EQ(list.Rows[2].Page, "X Not Found");
  EXPECT_EQ(list.Rows[2].Icon, kIconNotFound);
  EXPECT_EQ(CountUncountedRows(list, false, CountPagesOfFile), 0) << "nothing uncounted is left";
}

// Protected files with cross-reference streams: the empty user password opens them for counting;
// any other user password leaves the bare encrypted text.
TEST(FileListCounting, ProtectedStreamFilesAreCountedWithTheEmptyPassword) {
  if (!testing::HaveTool("qpdf")) GTEST_SKIP() << "qpdf is not installed";
  const std::string plain = WriteTempFile("count-plain.pdf", SimplePdf(12));
  struct Case {
    const char* Name;
    const char* User;
    const char* Method;
    const char* Page;
  };
  const Case cases[] = {
      {"count-rc4-empty.pdf", "", "128 --use-aes=n", "12 Encrypted"},
      {"count-aes-empty.pdf", "", "128 --use-aes=y", "12 Encrypted"},
      {"count-aes256-empty.pdf", "", "256", "12 Encrypted"},
      {"count-rc4-user.pdf", "u", "128 --use-aes=n", "Encrypted"},
  };
  for (const Case& c : cases) {
    const std::string path = testing::TempDir() + "/" + c.Name;
    const testing::CommandResult made = testing::RunCommand(
        std::string("qpdf --allow-weak-crypto --object-streams=generate --encrypt '") + c.User + "' owner " + c.Method +
        " -- '" + plain + "' '" + path + "' 2>&1");
    ASSERT_EQ(made.ExitCode, 0) << made.Output;
    ListEntry row = MakeRow(path, false, true, CountPagesOfFile);
    EXPECT_EQ(row.Page, c.Page) << c.Name;
    EXPECT_EQ(row.Icon, kIconEncrypted) << c.Name;
  }
}

FileList ListOf(std::initializer_list<const char*> names, std::initializer_list<int> selected) {
  FileList list;
  for (const char* name : names) {
    ListEntry row;
    row.Name = name;
    row.Path = std::string("C:\\") + name;
    row.Page = "?";
    list.Rows.push_back(row);
  }
  for (const int row : selected) list.Rows[static_cast<std::size_t>(row)].Selected = true;
  return list;
}

std::string Names(const FileList& list) {
  std::string names;
  for (const ListEntry& row : list.Rows) names += row.Name + (row.Selected ? "* " : " ");
  return names;
}

TEST(FileListDelete, SelectsTheRowThatTakesTheLastRemovedPlace) {
  struct Case {
    std::initializer_list<int> Selected;
    int Removed;
    const char* After;
  };
  for (const Case& c : {Case{{1}, 1, "a c* d e "}, Case{{1, 3}, 2, "a c e* "}, Case{{4}, 1, "a b c d "},
                        Case{{0, 1, 2, 3, 4}, 5, ""}, Case{{}, 0, "a b c d e "}}) {
    FileList list = ListOf({"a", "b", "c", "d", "e"}, c.Selected);
    EXPECT_EQ(DeleteSelected(list), c.Removed);
    EXPECT_EQ(Names(list), c.After);
  }
}

TEST(FileListFocus, FocusedRowElseFirstSelected) {
  FileList list = ListOf({"a", "b", "c"}, {1, 2});
  EXPECT_EQ(FocusRow(list), 1);
  list.Rows[2].Focused = true;
  EXPECT_EQ(FocusRow(list), 2);
  EXPECT_EQ(FocusRow(ListOf({"a"}, {})), -1);
}

TEST(FileListUpdate, MissingFilesAreMarkedAndReturningFilesKeepTheirMark) {
  const std::string path = WriteTempFile("update.pdf", SimplePdf(2));
  SetLocalWriteTime(path, 2020, 1, 1, 10, 0, 0);
  FileList list;
  list.Japanese = true;
  list.Rows.push_back(MakeRow(path, true, true, CountPagesOfFile));
  EXPECT_EQ(list.Rows[0].Date, "20/01/01 10:00:00");
  EXPECT_EQ(UpdateTimeStamps(list), 0) << "nothing changed";

  SetLocalWriteTime(path, 2021, 2, 3, 4, 5, 6);
  EXPECT_EQ(UpdateTimeStamps(list), 1);
  EXPECT_EQ(list.Rows[0].Date, "21/02/03 04:05:06");

  std::filesystem::rename(path, path + ".away");
  EXPECT_EQ(UpdateTimeStamps(list), 1);
  EXPECT_EQ(list.Rows[0].Page, "X 不明");
  EXPECT_EQ(list.Rows[0].Icon, kIconNotFound);
  EXPECT_EQ(list.Rows[0].Date, "21/02/03 04:05:06") << "the old date stays";
  EXPECT_EQ(UpdateTimeStamps(list), 0) << "already marked";

  std::filesystem::rename(path + ".away", path);
  SetLocalWriteTime(path, 2022, 2, 3, 4, 5, 6);
  EXPECT_EQ(UpdateTimeStamps(list), 1);
  EXPECT_EQ(list.Rows[0].Date, "22/02/03 04:05:06");
  EXPECT_EQ(list.Rows[0].Page, "X 不明") << "only the date is refreshed";
}

TEST(FileListFolder, ListsThePdfFilesOfOneFolderOnly) {
  const std::string folder = testing::TempDir() + "/folder-listing";
  std::filesystem::create_directories(folder + "/sub");
  for (const char* name : {"a.pdf", "B.PDF", "c.txt", "d.pdf.bak", "sub/e.pdf"}) {
    WriteTempFile(std::string("folder-listing/") + name, SimplePdf(1));
  }
  std::vector<std::string> names;
  for (const std::string& path : ListPdfFiles(folder + "/")) names.push_back(FileNameOf(path));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B.PDF", "a.pdf"}));
  EXPECT_TRUE(ListPdfFiles(folder + "/none").empty());
}

}  // namespace
}  // namespace folvex
