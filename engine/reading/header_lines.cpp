#include "engine/reading/header_lines.h"

#include <cstdio>

namespace folvex {

int ReadHeaderLines(const FileImage& image, HeaderLines& lines) {
  const Byte* begin = image.Begin();
  const Byte* end = image.End();
  const Byte* p = begin;
  while (p < end && (*p == 0 || *p == 9 || *p == 10 || *p == 12 || *p == 13 || *p == 32)) ++p;
  if (p >= end) return kBlankInput;
  if (!StartsWith(p, end, "%PDF-")) return kNoHeader;
  lines = HeaderLines{};
  lines.Start = static_cast<std::size_t>(p - begin);
  // Passes a line and its end-of-line bytes; false when the image ends first.
  auto passLine = [&](std::size_t& lineEnd, std::size_t& after) {
    while (p < end && !IsEndOfLine(*p)) ++p;
    lineEnd = static_cast<std::size_t>(p - begin);
    while (p < end && IsEndOfLine(*p)) ++p;
    after = static_cast<std::size_t>(p - begin);
    return p < end;
  };
  if (!passLine(lines.FirstEnd, lines.AfterFirst)) return kHeaderRunsOut;
  if (*p == '%' && !passLine(lines.CommentEnd, lines.AfterComment)) return kHeaderRunsOut;
  return 0;
}

std::pair<long, long> HeaderVersion(const FileImage& image, const HeaderLines& lines) {
  const Byte* p = image.Begin() + lines.Start + 5;
  const Byte* end = image.Begin() + lines.FirstEnd;
  auto number = [&]() {
    long value = 0;
    while (p < end && IsDigit(*p) && value < 100000) value = value * 10 + (*p++ - '0');
    return value;
  };
  const long major = number();
  if (p < end && *p == '.') ++p;
  return {major, number()};
}

bool IsSoundHeader(const FileImage& image, const HeaderLines& lines) {
  if (lines.AfterFirst > 1024) return false;
  const Byte* p = image.Begin() + lines.Start + 5;
  const Byte* end = image.Begin() + lines.FirstEnd;
  auto digits = [&]() {
    const Byte* first = p;
    while (p < end && IsDigit(*p)) ++p;
    return p > first;
  };
  if (!digits() || p >= end || *p++ != '.' || !digits()) return false;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  return p == end;
}

std::string OutputHeaderLine(const FileImage& image, const HeaderLines& lines) {
  if (IsSoundHeader(image, lines)) return std::string(reinterpret_cast<const char*>(image.Begin()), lines.AfterFirst);
  auto [major, minor] = HeaderVersion(image, lines);
  if (major == 0) {
    major = 1;
    minor = 4;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%%PDF-%ld.%ld\n", major, minor);
  return text;
}

}  // namespace folvex
