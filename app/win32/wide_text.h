// Text at the boundary of the W (UTF-16) Win32 functions: the program keeps UTF-8 inside.
#pragma once

#include <string>
#include <string_view>

namespace folvex::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Bytes in the system's ANSI code page as UTF-8 (settings files written by older programs).
std::string AnsiToUtf8(std::string_view bytes);

}  // namespace folvex::win32
