#include "app/splitter/split_list_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/core/open_file.h"
#include "engine/core/path_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace folvex {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += kSeparator;
  return folder;
}

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string HexOf(unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

}  // namespace

bool CreateNewFileWith(const std::string& path, const std::string& text) {
#ifdef _WIN32
  const int descriptor = _wopen(Utf8ToWide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return false;
  const bool written = _write(descriptor, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size());
  _close(descriptor);
#else
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (descriptor < 0) return false;
  const bool written = ::write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(descriptor);
#endif
  if (!written) std::filesystem::remove(NativePath(path));
  return written;
}

std::optional<std::string> SplitListFolder() {
#ifdef _WIN32
  const wchar_t* value = _wgetenv(L"TMP");
  if (value == nullptr || *value == 0) return std::nullopt;
  return WideToUtf8(value);
#else
  const char* value = std::getenv("TMP");
  if (value == nullptr || *value == 0) return std::nullopt;
  return std::string(value);
#endif
}

std::optional<std::string> CreateSplitListFile(const std::string& text) {
  const std::optional<std::string> folder = SplitListFolder();
  if (!folder) {
    // Without TMP the name is fixed; an older list file there is replaced.
    const std::string path = WithSeparator(CurrentDirectory()) + "~tpfd";
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return std::nullopt;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) return std::nullopt;
    return path;
  }
  // A unique name: "~tpfd", four hexadecimal digits, ".tmp"; the first that does not exist yet.
  const auto seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
    const std::string path = WithSeparator(*folder) + "~tpfd" + HexOf((seed + attempt) & 0xFFFF) + ".tmp";
    if (CreateNewFileWith(path, text)) return path;
    std::error_code error;
    if (!std::filesystem::exists(NativePath(path), error)) return std::nullopt;  // not a name clash
  }
  return std::nullopt;
}

std::string ListFileNameOf(const std::string& path) {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string SplitListPath(const std::string& name) {
  const std::optional<std::string> folder = SplitListFolder();
  return WithSeparator(folder ? *folder : CurrentDirectory()) + name;
}

}  // namespace folvex
