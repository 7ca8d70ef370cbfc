#include "engine/core/path_text.h"

#include <filesystem>
#include <system_error>

namespace folvex {

std::string JoinedPath(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path = folder;
  if (!IsPathSeparator(path.back())) path += folder.find('\\') != std::string::npos ? '\\' : '/';
  path += name;
  return path;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() < lowerCase.size()) return false;
  for (std::size_t i = 0; i < lowerCase.size(); ++i) {
    if (AsciiLower(text[i]) != lowerCase[i]) return false;
  }
  return true;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view lowerCase) {
  return text.size() >= lowerCase.size() && StartsWithIgnoringCase(text.substr(text.size() - lowerCase.size()), lowerCase);
}

std::string CurrentDirectory() {
  std::error_code error;
  const std::u8string text = std::filesystem::current_path(error).u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace folvex
