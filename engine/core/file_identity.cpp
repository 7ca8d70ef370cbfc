#include "engine/core/file_identity.h"

#include <filesystem>
#include <system_error>

#include "engine/core/open_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace folvex {

namespace fs = std::filesystem;

namespace {

std::string NormalisedFullPath(const std::string& path) {
  std::error_code error;
  fs::path p = fs::path(std::u8string(path.begin(), path.end()));
  fs::path full = fs::weakly_canonical(fs::absolute(p, error), error);
  if (error) full = fs::absolute(p, error).lexically_normal();
  const std::u8string text = full.u8string();
  std::string out(text.begin(), text.end());
#ifdef _WIN32
  // Names differ only in letter case on Windows when they name one file.
  std::wstring wide = Utf8ToWide(out);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  out = WideToUtf8(wide);
#endif
  return out;
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
  FileIdentity identity;
#ifdef _WIN32
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(file, &information)) {
      identity.Exists = true;
      identity.Device = information.dwVolumeSerialNumber;
      identity.Index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    CloseHandle(file);
  }
#else
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) {
    identity.Exists = true;
    identity.Device = static_cast<std::uint64_t>(status.st_dev);
    identity.Index = static_cast<std::uint64_t>(status.st_ino);
  }
#endif
  if (!identity.Exists) identity.FullPath = NormalisedFullPath(path);
  return identity;
}

void OutputClaims::AddInput(const std::string& path) { Inputs.push_back({IdentityOf(path), path}); }

std::string OutputClaims::Claim(const std::string& path) {
  const FileIdentity identity = IdentityOf(path);
  for (const Entry& input : Inputs) {
    if (input.Identity == identity) return input.Path;
  }
  for (const Entry& output : Outputs) {
    if (output.Identity == identity) return output.Path;
  }
  Outputs.push_back({identity, path});
  return {};
}

}  // namespace folvex
