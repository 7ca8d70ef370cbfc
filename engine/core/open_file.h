// Opening files by UTF-8 path on every platform (UTF-16 names on Windows).
#pragma once

#include <cstdio>
#include <string>

namespace folvex {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace folvex
