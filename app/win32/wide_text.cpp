#include "app/win32/wide_text.h"

#include <windows.h>

#include "engine/core/open_file.h"

namespace folvex::win32 {

std::wstring Widen(std::string_view utf8) { return Utf8ToWide(std::string(utf8)); }

std::string Narrow(std::wstring_view utf16) { return WideToUtf8(std::wstring(utf16)); }

std::string AnsiToUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
  return WideToUtf8(text);
}

}  // namespace folvex::win32
