// The file-system facts the file list needs besides opening files: a file's time stamp text and
// the PDF files of a folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace folvex {

// A local time at the two-second resolution of the MS-DOS date and time format (1980 to 2107).
struct DosDateTime {
  int Year = 1980;
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;  // always even
};

// The file's last-write time in local time at DOS resolution; nothing when the time cannot be
// read or lies outside the DOS range.
std::optional<DosDateTime> FileLastWriteTime(const std::string& path);

// "yy/mm/dd hh:mm:ss" (Japanese) or "mm/dd/yy hh:mm:ss" (English).
std::string DateText(const DosDateTime& time, bool japanese);

// The Date column text of the file at path; empty when its time cannot be read.
std::string FileDateText(const std::string& path, bool japanese);

// The files of folder (not of its subfolders) whose names end in ".pdf" in any letter case, in the
// order the system lists them, as full paths. folder may lack its trailing separator.
std::vector<std::string> ListPdfFiles(const std::string& folder);

}  // namespace folvex
