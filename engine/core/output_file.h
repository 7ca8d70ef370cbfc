// Storing an output file. The bytes go to a hidden staging file of their own in the output's
// folder, created exclusively; once complete they are flushed to the disk, read back and checked,
// and only then renamed onto the output in one step. A failed, cancelled or interrupted job never
// leaves a partial file under the output's name and never removes an existing output.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "engine/core/bytes.h"

namespace folvex {

bool PathExists(const std::string& utf8Path);
void RemovePath(const std::string& utf8Path);

// The backup name of an output: a three-letter ending replaced by "bak" (x.pdf gives x.bak), or
// ".bak" added to any other name (out gives out.bak, x.ps gives x.ps.bak, .pdf gives .pdf.bak).
std::string BackupName(const std::string& output);

// How a store ended.
enum class StoreResult {
  Done,
  CannotCreate,  // the staging file could not be made, or the existing output may not be written
  WriteFailed,   // a write or the flush to the disk failed
  ReadBackFailed,
  NameTaken,     // ReplaceRule::Never, and a file of the output's name is there
  RenameFailed,  // the new file could not take the output's name; an existing output is untouched
};

enum class ReplaceRule { Replace, Never };

// Called with the staged file's bytes as they read back from the disk, followed by one zero byte
// that is not counted. False fails the store.
using ReadBackCheck = std::function<bool(std::span<const Byte> bytes)>;

struct StoreOptions {
  ReplaceRule Rule = ReplaceRule::Replace;
  // When not empty and the output exists: the old output is kept under this name once the new
  // file is complete (an older file of that name goes first).
  std::string BackupPath;
  ReadBackCheck ReadBack;
};

// An output written in pieces. Until it is in place, and whenever anything failed, the staging
// file is removed when the object goes, and by RemoveStagedFilesNow on a signal.
class StagedFile {
 public:
  // Stages path in the folder of the file it names (a symbolic link's target for a link). An
  // existing output that may not be written, or that is no file, is refused: IsOpen is then false.
  explicit StagedFile(const std::string& path);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool IsOpen() const { return Handle >= 0; }
  unsigned long long WrittenSize() const { return Size; }
  // False once any write has failed.
  bool Write(std::string_view bytes);

  // Flushes the staging file to the disk and reads it back through options.ReadBack (both at
  // once for a large file), then puts it in place (PutInPlace) and flushes the folder.
  StoreResult Commit(const StoreOptions& options);

  // Commit's steps, for a caller that stores many small files and flushes them together.
  bool FlushToDisk();
  bool ReadBack(const ReadBackCheck& check);
  // Renames the staging file onto the output, keeping a replaced output's permission bits and,
  // with options.BackupPath, the old output under that name. Does not flush the folder.
  StoreResult PutInPlace(const StoreOptions& options);

  // The file the new bytes go to: the output, or a symbolic link's target.
  const std::string& TargetPath() const { return Target; }
  // Another name in the same folder for the output (after PutInPlace found its name taken).
  void Retarget(const std::string& path) { Target = path; }
  // Whether PutInPlace kept the old output under options.BackupPath.
  bool BackupMade() const { return Backup; }

 private:
  void Discard();

  std::string Target;
  std::string Staging;  // empty once renamed or removed
  int Handle = -1;
  int Registration = -1;
  unsigned long long Size = 0;
  bool Failed = false;
  bool Backup = false;
};

// Writes bytes to path through a StagedFile.
StoreResult StoreFile(const std::string& path, std::string_view bytes, const StoreOptions& options);
// The same for callers that only need to know whether the file is in place.
inline bool StoreFile(const std::string& path, std::string_view bytes) {
  return StoreFile(path, bytes, StoreOptions{}) == StoreResult::Done;
}

// Makes the renames in folder (the folder of an output) durable.
void FlushFolderOf(const std::string& path);

// Flushes everything written to the file system that holds path's folder in one commit, for a
// caller that stores many small files together. False where the system cannot (each file is then
// flushed on its own).
bool FlushFileSystemOf(const std::string& path);

// Removes every staging file of the process that is not yet in place. Safe to call from a
// signal handler or a console control handler: it only removes the names registered by the
// living StagedFile objects.
void RemoveStagedFilesNow();

}  // namespace folvex
