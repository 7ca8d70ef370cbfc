// Storing an output file: written under a temporary name beside it, then renamed, so that a
// failed or cancelled job never leaves a partial file under the output's name.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace folvex {

bool PathExists(const std::string& utf8Path);
void RemovePath(const std::string& utf8Path);
// Renames from to to, replacing a file named to.
bool RenamePath(const std::string& from, const std::string& to);
// True when both paths name the same existing file.
bool SameFile(const std::string& first, const std::string& second);

// Writes bytes to path as they are, replacing any file there. False when not every byte was stored.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// An output file written in pieces under a temporary name beside path ("path.part", or
// "path.partN" when that is taken). Commit puts it in place; until then, and whenever a write
// failed, the temporary file is removed when the object goes.
class StagedFile {
 public:
  explicit StagedFile(const std::string& path);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool IsOpen() const { return File != nullptr; }
  // False once any write has failed.
  bool Write(std::string_view bytes);
  // Closes the temporary file and renames it to path. True when every byte was stored.
  bool Commit();

 private:
  void Discard();

  std::string Path;
  std::string Temporary;
  std::FILE* File = nullptr;
  bool Failed = false;
};

// Writes bytes to path: true when every byte was stored. Nothing is left behind on failure, and
// an existing file at path is replaced only once the new one is complete.
bool StoreFile(const std::string& path, std::string_view bytes);

// The backup name of an output: its last three characters replaced by "bak" (x.pdf gives x.bak).
std::string BackupName(const std::string& output);

}  // namespace folvex
