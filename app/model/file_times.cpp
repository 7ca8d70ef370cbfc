#include "app/model/file_times.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>


namespace folvex {

namespace {

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool LocalTime(std::time_t time, std::tm& out) {
#ifdef _WIN32
  return localtime_s(&out, &time) == 0;
#else
  return localtime_r(&time, &out) != nullptr;
#endif
}

// The folder pattern "*.pdf": any name ending in ".pdf", letter case ignored.
bool EndsWithPdf(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.c_str() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'p' && (tail[2] | 0x20) == 'd' && (tail[3] | 0x20) == 'f';
}

}  // namespace

std::optional<DosDateTime> FileLastWriteTime(const std::string& path) {
  std::error_code error;
  const auto written = std::filesystem::last_write_time(FsPath(path), error);
  if (error) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  std::tm local{};
  if (!LocalTime(std::chrono::system_clock::to_time_t(
                     std::chrono::time_point_cast<std::chrono::system_clock::duration>(system)),
                 local)) {
    return std::nullopt;
  }
  DosDateTime time;
  time.Year = local.tm_year + 1900;
  if (time.Year < 1980 || time.Year > 2107) return std::nullopt;
  time.Month = local.tm_mon + 1;
  time.Day = local.tm_mday;
  time.Hour = local.tm_hour;
  time.Minute = local.tm_min;
  time.Second = local.tm_sec > 59 ? 58 : local.tm_sec / 2 * 2;
  return time;
}

std::string DateText(const DosDateTime& time, bool japanese) {
  char text[40];
  const int year = time.Year % 100;
  if (japanese) {
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", year, time.Month, time.Day, time.Hour,
                  time.Minute, time.Second);
  } else {
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", time.Month, time.Day, year, time.Hour,
                  time.Minute, time.Second);
  }
  return text;
}

std::string FileDateText(const std::string& path, bool japanese) {
  const std::optional<DosDateTime> time = FileLastWriteTime(path);
  return time ? DateText(*time, japanese) : std::string();
}

std::vector<std::string> ListPdfFiles(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code error;
  std::filesystem::directory_iterator entries(FsPath(folder), error);
  if (error) return paths;
  for (const auto& entry : entries) {
    if (entry.is_directory(error)) continue;
    const std::string name = Utf8Of(entry.path().filename());
    if (!EndsWithPdf(name)) continue;
    paths.push_back(Utf8Of(entry.path()));
  }
  return paths;
}

}  // namespace folvex
