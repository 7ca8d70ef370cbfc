#include "engine/core/output_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/core/open_file.h"

namespace folvex {

namespace fs = std::filesystem;

static fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(PathOf(path), error);
}

void RemovePath(const std::string& path) {
  std::error_code error;
  fs::remove(PathOf(path), error);
}

bool RenamePath(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::rename(PathOf(from), PathOf(to), error);
  if (!error) return true;
  if (!PathExists(to)) return false;
  RemovePath(to);
  fs::rename(PathOf(from), PathOf(to), error);
  return !error;
}

bool SameFile(const std::string& first, const std::string& second) {
  std::error_code error;
  const bool same = fs::equivalent(PathOf(first), PathOf(second), error);
  return !error && same;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = OpenFile(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

StagedFile::StagedFile(const std::string& path) : Path(path), Temporary(path + ".part") {
  for (int k = 1; k < 100 && PathExists(Temporary); ++k) Temporary = path + ".part" + std::to_string(k);
  File = OpenFile(Temporary, "wb");
  // A name that could not be opened is somebody else's: it is never removed.
  if (File == nullptr) Temporary.clear();
}

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Write(std::string_view bytes) {
  if (File == nullptr || Failed) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), File) != bytes.size()) Failed = true;
  return !Failed;
}

bool StagedFile::Commit() {
  if (File == nullptr) return false;
  const bool closed = std::fclose(File) == 0;
  File = nullptr;
  if (Failed || !closed || !RenamePath(Temporary, Path)) {
    RemovePath(Temporary);
    return false;
  }
  Temporary.clear();
  return true;
}

void StagedFile::Discard() {
  if (File != nullptr) {
    std::fclose(File);
    File = nullptr;
  }
  if (!Temporary.empty()) RemovePath(Temporary);
  Temporary.clear();
}

bool StoreFile(const std::string& path, std::string_view bytes) {
  StagedFile file(path);
  return file.Write(bytes) && file.Commit();
}

std::string BackupName(const std::string& output) {
  return output.size() >= 3 ? output.substr(0, output.size() - 3) + "bak" : output + ".bak";
}

}  // namespace folvex
