#include "engine/core/document_texts.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/core/open_file.h"
#include "folvex_version.h"

namespace folvex {

namespace {

constexpr const char* kProgramName = "Folvex";
constexpr const char* kVersionText = "Ver " FOLVEX_VERSION;

void AppendOctal(std::string& out, unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "\\%o", value);
  out += text;
}

}  // namespace

std::string ProducerText() {
  const std::wstring wide = Utf8ToWide(std::string(kProgramName) + " " + kVersionText);
  std::string out;
  AppendOctal(out, 0xFE);
  AppendOctal(out, 0xFF);
  for (wchar_t unit : wide) {
    const auto code = static_cast<unsigned>(unit);
    AppendOctal(out, (code >> 8) & 0xFF);
    AppendOctal(out, code & 0xFF);
  }
  return out;
}

DocumentTime CurrentDocumentTime() {
  std::time_t now = std::time(nullptr);
  bool fixed = false;
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch != nullptr && *epoch != 0) {
    char* stop = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(epoch, &stop, 10);
    if (errno == 0 && *stop == 0 && seconds >= 0) {
      now = static_cast<std::time_t>(seconds);
      fixed = true;
    }
  }
  std::tm parts{};
#ifdef _WIN32
  if (fixed) gmtime_s(&parts, &now); else localtime_s(&parts, &now);
#else
  if (fixed) gmtime_r(&now, &parts); else localtime_r(&now, &parts);
#endif
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string CreationDateText(const DocumentTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.Year, time.Month, time.Day, time.Hour,
                time.Minute, time.Second);
  return text;
}

}  // namespace folvex
